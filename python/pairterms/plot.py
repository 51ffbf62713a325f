"""pairterms-plot: pictures of the tables that termshort, termsecul and
termall write, and of termcuts' table.

    pairterms-plot counts DIR -o FILE [--size WxH]
    pairterms-plot spectrum DIR I J -o FILE [--size WxH] [--termall]
    pairterms-plot cuts FILE -o FILE [--size WxH] [--heatmap] [--settings DIR]

The output is PNG, SVG or PDF by FILE's extension. Exit status 0 when the
picture is written, 1 when the files cannot be found or read, the output
is refused or cannot be written, 2 for a bad command line.
"""

from __future__ import annotations

import argparse
import os
import re
import sys

from ._cutsplot import cuts_files, plot_cuts
from ._draw import FORMATS, Failure, one_line
from ._pairplots import counts_files, plot_counts, plot_spectrum, spectrum_files
from ._version import __version__

__all__ = ["main", "plot_counts", "plot_spectrum", "plot_cuts"]

_SERIES_NAME = re.compile(r"puf(0[1-9]|1[0-9]|2[0-7])\.txt")
#: How a picture begins: PNG, PDF, SVG (or its XML declaration).
_PICTURE_HEADS = (b"\x89PNG\r\n\x1a\n", b"%PDF-", b"<?xml", b"<svg")


def check_output(output: str, inputs: list[str], picture: bool = True) -> None:
    """Refuses (Failure) an output that would overwrite what must be kept:
    a name like a series file (puf01.txt .. puf27.txt), itself or through
    links; one of the inputs, by name or through a symbolic or hard link;
    when picture (the name has a picture's extension), an existing file
    that is not a picture."""
    real = os.path.realpath(output)
    for name in (os.path.basename(output), os.path.basename(real)):
        if _SERIES_NAME.fullmatch(name):
            raise Failure(f"refusing to write {output}: {name} is the name of a series file")
    for path in inputs:
        same = os.path.realpath(path) == real
        try:
            same = same or os.path.samefile(output, path)
        except OSError:
            pass
        if same:
            raise Failure(f"refusing to write {output}: it is {path}, which the picture is made from")
    if not picture or not os.path.isfile(real):
        return                  # nothing to keep there (a FIFO is not opened)
    try:
        with open(real, "rb") as f:
            head = f.read(16)
    except OSError:
        return                  # not readable: writing will tell
    if head and not head.lstrip().startswith(_PICTURE_HEADS):
        raise Failure(f"refusing to write {output}: it exists and is not a picture "
                      f"(PNG, SVG or PDF)")


def _size(text):
    try:
        width, height = (int(v) for v in text.lower().split("x"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not WIDTHxHEIGHT") from None
    if not (100 <= width <= 20000 and 100 <= height <= 20000):
        raise argparse.ArgumentTypeError(f"{text}: each side must be 100..20000 pixels")
    return width, height


_SUMMARY = """\
  pairterms-plot counts DIR -o FILE [--size WxH]
  pairterms-plot spectrum DIR I J -o FILE [--size WxH] [--termall]
  pairterms-plot cuts FILE -o FILE [--size WxH] [--heatmap] [--settings DIR]
  pairterms-plot --help | --version

The picture is PNG, SVG or PDF by the extension of the -o (--output) FILE;
--size WxH sets it in pixels (SVG and PDF at 100 pixels per inch), and its
fonts, lines and margins grow and shrink with it. counts and spectrum look
for their files in DIR and, failing that, in the subfolders of DIR.
pairterms-plot COMMAND --help tells more of each command.

pairterms-plot never writes its picture over a file it reads, a series file
(puf01.txt .. puf27.txt, by name or through a link) or an existing file that
is not a picture.

Exit status: 0 picture written; 1 files not found or damaged, output
refused or not written (one line on standard error); 2 bad command line."""


def _parser():
    parser = argparse.ArgumentParser(
        prog="pairterms-plot", formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Pictures of the tables that termshort, termsecul and termall write, "
                    "and of termcuts' table.\n\n" + _SUMMARY)
    parser.add_argument("--version", action="version", version=f"pairterms-plot {__version__}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    size_help = "picture size in pixels (SVG, PDF: at 100 pixels per inch)"

    def command(name, help_text, description, default_size):
        sub = commands.add_parser(name, help=help_text, description=description)
        sub.add_argument("-o", "--output", metavar="FILE", required=True,
                         help="picture to write (.png, .svg or .pdf)")
        sub.add_argument("--size", type=_size, metavar="WxH",
                         help=f"{size_help}; default {default_size}")
        return sub

    counts = command(
        "counts", "the count tables as 8 x 8 heat maps side by side",
        "Draws the count tables (rohotabl.txt, rocotabl.txt, robotabl.txt) found in DIR "
        "as 8 x 8 heat maps side by side, the counts in the cells, on a logarithmic "
        "colour scale.", "600 per table x 620")
    counts.add_argument("dir", metavar="DIR", help="folder of the program outputs")
    spectrum = command(
        "spectrum", "|amplitude| against |period| of one pair",
        "Draws the terms of pair (I, J) from rohoIIJJ.txt and rocoIIJJ.txt in DIR, or "
        "from roboIIJJ.txt (termall) where neither is there: |amplitude| against "
        "|period| in Julian years, both axes logarithmic, sine and cosine rows in two "
        "colours, the 200-year line dashed, the terms of zero frequency in a panel of "
        "their own. The legend says what the sine rows are in the series: termshort "
        "exchanges sine and cosine, so its S rows are the series' cosine terms. Periods "
        "are computed from MAR[1], MAR[4] and the mean motions in full precision (the "
        "files hold them to 0.01 years).", "1200x700")
    spectrum.add_argument("dir", metavar="DIR", help="folder of the program outputs")
    spectrum.add_argument("i", metavar="I", type=int, help="perturbed planet, 1..8")
    spectrum.add_argument("j", metavar="J", type=int, help="perturbing planet, 1..8")
    spectrum.add_argument("--termall", action="store_true",
                          help="draw roboIIJJ.txt of termall even where rohoIIJJ.txt or "
                               "rocoIIJJ.txt is there")
    cuts = command(
        "cuts", "termcuts' table: terms kept against the threshold",
        "Draws the table that termcuts writes: for termshort and termall, the row lines "
        "kept for each pair against the amplitude threshold, one line per pair, or a "
        "pair-by-threshold heat map. The default cut, 1e-16, is marked, and so is the "
        "threshold of a settings file (roho.settings, robo.settings) in the table's "
        "folder or its subfolders where it gives another.",
        "500 per program + 300 x 600; heat map 520 per program x 1100")
    cuts.add_argument("file", metavar="FILE", help="the table termcuts wrote")
    cuts.add_argument("--heatmap", action="store_true",
                      help="a heat map of pairs by thresholds in place of the lines")
    cuts.add_argument("--settings", metavar="DIR",
                      help="look for the settings files in DIR (and its subfolders) "
                           "in place of the table's folder")
    return parser


def _inputs(args):
    """What the command reads: its files, found but not yet read."""
    if args.command == "counts":
        return counts_files(args.dir)
    if args.command == "spectrum":
        return spectrum_files(args.dir, args.i, args.j, args.termall)
    return cuts_files(args.file, args.settings)


def _paths(args, files):
    if args.command == "counts":
        return [path for _, path in files]
    if args.command == "spectrum":
        return [path for _, path in files[0]]
    return list(files.values())


def _draw(args, files):
    if args.command == "counts":
        drawn = plot_counts(args.dir, args.output, args.size, files)
        return f"count tables of {', '.join(drawn)}"
    if args.command == "spectrum":
        total, counts = plot_spectrum(args.dir, args.i, args.j, args.output, args.size,
                                      args.termall, files)
        return (f"{total} terms of pair {args.i}-{args.j} "
                f"({', '.join(f'{k} {v}' for k, v in counts.items())})")
    drawn = plot_cuts(args.file, args.output, args.size, args.heatmap, args.settings, files)
    return "kept against " + ", ".join(f"{n} thresholds of {p}" for p, n in drawn.items())


def main(argv: list[str] | None = None) -> int:
    """Runs pairterms-plot with argv (default: the command line); returns
    the exit status."""
    parser = _parser()
    args = parser.parse_args(argv)
    for name in ("dir", "settings"):
        if getattr(args, name, None) is not None and not os.path.isdir(getattr(args, name)):
            parser.error(f"{getattr(args, name)} is not a folder")
    if args.command == "spectrum":
        for name, value in (("I", args.i), ("J", args.j)):
            if not 1 <= value <= 8:
                parser.error(f"{name} = {value}: planets are numbered 1..8")
        if args.i == args.j:
            parser.error(f"I and J are both {args.i}: a pair is two planets")
    picture = args.output.lower().endswith(FORMATS)
    try:
        check_output(args.output, [], False)
        try:
            files = _inputs(args)
        except Failure:
            if not picture:
                raise _BadName() from None
            raise
        check_output(args.output, _paths(args, files), picture)
        if not picture:
            raise _BadName()
        try:
            import matplotlib
            matplotlib.use("Agg")
        except ImportError:
            raise Failure("matplotlib is missing (Debian: apt-get install python3-matplotlib)")
        print(f"{args.output}: {_draw(args, files)}")
    except _BadName:
        parser.error(f"{args.output}: the picture's name must end in .png, .svg or .pdf")
    except Failure as e:
        print(f"pairterms-plot: error: {one_line(str(e))}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("pairterms-plot: interrupted", file=sys.stderr)
        return 130
    return 0


class _BadName(Exception):
    """The output's name has no picture extension."""


if __name__ == "__main__":
    sys.exit(main())
