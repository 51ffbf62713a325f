"""pairterms-plot refuses outputs that would destroy what it reads or a
series file, and reports damaged input in one line, never a traceback."""

import os
import shutil

import pytest

from conftest import run_plot

PNG = b"\x89PNG\r\n\x1a\n"


@pytest.fixture
def work(sample, tmp_path):
    """A folder with the termsecul tables, a series folder beside it."""
    folder = tmp_path / "ref"
    shutil.copytree(sample / "termsecul", folder,
                    ignore=lambda _, names: [n for n in names if n.startswith("puf")])
    series = tmp_path / "series"
    series.mkdir()
    for n in (1, 3, 27):
        (series / f"puf{n:02d}.txt").write_bytes(b"series %d\r\n" % n)
    (tmp_path / "pl").mkdir()
    return tmp_path


def _links(work):
    """(what, output to give, file that must stay as it is, command)."""
    ref, series, pl = work / "ref", work / "series", work / "pl"
    counts = ("counts", ref)
    spectrum = ("spectrum", ref, 1, 2)
    os.symlink(series / "puf03.txt", pl / "evil.png")
    os.symlink(series / "puf27.txt", pl / "dangling-to-series.svg")
    os.symlink(ref / "rocotabl.txt", pl / "table.png")
    os.link(ref / "roco0102.txt", pl / "hard.png")
    os.symlink(pl / "table.png", pl / "chain.pdf")
    (pl / "notes.png").write_bytes(b"my notes\n")
    return [
        ("a series file's name", pl / "puf01.txt", None, counts),
        ("a series file's name, picture", series / "puf27.txt", series / "puf27.txt", counts),
        ("a link to a series file", pl / "evil.png", series / "puf03.txt", counts),
        ("a link to a series file", pl / "dangling-to-series.svg", series / "puf27.txt", counts),
        ("the table read", ref / "rocotabl.txt", ref / "rocotabl.txt", counts),
        ("a link to the table read", pl / "table.png", ref / "rocotabl.txt", counts),
        ("two links to it", pl / "chain.pdf", ref / "rocotabl.txt", counts),
        ("the pair's file", ref / "roco0102.txt", ref / "roco0102.txt", spectrum),
        ("a hard link to the pair's file", pl / "hard.png", ref / "roco0102.txt", spectrum),
        ("not a picture", pl / "notes.png", pl / "notes.png", counts),
    ]


def test_refused_outputs(work):
    for what, output, kept, command in _links(work):
        before = kept.read_bytes() if kept else None
        done = run_plot(*command, "-o", output)
        assert done.returncode == 1, (what, done.stderr)
        assert done.stderr.startswith("pairterms-plot: error: refusing to write"), what
        assert len(done.stderr.splitlines()) == 1 and not done.stdout, what
        if kept:
            assert kept.read_bytes() == before, what
        else:
            assert not os.path.lexists(output), what


def test_pictures_and_other_links_are_written_through(work):
    pl = work / "pl"
    (pl / "old.png").write_bytes(PNG + b"old")
    os.symlink(pl / "elsewhere.png", pl / "link.png")
    for output in (pl / "old.png", pl / "link.png", pl / "new.svg"):
        done = run_plot("counts", work / "ref", "-o", output)
        assert done.returncode == 0, done.stderr
    assert (pl / "old.png").read_bytes().startswith(PNG)
    assert os.path.islink(pl / "link.png") and (pl / "elsewhere.png").read_bytes().startswith(PNG)


@pytest.mark.parametrize("damage", [
    (b"  1  ", b"  1" + b"9" * 20 + b"  "),       # a count of 20 digits in a table
    (b"\r\n 3", b"\r\n\n 3"),
    (b"      0", b"\xff\xfe\x00\x00 0"),
])
def test_damaged_table_one_line(work, damage):
    table = work / "ref" / "rocotabl.txt"
    table.write_bytes(table.read_bytes().replace(*damage, 1))
    done = run_plot("counts", work / "ref", "-o", work / "c.png")
    assert done.returncode == 1 and "Traceback" not in done.stderr
    assert done.stderr.startswith(f"pairterms-plot: error: {table} line ")
    assert len(done.stderr.splitlines()) == 1 and not (work / "c.png").exists()
