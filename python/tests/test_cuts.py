"""read_cuts and read_settings over hand-made tables and settings files,
whole and damaged."""

import os
import re
import subprocess

import numpy as np
import pytest

import cutsdata
from conftest import REPO
from pairterms import read_cuts
from pairterms.settings import read_settings


def test_reads_what_termcuts_writes(build, tmp_path):
    """The table termcuts writes, read back: every line a record with the
    fields the line holds, the head's settings, the counts falling as the
    threshold grows."""
    series = tmp_path / "series"
    subprocess.run([os.path.join(build, "tools", "seriesgen"), "--scale", "tiny", "--seed", "3",
                    str(series)], check=True, capture_output=True)
    out = tmp_path / "cuts.txt"
    with open(out, "wb") as f:
        subprocess.run([os.path.join(build, "programs", "termcuts"), "--series", str(series),
                        "--thresholds", "1e-20,1e-16,1e-12", "--max-order", "6"], stdout=f, check=True)
    rows, info = read_cuts(out)
    assert info.settings["max-order"] == "6"
    text = out.read_bytes().decode().split("\r\n")[3:-1]
    assert len(rows) == len(text)
    for record, line in zip(rows, text):
        fields = line.split()
        assert record["program"] == fields[0]
        assert (record["i"], record["j"], record["kept"]) == (int(fields[1]), int(fields[2]), int(fields[4]))
        assert record["threshold_text"] == fields[3]
    tested = rows[rows["program"] == "termall"]["kept"].reshape(56, 3)
    assert (tested[:, 0] >= tested[:, 1]).all() and (tested[:, 1] >= tested[:, 2]).all()


@pytest.mark.parametrize("end", ["\r\n", "\n"])
def test_every_field(tmp_path, end):
    path = cutsdata.write(tmp_path / "cuts.txt", cutsdata.lines(), end)
    rows, info = read_cuts(path)
    assert (info.version, info.series) == ("1.0.0", "/home/user/series")
    assert info.settings == {"period-cut": "200", "max-order": "8", "order-bound": "10"}
    assert info.programs == ("termshort", "termsecul", "termall")
    assert info.thresholds == {"termshort": cutsdata.THRESHOLDS, "termsecul": (),
                               "termall": cutsdata.THRESHOLDS}
    assert rows["line"].tolist() == list(range(4, 4 + len(rows)))
    want = [line.split() for line in cutsdata.lines()[3:]]
    assert rows["program"].tolist() == [w[0] for w in want]
    assert rows["i"].tolist() == [int(w[1]) for w in want]
    assert rows["j"].tolist() == [int(w[2]) for w in want]
    assert rows["threshold_text"].tolist() == [w[3] for w in want]
    assert rows["kept"].tolist() == [int(w[4]) for w in want]
    assert rows["dropped_text"].tolist() == [w[5] for w in want]
    secul = rows["program"] == "termsecul"
    assert secul.sum() == 56 and np.isnan(rows["threshold"][secul]).all()
    assert np.isnan(rows["dropped"][secul]).all()
    assert rows["threshold"][~secul].tolist() == [float(w[3]) for w in want if w[3] != "-"]
    assert rows["dropped"][~secul].tolist() == [float(w[5]) for w in want if w[5] != "-"]


def test_some_programs_and_one_threshold(tmp_path):
    path = cutsdata.write(tmp_path / "c.txt", cutsdata.lines(("1e-16",), ("termall",)))
    rows, info = read_cuts(path)
    assert len(rows) == 56 and info.thresholds == {"termall": ("1e-16",)}
    cutsdata.write(path, cutsdata.lines(("1e-16",), ("termall", "termshort")))
    with pytest.raises(ValueError, match="line 60: termshort after termall"):
        read_cuts(path)


def _damaged(lines):
    """(what, damaged text lines, line that must be named or None)."""
    n = len(lines)
    whole = {3 + 56 * 2, 3 + 56 * 3}    # tables of the first programs only
    for k in set(range(n)) - whole:     # the table cut after k lines
        yield f"cut after {k}", lines[:k], None
    for k in range(n):
        yield f"line {k + 1} left out", lines[:k] + lines[k + 1:], min(k + 1, n - 1)
    for k in range(3, n - 1):
        if lines[k] != lines[k + 1]:
            yield f"lines {k + 1}, {k + 2} swapped", (
                lines[:k] + [lines[k + 1], lines[k]] + lines[k + 2:]), None
    rng = np.random.default_rng(3)
    for _ in range(300):
        k = int(rng.integers(3, n))
        fields = lines[k].split()
        f = int(rng.integers(0, len(fields)))
        junk = ["x", "9", "0", "-5", "1e-16e", "1.0e-05", "termfoo", "", "1 2"][
            int(rng.integers(0, 9))]
        if fields[f] == junk or (f == 4 and re.fullmatch(r"\d+", junk)):
            continue                    # no damage, or a count that could be right
        fields[f] = junk
        yield f"line {k + 1} field {f + 1} {junk!r}", lines[:k] + [
            "   ".join(fields)] + lines[k + 1:], None


def test_damaged_tables_name_the_file_and_a_line(tmp_path):
    """Every damaged table raises ValueError naming the file and a line;
    nothing else comes out."""
    lines = cutsdata.lines(("1e-16", "1e-20"))
    path = tmp_path / "cuts.txt"
    seen = 0
    for what, text, named in _damaged(lines):
        cutsdata.write(path, text)
        with pytest.raises(ValueError) as e:
            read_cuts(path)
        m = re.match(rf"{re.escape(str(path))} line (\d+): ", str(e.value))
        assert m, (what, str(e.value))
        assert 1 <= int(m.group(1)) <= len(text) + 1, (what, str(e.value))
        if named is not None and named > 3:
            assert int(m.group(1)) <= named + 1, (what, str(e.value))
        seen += 1
    assert seen > 900
    path.write_bytes("\r\n".join(lines).encode())          # no last line end
    with pytest.raises(ValueError, match=rf"line {len(lines)}: the file ends inside"):
        read_cuts(path)


def test_settings_files(tmp_path):
    path = cutsdata.write(tmp_path / "robo.settings", cutsdata.settings("termall", "1e-12"))
    assert read_settings(path) == {"program": "termall", "version": "1.0.0",
                                   "threshold": "1e-12", "order-bound": "10"}
    for bad, k in ((["pairterms settings", "threshold"], 2),
                   (["settings of pairterms", "program termall"], 1),
                   (["pairterms settings", "program termall", "program termall"], 3),
                   (["pairterms settings", "threshold 1e-12 1e-14"], 2)):
        cutsdata.write(path, bad)
        with pytest.raises(ValueError, match=rf"robo\.settings line {k}: "):
            read_settings(path)
