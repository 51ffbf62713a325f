"""The package's tables against what they describe: the row columns
against lines the built programs write, the mean motions against the
values the C++ computes, the programs against programs.tsv."""

import os
import re
import subprocess
from decimal import Decimal, localcontext
from fractions import Fraction

import pytest

from conftest import DATA, PROGRAMS, PYTHON_DIR

import pairterms
from pairterms import _programs, _rows


@pytest.fixture(scope="module")
def outputs(build, tmp_path_factory):
    """The programs run on the tiny conformance set: {program: folder}."""
    root = tmp_path_factory.mktemp("tables")
    series = os.path.join(DATA, "tiny", "series")
    folders = {}
    for program in PROGRAMS:
        out = root / program
        out.mkdir()
        subprocess.run([os.path.join(build, "programs", program), "--series", series,
                        "--output", str(out), "--quiet"], check=True, capture_output=True)
        folders[program] = out
    return folders


_CHECKS = {
    "planet": lambda t: re.fullmatch(r" *[1-8]", t) and len(t) == 3,
    "blank": lambda t: t.strip() == "",
    "amplitude": lambda t: re.fullmatch(r" [ -]\d\.\d{16}e[+-]\d\d", t),
    "int": lambda t: re.fullmatch(r" *-?\d+", t) and f"{int(t):4d}" == t and -128 <= int(t) <= 127,
    "code": lambda t: t in ("S", "C"),
    "period": lambda t: re.fullmatch(r" *-?\d+\.\d\d", t) and t[0] == " " or re.fullmatch(
        r"-?\d+\.\d\d", t),
    "estimate": lambda t: re.fullmatch(r"  \d\.\d{16}e[+-]\d\d|\s+(none|inf)", t),
}


def _row_lines(folder, prefix):
    for name in sorted(os.listdir(folder)):
        if re.fullmatch(prefix + r"\d{4}\.txt", name):
            with open(os.path.join(folder, name), "rb") as f:
                for line in f.read().decode("latin-1").split("\r\n"):
                    if len(line) > 60:
                        yield name, line


def check_columns(folder, program, estimates):
    prog = pairterms.PROGRAM_TABLE[program]
    cols = pairterms.row_columns(prog.period_width, estimates)
    width = cols[-1].last
    assert width == prog.row_width(estimates)
    assert [c.first for c in cols[1:]] == [c.last + 1 for c in cols[:-1]]    # no gap, no overlap
    seen = 0
    for name, line in _row_lines(folder, prog.prefix):
        if "e+" + line[29:31] != line[27:31] and "e-" + line[29:31] != line[27:31]:
            continue                    # an exponent of three digits moves the columns
        assert len(line) == width, (name, line)
        for c in cols:
            text = line[c.first - 1:c.last]
            assert _CHECKS[c.kind](text), (name, c, line)
        seen += 1
    assert seen > 100


@pytest.mark.parametrize("program", PROGRAMS)
def test_row_columns_match_the_lines_the_programs_write(outputs, program):
    check_columns(outputs[program], program, False)


@pytest.mark.parametrize("program", [p for p in PROGRAMS if pairterms.PROGRAM_TABLE[p].amptest])
def test_estimate_column_matches_the_lines_the_programs_write(build, tmp_path, program):
    run = subprocess.run([os.path.join(build, "programs", program), "--series",
                          os.path.join(DATA, "tiny", "series"), "--output", str(tmp_path),
                          "--quiet", "--estimates"], capture_output=True)
    if run.returncode == 2:
        pytest.skip(f"this build of {program} has no --estimates")
    assert run.returncode == 0
    check_columns(tmp_path, program, True)
    rows, info = pairterms.read_pair(tmp_path / f"{pairterms.PROGRAMS[program].prefix}0102.txt")
    assert info.estimates and info.settings.get("estimates") == "yes"


def test_layout_places_follow_the_table():
    # The reader's places are the table's, moved by the extra digits.
    for pw in (0, 7, 8):
        for est in (False, True):
            cols = {c.name: c for c in pairterms.row_columns(pw, est)}
            lay = _rows.Layout(pw, est)
            assert lay.amp == (cols["amp"].first, cols["amp"].last)
            assert lay.mec == (cols["mec1"].first - 1, cols["mec6"].last)
            assert lay.mar == (cols["mar1"].first - 1, cols["mar6"].last)
            assert lay.code == cols["code"].first - 1
            wide = _rows.Layout(pw, est, 2, 3 if pw else 0, 1 if est else 0)
            assert wide.mar == (lay.mar[0] + 2, lay.mar[1] + 2)
            assert wide.width == lay.width + 2 + (3 if pw else 0) + (1 if est else 0)


def test_mean_motions_are_those_the_programs_compute(build):
    tool = os.path.join(build, "tools", "planetdata")
    if not os.access(tool, os.X_OK):
        if os.environ.get("PAIRTERMS_BUILD"):
            pytest.fail(f"{tool} is missing")
        pytest.skip(f"no {tool}")
    out = subprocess.run([tool], check=True, capture_output=True).stdout.decode()
    lines = out.split("\r\n")
    assert lines.pop() == "" and len(lines) == 8
    for line in lines:
        n, bits, text = line.split()
        se, sig = int(bits[:4], 16), int(bits[4:], 16)
        exact = Fraction(sig) * Fraction(2) ** ((se & 0x7FFF) - 16383 - 63)
        assert float(exact) == pairterms.MEAN_MOTIONS[int(n)], line
        with localcontext() as ctx:       # the text: 17 digits, correctly rounded
            ctx.prec = 17
            digits = +(Decimal(exact.numerator) / Decimal(exact.denominator))
            assert Decimal(text) == digits, line


def test_programs_come_from_programs_tsv():
    path = os.path.join(PYTHON_DIR, "pairterms", "programs.tsv")
    with open(path, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f
                if line.strip() and not line.startswith("#")]
    head, body = rows[0], rows[1:]
    assert list(pairterms.PROGRAM_TABLE) == [r[0] for r in body]
    for r in body:
        values = dict(zip(head, (v.strip('"') for v in r)))
        p = pairterms.PROGRAM_TABLE[values["program"]]
        assert pairterms.PROGRAMS[p.name] == (values["prefix"], values["closing"],
                                               int(values["periodwidth"]))
        assert p.table == values["table"] and p.amptest == (values["amptest"] == "yes")


def test_a_fourth_program_is_one_more_row(tmp_path):
    with open(os.path.join(PYTHON_DIR, "pairterms", "programs.tsv"), encoding="utf-8") as f:
        text = f.read()
    text += ('termlong\tlong\tunfuplal\trolo\trolotabl.txt\t"      long p. terms number"\t'
             '"  our number of long p. terms"\t"  all number of long p. terms"\tno\tno\t-\t'
             'secular\t9\t4,5,1,2,5,6\t"writes the long terms"\n')
    table = _programs._load(text)
    assert list(table)[-1] == "termlong" and table["termlong"].row_width() == 95
    saved = dict(_programs.PROGRAM_TABLE)
    _programs.PROGRAM_TABLE.update(table)
    try:
        assert _programs.by_prefix("rolo0102.txt") == "termlong"
        assert _programs.by_row_width(95) == [("termlong", False)]
        # A file of the new program is read by the same reader.
        src = os.path.join(DATA, "tiny", "expected", "termsecul", "roco0605.txt")
        with open(src, "rb") as f:
            raw = f.read()
        lines = raw.split(b"\r\n")
        lines = [ln[:86] + b" " + ln[86:] if len(ln) == 94 else ln for ln in lines]
        lines[-2] = lines[-2].replace(b"      secular terms number", b"      long p. terms number")
        path = tmp_path / "rolo0605.txt"
        path.write_bytes(b"\r\n".join(lines))
        rows, info = pairterms.read_pair(path)
        assert info.program == "termlong" and len(rows) == info.k
    finally:
        _programs.PROGRAM_TABLE.clear()
        _programs.PROGRAM_TABLE.update(saved)
