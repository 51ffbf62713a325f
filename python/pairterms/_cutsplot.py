"""The picture of termcuts' table: the terms each program keeps against
the amplitude threshold, one line per pair or a pair-by-threshold heat
map, with the default cut and the cut of the tables' settings marked."""

from __future__ import annotations

import os

import numpy as np

from ._draw import Failure, colormap, figure, find, read, save
from .cuts import DEFAULT_THRESHOLD, PAIRS, read_cuts
from .settings import read_settings
from .planets import NAMES
from .reader import PROGRAMS

_DEFAULT_COLOUR, _SETTINGS_COLOUR = "black", "#d62728"


def cuts_files(path: str, settings_dir: str | None = None) -> dict[str, str]:
    """The files the picture reads: "cuts" the table, and for each program
    with a threshold whose settings file PREFIX.settings is found (in
    settings_dir, by default the table's folder, or in one of its
    subfolders) program -> that file."""
    if not os.path.isfile(path):
        raise Failure(f"{path} is not a file")
    folder = settings_dir or os.path.dirname(path) or "."
    files = {"cuts": path}
    for program in ("termshort", "termall"):
        found = find(folder, PROGRAMS[program][0] + ".settings")
        if found:
            files[program] = found
    return files


def _cut_of(files: dict[str, str], program: str) -> tuple[float, str] | None:
    """(value, text) of the threshold that program's settings file gives,
    when it is not the default; None otherwise."""
    if program not in files:
        return None
    settings = read(read_settings, files[program])
    text = settings.get("threshold")
    if text is None:
        return None
    try:
        value = float(text)
    except ValueError:
        raise Failure(f"{files[program]}: the threshold {text!r} is not a number") from None
    return None if value == DEFAULT_THRESHOLD else (value, text)


def _position(value: float, thresholds: np.ndarray) -> float | None:
    """Where value falls among the sorted thresholds, as a column index
    (interpolated on their logarithms); None outside them."""
    logs = np.log10(thresholds)
    v = np.log10(value)
    if len(logs) == 1:
        return 0.0 if v == logs[0] else None
    if not logs[0] <= v <= logs[-1]:
        return None
    return float(np.interp(v, logs, np.arange(len(logs))))


def plot_cuts(path: str, output: str, size: tuple[int, int] | None = None,
              heatmap: bool = False, settings_dir: str | None = None,
              files: dict[str, str] | None = None) -> dict[str, int]:
    """Draws termcuts' table: for each program with a threshold, the row
    lines kept against the threshold, one line per pair, or with heatmap a
    pair-by-threshold map. Marks the default cut 1e-16, and the cut that
    the settings file of that program's tables gives where it is another.
    Returns program -> number of thresholds drawn."""
    files = files or cuts_files(path, settings_dir)
    rows, info = read(read_cuts, files["cuts"])
    programs = [p for p in info.programs if info.thresholds[p]]
    if not programs:
        raise Failure(f"{path}: no program with a threshold (termshort, termall)")
    default = (520 * len(programs), 1100) if heatmap else (500 * len(programs) + 300, 600)
    with figure(size, default) as (fig, scale):
        axes = fig.subplots(1, len(programs), squeeze=False)[0]
        for ax, program in zip(axes, programs):
            mine = rows[rows["program"] == program]
            order = np.argsort(mine["threshold"][:len(info.thresholds[program])], kind="stable")
            kept = mine["kept"].reshape(len(PAIRS), -1)[:, order]
            thresholds = mine["threshold"][:kept.shape[1]][order]
            texts = mine["threshold_text"][:kept.shape[1]][order]
            marks = [(DEFAULT_THRESHOLD, "1e-16", "default cut 1e-16", _DEFAULT_COLOUR, "--")]
            cut = _cut_of(files, program)
            if cut:
                name = os.path.basename(files[program])
                marks.append(cut + (f"cut of the tables ({name}): {cut[1]}",
                                    _SETTINGS_COLOUR, ":"))
            if heatmap:
                _heatmap(fig, ax, scale, kept, thresholds, texts, marks)
            else:
                _lines(ax, scale, kept, thresholds, marks)
            ax.set_title(f"{program}: row lines kept", fontsize=10 * scale)
        settings = ", ".join(f"{k} {v}" for k, v in info.settings.items())
        fig.suptitle(f"termcuts {info.version}: series {info.series}"
                     + (f"; {settings}" if settings else ""), fontsize=11 * scale)
        if not heatmap:
            entries = {}
            for ax in axes:
                entries.update((label, handle) for handle, label
                               in zip(*ax.get_legend_handles_labels()))
            axes[-1].legend(entries.values(), entries.keys(), loc="upper left",
                            bbox_to_anchor=(1.02, 1), fontsize=8 * scale, borderaxespad=0)
        save(fig, output)
    return {p: len(info.thresholds[p]) for p in programs}


def _lines(ax, scale, kept, thresholds, marks):
    """One line per pair, coloured by its perturbed planet."""
    from matplotlib import colormaps
    colours = colormaps["tab10"]
    for n, (i, j) in enumerate(PAIRS):
        ax.plot(thresholds, kept[n], color=colours(i - 1), linewidth=0.8 * scale,
                marker="o", markersize=2 * scale,
                label=f"I = {i} {NAMES[i]}" if j == PAIRS[7 * (i - 1)][1] else None)
    ax.set_xscale("log")
    ax.set_yscale("symlog", linthresh=1)
    ax.set_ylim(bottom=0)
    for value, _, label, colour, style in marks:
        ax.axvline(value, color=colour, linestyle=style, linewidth=1.2 * scale, label=label)
    ax.set_xlabel("amplitude threshold")
    ax.set_ylabel("row lines kept (one line per pair I-J)")
    ax.grid(True, which="major", alpha=0.3)


def _heatmap(fig, ax, scale, kept, thresholds, texts, marks):
    """Pairs down, thresholds across, the count of each in its cell's colour."""
    from matplotlib.colors import LogNorm, Normalize
    shown = np.ma.masked_equal(kept, 0)
    top = int(kept.max())
    low = int(shown.min()) if shown.count() else 1
    norm = LogNorm(low, top) if top > low else Normalize(0, max(top, 1))
    image = ax.imshow(shown, cmap=colormap("viridis"), norm=norm, aspect="auto",
                      interpolation="nearest")
    ax.set_xticks(range(len(texts)), texts, rotation=45, ha="right")
    ax.set_yticks(range(len(PAIRS)), [f"{i}-{j}" for i, j in PAIRS], fontsize=6 * scale)
    ax.set_xlabel("amplitude threshold")
    ax.set_ylabel("pair I-J (I perturbed by J)")
    notes = []
    for value, text, label, colour, style in marks:
        x = _position(value, thresholds)
        if x is None:
            notes.append(f"{label}: outside the thresholds")
            continue
        ax.axvline(x, color=colour, linestyle=style, linewidth=2 * scale, label=label)
    ax.legend(loc="lower left", bbox_to_anchor=(0, 1.04), fontsize=8 * scale,
              title="; ".join(notes) or None, title_fontsize=8 * scale)
    fig.colorbar(image, ax=ax, shrink=0.6, label="row lines kept (log)")
