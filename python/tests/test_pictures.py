"""pairterms-plot's pictures: scaled with their size, PDF, the spectrum of
termall, termcuts' table."""

import re
import shutil

import pytest

import cutsdata
import pairterms
from conftest import run_plot
from test_plot import svg_texts


def svg_geometry(path):
    """The font sizes and the corners of the first axes of an SVG."""
    text = path.read_text()
    fonts = sorted(float(f) for f in re.findall(r"font: ([\d.]+)px", text))
    corners = re.search(r'<g id="patch_2">\s*<path d="([^"]*)"', text).group(1)
    return fonts, [float(v) for v in re.findall(r"[\d.]+", corners)]


@pytest.mark.parametrize("command, default", [
    (("counts", "{sample}/termsecul"), (600, 620)),
    (("spectrum", "{sample}", "2", "1"), (1200, 700)),
    (("cuts", "{cuts}"), (1300, 600)),
])
def test_fonts_and_margins_scale_with_the_size(sample, tmp_path, command, default):
    cuts = cutsdata.write(tmp_path / "cuts.txt", cutsdata.lines())
    args = [a.format(sample=sample, cuts=cuts) for a in command]
    small, large = tmp_path / "small.svg", tmp_path / "large.svg"
    assert run_plot(*args, "-o", small).returncode == 0
    done = run_plot(*args, "-o", large, "--size", f"{default[0] * 2}x{default[1] * 2}")
    assert done.returncode == 0, done.stderr
    fonts, corners = svg_geometry(small)
    fonts2, corners2 = svg_geometry(large)
    assert fonts2 == pytest.approx([2 * f for f in fonts], rel=1e-6)
    assert corners2 == pytest.approx([2 * c for c in corners], rel=0.01)
    root, _ = svg_texts(large)
    assert root.get("width") == f"{default[0] * 2 * 0.72:g}pt"


def test_pdf(sample, tmp_path):
    one, two = tmp_path / "one.pdf", tmp_path / "two.pdf"
    for path in (one, two):
        done = run_plot("spectrum", sample, 6, 5, "-o", path, "--size", "600x350")
        assert done.returncode == 0, done.stderr
    data = one.read_bytes()
    assert data.startswith(b"%PDF-") and b"/MediaBox [ 0 0 432 252 ]" in data
    assert b"CreationDate" not in data and data == two.read_bytes()


def legend_title(path):
    _, texts = svg_texts(path)
    return next(t for t in texts if t.endswith("terms read")), texts


def test_spectrum_of_termall_and_what_sine_means(sample, tmp_path):
    robo = len(pairterms.read_pair(sample / "termall" / "robo0605.txt")[0])
    both = sum(len(pairterms.read_pair(sample / p / f"{x}0605.txt")[0])
               for p, x in (("termshort", "roho"), ("termsecul", "roco")))
    svg = tmp_path / "s.svg"
    for folder, flag, count, meanings in (
            (sample / "termall", [], robo,
             ["termall: S and C rows are the series' sine and cosine terms"]),
            (sample, ["--termall"], robo,
             ["termall: S and C rows are the series' sine and cosine terms"]),
            (sample, [], both,
             ["termshort: S rows are the series' cosine terms, C rows its sine terms",
              "termsecul: S and C rows are the series' sine and cosine terms"])):
        done = run_plot("spectrum", folder, 6, 5, "-o", svg, *flag)
        assert done.returncode == 0, done.stderr
        assert done.stdout.startswith(f"{svg}: {count} terms of pair 6-5")
        title, texts = legend_title(svg)
        assert title == f"{count:,} terms read"
        assert "; ".join(meanings) in texts
    done = run_plot("spectrum", sample / "termshort", 6, 5, "-o", svg, "--termall")
    assert done.returncode == 1 and "no robo0605.txt" in done.stderr


def test_spectrum_checks_the_pair_in_the_file(sample, tmp_path):
    shutil.copy(sample / "termsecul" / "roco0103.txt", tmp_path / "roco0102.txt")
    done = run_plot("spectrum", tmp_path, 1, 2, "-o", tmp_path / "s.png")
    assert done.returncode == 1 and "holds pair 1-3, not 1-2" in done.stderr
    assert not (tmp_path / "s.png").exists()


@pytest.mark.parametrize("heatmap", [[], ["--heatmap"]])
def test_cuts_marks_the_default_and_the_settings_cut(tmp_path, heatmap):
    cuts = cutsdata.write(tmp_path / "cuts.txt", cutsdata.lines())
    (tmp_path / "termall").mkdir()
    cutsdata.write(tmp_path / "termall" / "robo.settings", cutsdata.settings("termall", "1e-14"))
    cutsdata.write(tmp_path / "roho.settings", cutsdata.settings("termshort", "1.0E-16"))
    svg = tmp_path / "c.svg"
    done = run_plot("cuts", cuts, "-o", svg, *heatmap)
    assert done.returncode == 0, done.stderr
    assert done.stdout == (f"{svg}: kept against 5 thresholds of termshort, "
                           f"5 thresholds of termall\n")
    _, texts = svg_texts(svg)
    assert "cut of the tables (robo.settings): 1e-14" in texts
    assert "termshort: row lines kept" in texts and "termall: row lines kept" in texts
    assert not any("roho.settings" in t for t in texts)     # the default: no second mark
    assert texts.count("default cut 1e-16") == (2 if heatmap else 1)

    # Settings from another folder, a cut outside the thresholds drawn.
    other = tmp_path / "other"
    other.mkdir()
    cutsdata.write(other / "robo.settings", cutsdata.settings("termall", "1e-30"))
    done = run_plot("cuts", cuts, "-o", svg, "--settings", other, *heatmap)
    assert done.returncode == 0, done.stderr
    _, texts = svg_texts(svg)
    label = "cut of the tables (robo.settings): 1e-30"
    assert (label + ": outside the thresholds") in texts if heatmap else label in texts


def test_cuts_failures(tmp_path):
    cuts = cutsdata.write(tmp_path / "cuts.txt", cutsdata.lines())
    lines = cutsdata.lines()
    k = lines.index(cutsdata.row("termall", 2, 5, "1e-20", 465, "8.7500000000000004e-18"))
    bad = cutsdata.write(tmp_path / "bad.txt", lines[:k] + [lines[k].replace(" 5 ", " 6 ")]
                         + lines[k + 1:])
    for args, words in (
            ((bad,), r"error: .*bad\.txt line \d+: pair 2-6, threshold 1e-20 where pair 2-5"),
            ((tmp_path / "none.txt",), "none.txt is not a file"),
            ((cutsdata.write(tmp_path / "s.txt", cutsdata.lines(programs=("termsecul",))),),
             "no program with a threshold")):
        done = run_plot("cuts", *args, "-o", tmp_path / "c.png")
        assert done.returncode == 1 and re.search(words, done.stderr), done.stderr
        assert len(done.stderr.splitlines()) == 1 and not (tmp_path / "c.png").exists()
    settings = cutsdata.write(tmp_path / "robo.settings", ["pairterms settings", "threshold"])
    done = run_plot("cuts", cuts, "-o", tmp_path / "c.png")
    assert done.returncode == 1 and f"{settings} line 2: not a setting" in done.stderr
