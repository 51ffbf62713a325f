"""The pictures of the programs' tables: the count tables as heat maps,
and a pair's spectrum, |amplitude| against |period|."""

from __future__ import annotations

import os

import numpy as np

from ._draw import Failure, colormap, figure, find, read, save
from .planets import NAMES, THRESHOLD_YEARS, periods
from .reader import PROGRAMS, read_counts, read_pair

_SINE, _COSINE, _ZERO_BACK = "#1f77b4", "#d62728", "#e8f4e8"


def _selections() -> dict[str, str]:
    """program: its select field in programs.tsv (short: sine and cosine
    exchanged, docs/FORMATS.md section 3)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "programs.tsv")
    with open(path, encoding="utf-8") as f:
        lines = [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]
    head = lines[0]
    return {row[head.index("program")]: row[head.index("select")] for row in lines[1:] if row[0]}


def meaning(program: str) -> str:
    """What the S and C rows of program are in the series: termshort
    exchanges them (its S rows are the series' cosine terms, its C rows
    the sine terms, docs/FORMATS.md section 3); the others keep them."""
    if _selections().get(program) == "short":
        return f"{program}: S rows are the series' cosine terms, C rows its sine terms"
    return f"{program}: S and C rows are the series' sine and cosine terms"


# --- counts ----------------------------------------------------------------

def counts_files(folder: str) -> list[tuple[str, str]]:
    """(program, path) of the count tables in folder or its subfolders."""
    found = [(program, find(folder, prefix + "tabl.txt"))
             for program, (prefix, _, _) in PROGRAMS.items()]
    found = [f for f in found if f[1]]
    if not found:
        raise Failure(f"no count table (rohotabl.txt, rocotabl.txt, robotabl.txt) "
                      f"in {folder} or its subfolders")
    return found


def plot_counts(folder: str, output: str, size: tuple[int, int] | None = None,
                files: list[tuple[str, str]] | None = None) -> list[str]:
    """Draws the count tables found in folder (or files, (program, path)
    pairs) as heat maps side by side. Returns the programs drawn."""
    from matplotlib.colors import LogNorm, Normalize
    tables = [(program, path) + read(read_counts, path)
              for program, path in files or counts_files(folder)]
    with figure(size, (600 * len(tables), 620)) as (fig, scale):
        axes = fig.subplots(1, len(tables), squeeze=False)[0]
        for ax, (program, path, counts, totals) in zip(axes, tables):
            shown = np.ma.masked_equal(counts, 0)
            top = int(counts.max())
            low = int(shown.min()) if shown.count() else 1
            norm = LogNorm(low, top) if top > low else Normalize(0, max(top, 1))
            image = ax.imshow(shown, cmap=colormap("viridis"), norm=norm)
            for x in range(8):
                for y in range(8):
                    if x == y:
                        continue
                    value = int(counts[x, y])
                    light = value and norm(value) > 0.6
                    ax.text(y, x, f"{value}", ha="center", va="center", fontsize=7 * scale,
                            color="black" if light or not value else "white")
            ax.set_xticks(range(8), NAMES[1:], rotation=45, ha="right")
            ax.set_yticks(range(8), NAMES[1:])
            ax.set_xlabel("perturbing planet J")
            ax.set_ylabel("perturbed planet I")
            ax.set_title(f"{program}: {os.path.basename(path)}\n"
                         f"{int(totals.sum()):,} row lines", fontsize=10 * scale)
            fig.colorbar(image, ax=ax, shrink=0.8, label="row lines of the pair's file (log)")
        save(fig, output)
    return [t[0] for t in tables]


# --- spectrum --------------------------------------------------------------

def spectrum_files(folder: str, i: int, j: int,
                   termall: bool = False) -> tuple[list[tuple[str, str]], list[str]]:
    """([(program, path)], notes) of pair (I, J): rohoIIJJ.txt and
    rocoIIJJ.txt, else (or with termall) roboIIJJ.txt, in folder or its
    subfolders; notes say which of the first two is missing."""
    def name(program):
        return f"{PROGRAMS[program][0]}{i:02d}{j:02d}.txt"
    wanted = ["termall"] if termall else ["termshort", "termsecul"]
    found = [(p, find(folder, name(p))) for p in wanted]
    notes = [f"no {name(p)}" for p, path in found if path is None]
    found = [f for f in found if f[1]]
    if not found and not termall:
        path = find(folder, name("termall"))
        found, notes = ([("termall", path)], []) if path else ([], notes)
        wanted.append("termall")
    if not found:
        raise Failure(f"{'neither ' if len(wanted) > 1 else 'no '}"
                      f"{' nor '.join(name(p) for p in wanted)} in {folder} or its subfolders")
    return found, notes


def plot_spectrum(folder: str, i: int, j: int, output: str, size: tuple[int, int] | None = None,
                  termall: bool = False,
                  files: tuple[list[tuple[str, str]], list[str]] | None = None) -> tuple[int, dict]:
    """Draws |amplitude| against |period| of pair (I, J) from its roho and
    roco files in folder, or from its robo file where they are missing or
    termall is true. Returns (number of rows read, legend counts)."""
    found, notes = files or spectrum_files(folder, i, j, termall)
    parts, programs = [], []
    for program, path in found:
        rows, info = read(read_pair, path)
        if (info.i, info.j) != (i, j):
            raise Failure(f"{path} holds pair {info.i}-{info.j}, not {i}-{j}")
        if not info.closed:
            notes.append(f"{os.path.basename(path)} has no closing line")
        parts.append(rows[["amp", "npa", "npb", "mar", "code"]])
        programs.append(program)
    rows = np.concatenate(parts)
    amp = np.abs(rows["amp"])
    period = np.abs(periods(rows))
    sine = rows["code"] == b"S"
    drawable = (amp > 0) & np.isfinite(amp)
    zero = drawable & (period == 0)
    main = drawable & ~zero
    counts = {"sine": int((main & sine).sum()), "cosine": int((main & ~sine).sum()),
              "zero frequency": int(zero.sum()), "not drawn": int((~drawable).sum())}

    with figure(size, (1200, 700)) as (fig, scale):
        ax, side = fig.subplots(1, 2, sharey=True, gridspec_kw={"width_ratios": [12, 1]})
        ax.set_xscale("log")
        ax.set_yscale("log")
        style = dict(linestyle="none", marker="o", markersize=1.6 * scale, markeredgewidth=0,
                     alpha=0.5, rasterized=True)
        # Sine and cosine points in turns, in random order, so that where
        # they crowd neither colour hides the other.
        rng = np.random.default_rng(0)
        jitter = rng.uniform(-0.4, 0.4, len(rows))
        for panel, x, chosen in ((ax, period, main), (side, jitter, zero)):
            for part in np.array_split(rng.permutation(np.flatnonzero(chosen)), 8):
                for kind, colour in ((sine[part], _SINE), (~sine[part], _COSINE)):
                    panel.plot(x[part[kind]], amp[part[kind]], color=colour, **style)
        ax.axvline(THRESHOLD_YEARS, color="black", linestyle="--", linewidth=1 * scale)
        side.set_xlim(-1, 1)
        side.set_xticks([])
        side.set_xlabel("zero\nfrequency")
        side.set_facecolor(_ZERO_BACK)
        if not main.any():
            ax.set_xlim(0.1, 1e4)
        if not drawable.any():
            ax.set_ylim(1e-20, 1)
        ax.set_xlabel("|period|, Julian years (short-period terms left of the line, "
                      "secular terms right)")
        ax.set_ylabel("|amplitude|")
        title = (f"Pair {i}-{j}: {NAMES[i]} perturbed by {NAMES[j]}, "
                 f"terms of {' and '.join(programs)}")
        if notes:
            title += f" ({'; '.join(notes)})"
        fig.suptitle(title, fontsize=11 * scale)
        _legend(ax, scale, len(rows), counts, programs)
        save(fig, output)
    return len(rows), counts


def _legend(ax, scale, total, counts, programs):
    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    handles = [Line2D([], [], color=_SINE, marker="o", linestyle="none"),
               Line2D([], [], color=_COSINE, marker="o", linestyle="none"),
               Patch(facecolor=_ZERO_BACK, edgecolor="grey"),
               Line2D([], [], color="black", linestyle="--", linewidth=1 * scale)]
    labels = [f"sine (S) rows: {counts['sine']:,}", f"cosine (C) rows: {counts['cosine']:,}",
              f"zero frequency (right): {counts['zero frequency']:,}",
              f"{THRESHOLD_YEARS:g} years"]
    if counts["not drawn"]:
        handles.append(Patch(facecolor="none", edgecolor="none"))
        labels.append(f"amplitude 0 or beyond float64, not drawn: {counts['not drawn']:,}")
    title = f"{total:,} terms read\n" + "; ".join(meaning(p) for p in programs)
    ax.legend(handles, labels, title=title, fontsize=9 * scale,
              loc="lower left", bbox_to_anchor=(0, 1.01, 1, 0.2), ncol=len(labels),
              mode="expand", borderaxespad=0, title_fontsize=9 * scale)
