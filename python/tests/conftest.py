"""Shared fixtures: the package on the path, the built programs, a sample
run, and a reading of the tables line by line to check the reader with."""

import os
import re
import shutil
import subprocess
import sys

import numpy as np
import pytest

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPO = os.path.dirname(PYTHON_DIR)
DATA = os.path.join(REPO, "tests", "data")
PLOT = os.path.join(PYTHON_DIR, "bin", "pairterms-plot")
sys.path.insert(0, PYTHON_DIR)

PROGRAMS = ("termshort", "termsecul", "termall")
PREFIX = {"termshort": "roho", "termsecul": "roco", "termall": "robo"}

# Terms the generator does not make, put at the head of puf01.txt (no
# amplitude test there; rows for every pair with I > J, and mirrored rows):
# a negative zero, exponents of three and four digits, values beyond
# float64, a -128 touching the field before it.
ADDED_TO_FILE_1 = [
    " -0                       0   0   0   0   0   0    0   0   0   0   0   0  S",
    "  1e-120                  0   0   0   0   0   0    0   0   0   0   0   0  C",
    "  1.5e+400                0   0   0   0   0   0    0   0   0   0   0   0  C",
    "  0.5                     5 -128  0   0   0   0 -128   0   0   0   0   0  S",
    "  2.5e-4000               0   0   0   0   0   0    1   0   0   0   0   0  C",
]
# In puf02.txt: a secular term of pair 7-8 whose period (-21969.64 years) is
# wider than termsecul's field.
ADDED_TO_FILE_2 = [
    "  1.0000000000000000e-08   0   0   0   0   0   0 -51   0   0 100   0   0  C",
]


@pytest.fixture(scope="session")
def build():
    """The build folder of the programs: PAIRTERMS_BUILD, else the
    source tree's build-release (tests that need it are skipped when
    neither holds the programs)."""
    folder = os.environ.get("PAIRTERMS_BUILD")
    given = bool(folder)
    folder = folder or os.path.join(REPO, "build-release")
    tools = [os.path.join(folder, "programs", p) for p in PROGRAMS]
    tools.append(os.path.join(folder, "tools", "seriesgen"))
    missing = [t for t in tools if not os.access(t, os.X_OK)]
    if missing:
        if given:
            pytest.fail(f"PAIRTERMS_BUILD={folder} lacks {', '.join(missing)}")
        pytest.skip(f"no built programs in {folder} (set PAIRTERMS_BUILD)")
    return folder


def _add_terms(path, terms):
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    count = int(lines[1])
    lines[1] = b"%8d" % (count + len(terms))
    lines[3:3] = [t.encode() for t in terms]
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines))


@pytest.fixture(scope="session")
def sample(build, tmp_path_factory):
    """The tiny sample with the added terms, run by the three programs:
    a folder with one subfolder per program."""
    root = tmp_path_factory.mktemp("sample")
    series = root / "series"
    subprocess.run([os.path.join(build, "tools", "seriesgen"), "--scale", "tiny",
                    "--seed", "1", str(series)], check=True, capture_output=True)
    _add_terms(series / "puf01.txt", ADDED_TO_FILE_1)
    _add_terms(series / "puf02.txt", ADDED_TO_FILE_2)
    for program in PROGRAMS:
        folder = root / program
        shutil.copytree(series, folder)
        run = subprocess.run([os.path.join(build, "programs", program)], cwd=folder,
                             capture_output=True)
        assert run.returncode == 0, run.stdout[-300:]
    shutil.rmtree(series)
    return root


# --- the tables read line by line --------------------------------------------

_ROW = re.compile(r"(?P<npa>[ \d]{3})(?P<npb>[ \d]{3})  (?P<amp>[ -]\d\.\d{16}e[+-]\d{2,}) "
                  r"(?P<mec>.{24}) (?P<mar>.{24})  (?P<code>[SC])(?:  (?P<period> *-?\d+\.\d\d))?")
_OTHER = [re.compile(p) for p in (
    r"   \d  perturbed  planet is .{12}",
    r"   \d  perturbing planet is .{12}",
    r" *\d+ +\d+         terms number",
    r" *\d+ +\d+  after  terms number",
    r" *\d+ +\d+ +\d+ +(?:short p\. |secular )?terms number")]
_OPENING = re.compile(r" *\d+ +\d+ +\d+ +(\d+)  before terms number")


def rows_by_line(path):
    """The row lines of a per-pair file read one by one: a list of
    (line number, series file, fields as the line writes them)."""
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\n")
    assert lines.pop() == "", f"{path} does not end with a line end"
    rows, n_file = [], None
    for number, line in enumerate(lines, 1):
        line = line[:-1] if line.endswith("\r") else line
        opening = _OPENING.fullmatch(line)
        if opening:
            n_file = int(opening.group(1))
            continue
        m = _ROW.fullmatch(line)
        if m:
            rows.append((number, n_file, {
                "npa": int(m["npa"]), "npb": int(m["npb"]),
                "amp_text": m["amp"].strip(),
                "mec": [int(m["mec"][k:k + 4]) for k in range(0, 24, 4)],
                "mar": [int(m["mar"][k:k + 4]) for k in range(0, 24, 4)],
                "code": m["code"], "period": m["period"]}))
            continue
        assert any(p.fullmatch(line) for p in _OTHER), f"{path} line {number}: {line!r}"
    return rows


def check_rows(path, rows):
    """Every row line of the file is a record of rows, with its values."""
    expected = rows_by_line(path)
    assert rows["line"].tolist() == [e[0] for e in expected]
    assert rows["file"].tolist() == [e[1] for e in expected]
    for record, (number, _, want) in zip(rows, expected):
        where = f"{path} line {number}"
        assert record["amp_text"].decode() == want["amp_text"], where
        value = np.float64(float(want["amp_text"]))
        assert record["amp"].view(np.int64) == value.view(np.int64), where
        assert (record["npa"], record["npb"]) == (want["npa"], want["npb"]), where
        assert record["mec"].tolist() == want["mec"], where
        assert record["mar"].tolist() == want["mar"], where
        assert record["code"].decode() == want["code"], where
        if want["period"] is None:
            assert "period" not in rows.dtype.names
        else:
            period = np.float64(float(want["period"]))
            assert record["period"].view(np.int64) == period.view(np.int64), where


def run_plot(*args, **kw):
    """pairterms-plot run as a command, as a user runs it from the tree."""
    env = dict(os.environ)
    env.pop("PYTHONPATH", None)
    return subprocess.run([PLOT, *map(str, args)], capture_output=True, text=True,
                          env=env, **kw)
