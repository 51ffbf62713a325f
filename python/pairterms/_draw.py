"""What the pictures of pairterms-plot share: finding and reading the
files, a figure whose fonts, lines and margins scale with its size, and
writing it as PNG, SVG or PDF."""

from __future__ import annotations

import contextlib
import os
from collections.abc import Callable, Iterator
from typing import Any

#: The picture formats, by the extension of the output's name.
FORMATS = (".png", ".svg", ".pdf")
DPI = 100

#: matplotlib settings in points or inches, multiplied by the scale of the
#: picture (its size against the default size).
_SCALED = (
    "font.size", "axes.linewidth", "axes.titlepad", "axes.labelpad", "lines.linewidth",
    "lines.markersize", "lines.markeredgewidth", "patch.linewidth", "grid.linewidth",
    "hatch.linewidth", "figure.constrained_layout.w_pad", "figure.constrained_layout.h_pad",
    "xtick.major.size", "xtick.minor.size", "xtick.major.width", "xtick.minor.width",
    "xtick.major.pad", "xtick.minor.pad", "ytick.major.size", "ytick.minor.size",
    "ytick.major.width", "ytick.minor.width", "ytick.major.pad", "ytick.minor.pad",
)


class Failure(Exception):
    """An error to report in one line, with exit status 1."""


def find(folder: str, name: str) -> str | None:
    """folder/name, or folder/SUB/name for exactly one subfolder SUB (the
    layout tools/run-sample makes: one subfolder per program); None when
    there is none."""
    direct = os.path.join(folder, name)
    if os.path.isfile(direct):
        return direct
    try:
        subs = sorted(os.listdir(folder))
    except OSError as e:
        raise Failure(f"cannot list {folder}: {e.strerror or e}") from None
    found = [os.path.join(folder, sub, name) for sub in subs
             if os.path.isfile(os.path.join(folder, sub, name))]
    if len(found) > 1:
        raise Failure(f"{name} is in several subfolders of {folder} "
                      f"({', '.join(found)}): name one of them")
    return found[0] if found else None


def read(what: Callable[[str], Any], path: str) -> Any:
    """what(path), its failures as Failure: a damaged file (ValueError
    naming the file and the line) or one that cannot be read."""
    try:
        return what(path)
    except (ValueError, ArithmeticError) as e:
        raise Failure(one_line(str(e))) from None
    except OSError as e:
        raise Failure(f"cannot read {path}: {e.strerror or e}") from None


def one_line(text: str) -> str:
    """text with its line ends shown, so that a report stays one line."""
    return text.replace("\r", "\\r").replace("\n", "\\n")


def scale_of(size: tuple[int, int] | None, default: tuple[int, int]) -> float:
    """How much larger than the default the picture is: the smaller of the
    two ratios of its sides, so that text scaled by it still fits."""
    if size is None:
        return 1.0
    return min(size[0] / default[0], size[1] / default[1])


@contextlib.contextmanager
def figure(size: tuple[int, int] | None, default: tuple[int, int]) -> Iterator[tuple[Any, float]]:
    """(figure, scale) of size pixels (default: default), inside matplotlib
    settings scaled for it: use and save the figure within the block."""
    import matplotlib
    from matplotlib.figure import Figure
    width, height = size or default
    scale = scale_of(size, default)
    base = matplotlib.rcParamsDefault
    settings = {key: base[key] * scale for key in _SCALED}
    settings.update({"svg.fonttype": "none", "svg.hashsalt": "pairterms",
                     "pdf.fonttype": 42})
    with matplotlib.rc_context(settings):
        yield Figure(figsize=(width / DPI, height / DPI), dpi=DPI, layout="constrained"), scale


def save(fig: Any, path: str) -> None:
    """Writes fig to path, PNG, SVG or PDF by its extension, without the
    date, so that the same input gives the same file."""
    kind = os.path.splitext(path)[1].lower()
    metadata = {".svg": {"Date": None}, ".pdf": {"CreationDate": None}}.get(kind)
    try:
        fig.savefig(path, dpi=DPI, metadata=metadata)
    except OSError as e:
        raise Failure(f"cannot write {path}: {e.strerror or e}") from None


def colormap(name: str) -> Any:
    """The matplotlib colour map name, grey for masked cells."""
    import matplotlib
    cmap = matplotlib.colormaps[name].copy()
    cmap.set_bad("#dddddd")
    return cmap
