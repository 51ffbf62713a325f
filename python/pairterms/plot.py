"""pairterms-plot: pictures of the tables that termshort, termsecul and
termall write.

    pairterms-plot counts DIR -o FILE
    pairterms-plot spectrum DIR I J -o FILE

The output is PNG or SVG by FILE's extension. Exit status 0 when the
picture is written, 1 when the tables cannot be found or read or the
picture cannot be written, 2 for a bad command line.
"""

import argparse
import os
import sys

import numpy as np

from .planets import NAMES, THRESHOLD_YEARS, periods
from .reader import PROGRAMS, read_counts, read_pair

_FORMATS = (".png", ".svg")
_DPI = 100
_SINE, _COSINE, _ZERO_BACK = "#1f77b4", "#d62728", "#e8f4e8"


class _Failure(Exception):
    """An error to report with exit status 1."""


def _find(folder, name):
    """folder/name, or folder/SUB/name for exactly one subfolder SUB (the
    layout tools/run-sample makes: one subfolder per program); None when
    there is none."""
    direct = os.path.join(folder, name)
    if os.path.isfile(direct):
        return direct
    found = sorted(os.path.join(folder, sub, name) for sub in os.listdir(folder)
                   if os.path.isfile(os.path.join(folder, sub, name)))
    if len(found) > 1:
        raise _Failure(f"{name} is in several subfolders of {folder} "
                       f"({', '.join(found)}): name one of them")
    return found[0] if found else None


def _figure(size, default):
    from matplotlib.figure import Figure
    width, height = size or default
    return Figure(figsize=(width / _DPI, height / _DPI), dpi=_DPI, layout="constrained")


def _save(fig, path):
    import matplotlib
    with matplotlib.rc_context({"svg.fonttype": "none", "svg.hashsalt": "pairterms"}):
        try:
            fig.savefig(path, dpi=_DPI, metadata={"Date": None}
                        if path.lower().endswith(".svg") else None)
        except OSError as e:
            raise _Failure(f"cannot write {path}: {e.strerror or e}") from None


def _read(what, path):
    try:
        return what(path)
    except ValueError as e:
        raise _Failure(str(e)) from None
    except OSError as e:
        raise _Failure(f"cannot read {path}: {e.strerror or e}") from None


# --- counts ----------------------------------------------------------------

def plot_counts(folder, output, size=None):
    """Draws the count tables found in folder as heat maps side by side.
    Returns the programs drawn."""
    from matplotlib.colors import LogNorm, Normalize
    tables = []
    for program, (prefix, _, _) in PROGRAMS.items():
        path = _find(folder, prefix + "tabl.txt")
        if path:
            tables.append((program, path) + _read(read_counts, path))
    if not tables:
        raise _Failure(f"no count table (rohotabl.txt, rocotabl.txt, robotabl.txt) "
                       f"in {folder} or its subfolders")
    fig = _figure(size, (600 * len(tables), 620))
    axes = fig.subplots(1, len(tables), squeeze=False)[0]
    names = NAMES[1:]
    for ax, (program, path, counts, totals) in zip(axes, tables):
        shown = np.ma.masked_equal(counts, 0)
        top = int(counts.max())
        low = int(shown.min()) if shown.count() else 1
        norm = LogNorm(low, top) if top > low else Normalize(0, max(top, 1))
        cmap = _colormap("viridis")
        image = ax.imshow(shown, cmap=cmap, norm=norm)
        for x in range(8):
            for y in range(8):
                if x == y:
                    continue
                value = int(counts[x, y])
                light = value and norm(value) > 0.6
                ax.text(y, x, f"{value}", ha="center", va="center", fontsize=7,
                        color="black" if light or not value else "white")
        ax.set_xticks(range(8), names, rotation=45, ha="right")
        ax.set_yticks(range(8), names)
        ax.set_xlabel("perturbing planet J")
        ax.set_ylabel("perturbed planet I")
        ax.set_title(f"{program}: {os.path.basename(path)}\n{int(totals.sum()):,} row lines",
                     fontsize=10)
        fig.colorbar(image, ax=ax, shrink=0.8, label="row lines of the pair's file (log)")
    _save(fig, output)
    return [t[0] for t in tables]


def _colormap(name):
    import matplotlib
    cmap = matplotlib.colormaps[name].copy()
    cmap.set_bad("#dddddd")
    return cmap


# --- spectrum --------------------------------------------------------------

def plot_spectrum(folder, i, j, output, size=None):
    """Draws |amplitude| against |period| of pair (I, J) from its roho and
    roco files in folder. Returns (number of rows read, legend counts)."""
    parts, notes = [], []
    for program in ("termshort", "termsecul"):
        name = f"{PROGRAMS[program][0]}{i:02d}{j:02d}.txt"
        path = _find(folder, name)
        if path is None:
            notes.append(f"no {name}")
            continue
        rows, info = _read(read_pair, path)
        if not info.closed:
            notes.append(f"{name} has no closing line")
        parts.append(rows[["amp", "npa", "npb", "mar", "code"]])
    if not parts:
        raise _Failure(f"neither roho{i:02d}{j:02d}.txt nor roco{i:02d}{j:02d}.txt "
                       f"in {folder} or its subfolders")
    rows = np.concatenate(parts)
    amp = np.abs(rows["amp"])
    period = np.abs(periods(rows))
    sine = rows["code"] == b"S"
    drawable = (amp > 0) & np.isfinite(amp)
    zero = drawable & (period == 0)
    main = drawable & ~zero
    counts = {
        "sine": int((main & sine).sum()),
        "cosine": int((main & ~sine).sum()),
        "zero frequency": int(zero.sum()),
        "not drawn": int((~drawable).sum()),
    }

    fig = _figure(size, (1200, 700))
    ax, side = fig.subplots(1, 2, sharey=True, gridspec_kw={"width_ratios": [12, 1]})
    ax.set_xscale("log")
    ax.set_yscale("log")
    style = dict(linestyle="none", marker="o", markersize=1.6, markeredgewidth=0,
                 alpha=0.5, rasterized=True)
    # Sine and cosine points in turns, in random order, so that where they
    # crowd neither colour hides the other.
    rng = np.random.default_rng(0)
    jitter = rng.uniform(-0.4, 0.4, len(rows))
    for panel, x, chosen in ((ax, period, main), (side, jitter, zero)):
        for part in np.array_split(rng.permutation(np.flatnonzero(chosen)), 8):
            for kind, colour in ((sine[part], _SINE), (~sine[part], _COSINE)):
                panel.plot(x[part[kind]], amp[part[kind]], color=colour, **style)
    ax.axvline(THRESHOLD_YEARS, color="black", linestyle="--", linewidth=1)
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
    title = f"Pair {i}-{j}: {NAMES[i]} perturbed by {NAMES[j]}, terms of termshort and termsecul"
    if notes:
        title += f" ({'; '.join(notes)})"
    fig.suptitle(title, fontsize=11)
    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    handles = [Line2D([], [], color=_SINE, marker="o", linestyle="none"),
               Line2D([], [], color=_COSINE, marker="o", linestyle="none"),
               Patch(facecolor=_ZERO_BACK, edgecolor="grey"),
               Line2D([], [], color="black", linestyle="--", linewidth=1)]
    labels = [f"sine terms: {counts['sine']:,}", f"cosine terms: {counts['cosine']:,}",
              f"zero frequency (right): {counts['zero frequency']:,}",
              f"{THRESHOLD_YEARS:g} years"]
    if counts["not drawn"]:
        handles.append(Patch(facecolor="none", edgecolor="none"))
        labels.append(f"amplitude 0 or beyond float64, not drawn: {counts['not drawn']:,}")
    ax.legend(handles, labels, title=f"{len(rows):,} terms read", fontsize=9,
              loc="lower left", bbox_to_anchor=(0, 1.01, 1, 0.2), ncol=len(labels),
              mode="expand", borderaxespad=0, title_fontsize=9)
    _save(fig, output)
    return len(rows), counts


# --- command line ----------------------------------------------------------

def _size(text):
    try:
        width, height = (int(v) for v in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not WIDTHxHEIGHT") from None
    if not (100 <= width <= 20000 and 100 <= height <= 20000):
        raise argparse.ArgumentTypeError(f"{text}: each side must be 100..20000 pixels")
    return width, height


def _parser():
    parser = argparse.ArgumentParser(
        prog="pairterms-plot",
        description="Pictures of the tables that termshort, termsecul and termall "
                    "write. Each command looks for its files in DIR and, failing "
                    "that, in the subfolders of DIR.",
        epilog="The picture is PNG or SVG by the extension of FILE. Exit status: 0 "
               "done, 1 tables not found or not readable or picture not written, "
               "2 bad command line.")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    size_help = "picture size in pixels (SVG: at 100 pixels per inch)"
    counts = commands.add_parser(
        "counts", help="the count tables as 8 x 8 heat maps side by side",
        description="Draws the count tables (rohotabl.txt, rocotabl.txt, "
                    "robotabl.txt) found in DIR as 8 x 8 heat maps side by side, "
                    "the counts in the cells, on a logarithmic colour scale.")
    counts.add_argument("dir", metavar="DIR", help="folder of the program outputs")
    counts.add_argument("-o", "--output", metavar="FILE", required=True,
                        help="picture to write (.png or .svg)")
    counts.add_argument("--size", type=_size, metavar="WxH",
                        help=size_help + "; default 600 per table x 620")
    spectrum = commands.add_parser(
        "spectrum", help="|amplitude| against |period| of one pair",
        description="Draws the terms of pair (I, J) from rohoIIJJ.txt and "
                    "rocoIIJJ.txt in DIR: |amplitude| against |period| in Julian "
                    "years, both axes logarithmic, sine and cosine terms in two "
                    "colours, the 200-year line dashed, the terms of zero "
                    "frequency in a panel of their own. Periods are computed from "
                    "MAR[1], MAR[4] and the mean motions in full precision (the "
                    "files hold them to 0.01 years).")
    spectrum.add_argument("dir", metavar="DIR", help="folder of the program outputs")
    spectrum.add_argument("i", metavar="I", type=int, help="perturbed planet, 1..8")
    spectrum.add_argument("j", metavar="J", type=int, help="perturbing planet, 1..8")
    spectrum.add_argument("-o", "--output", metavar="FILE", required=True,
                          help="picture to write (.png or .svg)")
    spectrum.add_argument("--size", type=_size, metavar="WxH",
                          help=size_help + "; default 1200x700")
    return parser


def main(argv=None):
    parser = _parser()
    args = parser.parse_args(argv)
    if not args.output.lower().endswith(_FORMATS):
        parser.error(f"{args.output}: the picture's name must end in .png or .svg")
    if not os.path.isdir(args.dir):
        parser.error(f"{args.dir} is not a folder")
    if args.command == "spectrum":
        for name, value in (("I", args.i), ("J", args.j)):
            if not 1 <= value <= 8:
                parser.error(f"{name} = {value}: planets are numbered 1..8")
        if args.i == args.j:
            parser.error(f"I and J are both {args.i}: a pair is two planets")
    try:
        import matplotlib
        matplotlib.use("Agg")
    except ImportError:
        print("pairterms-plot: error: matplotlib is missing "
              "(Debian: apt-get install python3-matplotlib)", file=sys.stderr)
        return 1
    try:
        if args.command == "counts":
            drawn = plot_counts(args.dir, args.output, args.size)
            print(f"{args.output}: count tables of {', '.join(drawn)}")
        else:
            total, counts = plot_spectrum(args.dir, args.i, args.j, args.output, args.size)
            print(f"{args.output}: {total} terms of pair {args.i}-{args.j} "
                  f"({', '.join(f'{k} {v}' for k, v in counts.items())})")
    except _Failure as e:
        print(f"pairterms-plot: error: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
