"""read_pair and read_counts on the conformance sets, on a sample with the
rare forms added, on files cut short and on damaged files."""

import glob
import os
import random
import re
import subprocess
from decimal import Decimal, getcontext

import numpy as np
import pytest

from conftest import DATA, PREFIX, PROGRAMS, check_rows

import pairterms
from pairterms import _columns

OUTPUT_FOLDERS = sorted(glob.glob(os.path.join(DATA, "*", "expected", "*")))


def pair_files(folder):
    return sorted(glob.glob(os.path.join(folder, "ro??[0-9][0-9][0-9][0-9].txt")))


def check_folder(folder, program):
    """Every per-pair file of one program's output folder against its
    lines, its blocks and the folder's count table. Returns the files
    without closing line."""
    table = os.path.join(folder, PREFIX[program] + "tabl.txt")
    counts = pairterms.read_counts(table)[0] if os.path.exists(table) else None
    unclosed = []
    for path in pair_files(folder):
        rows, info = pairterms.read_pair(path)
        check_rows(path, rows)
        name = os.path.basename(path)
        assert (info.program, info.i, info.j) == (program, int(name[4:6]), int(name[6:8]))
        assert info.blocks["file"].tolist() == list(range(1, len(info.blocks) + 1))
        assert info.blocks["rows"].sum() == len(rows) == info.k
        assert info.blocks["k"].tolist() == np.cumsum(info.blocks["rows"]).tolist()
        if info.closed:
            assert len(info.blocks) == 27
            if counts is not None:
                assert counts[info.i - 1, info.j - 1] == info.k, name
        else:
            unclosed.append(name)
    if counts is not None:
        closed = len(pair_files(folder)) - len(unclosed)
        assert (counts > 0).sum() == closed
    return unclosed


@pytest.mark.parametrize("folder", OUTPUT_FOLDERS,
                         ids=[os.path.relpath(f, DATA) for f in OUTPUT_FOLDERS])
def test_conformance_outputs(folder):
    program = os.path.basename(folder)
    unclosed = check_folder(folder, program)
    with open(os.path.join(folder, "status.txt")) as f:
        failed = f.read().strip() != "0"
    # A failed run leaves exactly one file without its closing line.
    assert len(unclosed) == (1 if failed else 0)


@pytest.mark.parametrize("program", PROGRAMS)
def test_sample_with_rare_forms(sample, program):
    assert check_folder(sample / program, program) == []


def test_rare_forms_read_as_written(sample):
    rows, _ = pairterms.read_pair(sample / "termall" / "robo0201.txt")
    by_text = {r["amp_text"]: r for r in rows[rows["file"] == 1]}
    assert np.signbit(by_text[b"-0.0000000000000000e+00"]["amp"])
    assert by_text[b"1.0000000000000000e-120"]["amp"] == 1e-120
    assert by_text[b"2.5000000000000000e-4000"]["amp"] == 0.0        # text kept
    assert by_text[b"1.5000000000000000e+400"]["amp"] == np.inf
    half = by_text[b"5.0000000000000000e-01"]
    assert half["mec"].tolist() == [5, -128, 0, 0, 0, 0]
    assert half["mar"].tolist() == [-128, 0, 0, 0, 0, 0]
    mirrored = rows[(rows["file"] == 1) & (rows["npa"] == 2)]
    assert b"-5.0000000000000000e-01" in mirrored["amp_text"]

    # termshort: 0.5 S becomes -0.5 C; its period -0.0019 years reads -0.00.
    rows, _ = pairterms.read_pair(sample / "termshort" / "roho0201.txt")
    row = rows[(rows["file"] == 1) & (rows["mec"][:, 1] == -128) & (rows["npa"] == 1)][0]
    assert (row["amp"], row["code"]) == (-0.5, b"C")
    assert row["period"] == 0 and np.signbit(row["period"])

    rows, _ = pairterms.read_pair(sample / "termsecul" / "roco0708.txt")
    wide = rows[rows["period"] == -21969.64]
    assert len(wide) == 1 and wide[0]["mar"][3] == 100


def test_line_ends_lf_and_mixed(sample, tmp_path):
    path = sample / "termsecul" / "roco0201.txt"
    want, _ = pairterms.read_pair(path)
    raw = path.read_bytes()
    lf = tmp_path / "roco0201.txt"
    lf.write_bytes(raw.replace(b"\r\n", b"\n"))
    got, info = pairterms.read_pair(lf)
    assert info.closed and (got == want).all()
    lines = raw.split(b"\r\n")
    lf.write_bytes(b"".join(line + (b"\n" if k % 3 else b"\r\n")
                            for k, line in enumerate(lines[:-1])))
    got, info = pairterms.read_pair(lf)
    assert info.closed and (got == want).all()


def _cut(path, tmp_path, keep, name=None):
    """A copy of the per-pair file with its first `keep` lines."""
    lines = path.read_bytes().split(b"\r\n")[:-1]
    out = tmp_path / (name or path.name)
    out.write_bytes(b"".join(line + b"\r\n" for line in lines[:keep]))
    return out


def test_without_closing_line(sample, tmp_path):
    path = sample / "termall" / "robo0302.txt"
    full, info = pairterms.read_pair(path)
    lines = path.read_bytes().split(b"\r\n")[:-1]
    end_of_5 = 2 + 3 * 5 + int(info.blocks["rows"][:5].sum())
    for keep, blocks in ((len(lines) - 1, 27), (end_of_5, 5), (end_of_5 + 1, 5), (2, 0)):
        # After all blocks, after block 5, after the opening line of block
        # 6 (the failure came while preparing its terms), after the head.
        for name in (None, "pair.txt"):      # program told by name or rows
            cut_path = _cut(path, tmp_path, keep, name)
            if name and not blocks:
                with pytest.raises(ValueError, match="which program"):
                    pairterms.read_pair(cut_path)
                continue
            rows, cut = pairterms.read_pair(cut_path)
            assert not cut.closed and len(cut.blocks) == blocks
            assert cut.program == "termall"
            assert (rows == full[:len(rows)]).all()
            assert cut.k == len(rows) == (info.blocks["k"][blocks - 1] if blocks else 0)


def test_file_of_a_failed_run(build, tmp_path):
    # An axis exponent out of range stops termall while it prepares the
    # terms of series file 5 for pair 1-2, after that block's opening line.
    subprocess.run([os.path.join(build, "tools", "seriesgen"), "--scale", "tiny",
                    "--seed", "1", str(tmp_path)], check=True, capture_output=True)
    series = tmp_path / "puf05.txt"
    lines = series.read_bytes().split(b"\r\n")
    fields = lines[5].split()
    numbers = [int(v) for v in fields[1:13]]
    numbers[4] = 40
    lines[5] = b" %23s" % fields[0] + b"".join(b"%4d" % v for v in numbers) + b"  " + fields[13]
    series.write_bytes(b"\r\n".join(lines))
    run = subprocess.run([os.path.join(build, "programs", "termall")], cwd=tmp_path,
                         capture_output=True)
    assert run.returncode == 217 and b"axis exponent 40" in run.stdout
    rows, info = pairterms.read_pair(tmp_path / "robo0102.txt")
    assert not info.closed and info.blocks["file"].tolist() == [1, 2, 3, 4]
    assert len(rows) == info.k == info.blocks["rows"].sum()


def _put(lines, r, column, new):
    """Writes new into line r from column (counted from 1)."""
    lines[r] = lines[r][:column - 1] + new + lines[r][column - 1 + len(new):]


def _row_line(lines, n_file, k=0):
    """Index of the k-th row line of the block of series file n_file."""
    opening = next(i for i, line in enumerate(lines)
                   if line.endswith(b"before terms number") and int(line.split()[3]) == n_file)
    return opening + 3 + k


DAMAGES = {
    # name: (change of row line r of the lines, words of the report)
    "letter in MEC": (lambda ls, r: _put(ls, r, 33, b"  x1"), r"MEC\[1\] is not an integer"),
    "MAR out of range": (lambda ls, r: _put(ls, r, 58, b" 200"), r"MAR\[1\] 200 is outside"),
    "code": (lambda ls, r: _put(ls, r, 84, b"X"), "code S or C"),
    "amplitude digit": (lambda ls, r: _put(ls, r, 13, b"?"), "amplitude"),
    "wrong planet": (lambda ls, r: _put(ls, r, 6, b"7"), "NPB 7"),
    "period point": (lambda ls, r: _put(ls, r, len(ls[r]) - 2, b","), "period"),
    "line joined": (lambda ls, r: ls.__setitem__(r, ls[r] + ls.pop(r + 1)), "period"),
}


@pytest.mark.parametrize("damage", DAMAGES)
def test_damaged_row_raises(sample, tmp_path, damage):
    change, words = DAMAGES[damage]
    path = sample / "termshort" / "roho0504.txt"
    lines = path.read_bytes().split(b"\r\n")[:-1]
    r = _row_line(lines, 6, 2)
    change(lines, r)
    bad = tmp_path / path.name
    bad.write_bytes(b"".join(line + b"\r\n" for line in lines))
    with pytest.raises(ValueError, match=rf"^{re.escape(str(bad))} line {r + 1}: .*{words}"):
        pairterms.read_pair(bad)


def test_damaged_structure_raises(sample, tmp_path):
    path = sample / "termshort" / "roho0504.txt"
    raw = path.read_bytes()
    lines = raw.split(b"\r\n")[:-1]
    bad = tmp_path / path.name
    r6 = _row_line(lines, 6)

    def expect(data, line, words):
        bad.write_bytes(data)
        with pytest.raises(ValueError, match=rf"^{re.escape(str(bad))} line {line}: .*{words}"):
            pairterms.read_pair(bad)

    def joined(ls):
        return b"".join(line + b"\r\n" for line in ls)

    expect(raw[:-5], len(lines), "ends inside this line")
    expect(joined(lines[:r6 + 1]), r6 + 1, "ends inside the block of series file 6")
    expect(joined(lines[:r6 - 1]), r6 - 1, "ends inside the block of series file 6")
    expect(joined(lines[:r6] + lines[r6 + 1:]), r6 + lines[r6:].index(
        next(line for line in lines[r6:] if line.endswith(b"before terms number"))),
        "row line|NPA")
    expect(raw + b"more\r\n", len(lines) + 1, "after the closing line")
    expect(joined(lines[:-1] + [lines[-1].replace(b" 5   4", b" 5   3")]), len(lines),
           "closing line")
    expect(joined(lines[:r6 - 3] + [lines[r6 - 3].replace(b"4   6  before", b"4   7  before")]
                  + lines[r6 - 2:]), r6 - 2, "series file 7, expected pair 5-4 series file 6")
    more = b"%10d" % (int(lines[r6 - 1][:10]) + 1) + lines[r6 - 1][10:]
    expect(joined(lines[:r6 - 1] + [more] + lines[r6:]), r6, "count lines say")
    expect(b"", 1, "empty")


def test_damaged_count_table_raises(tmp_path):
    path = os.path.join(DATA, "tiny", "expected", "termsecul", "rocotabl.txt")
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")[:-1]
    bad = tmp_path / "rocotabl.txt"

    def expect(ls, line, words):
        bad.write_bytes(b"".join(x + b"\r\n" for x in ls))
        with pytest.raises(ValueError, match=rf"^{re.escape(str(bad))} line {line}: .*{words}"):
            pairterms.read_counts(bad)

    expect(lines[:5], 5, "ends before the row of planet 5")
    expect(lines[:3] + [lines[3][:-1] + b"9"] + lines[4:], 4, "row total")
    expect(lines[:3] + [lines[3][:10] + b"x" + lines[3][11:]] + lines[4:], 4, "no count")
    expect([b"x" + lines[0]] + lines[1:], 1, "heading")
    expect(lines + [b""], 10, "after the row of planet 8")


def test_count_wider_than_its_field(tmp_path):
    # termsecul: cells of 5, totals of 6; a wider count moves the rest.
    counts = np.arange(64).reshape(8, 8) * 7
    counts[np.diag_indices(8)] = 0
    counts[2, 5] = 1234567
    lines = ["    " + "".join(f"{y:5d} " for y in range(1, 9))]
    for x in range(8):
        lines.append(f"{x + 1:2d}  " + "".join(f"{c:5d} " for c in counts[x])
                     + f"{counts[x].sum():6d}")
    path = tmp_path / "rocotabl.txt"
    path.write_bytes("".join(line + "\r\n" for line in lines).encode())
    got, totals = pairterms.read_counts(path)
    assert (got == counts).all() and (totals == counts.sum(1)).all()


def test_periods_match_the_period_column(sample):
    for program in ("termshort", "termsecul"):
        for path in pair_files(sample / program):
            rows, _ = pairterms.read_pair(path)
            p = pairterms.periods(rows)
            assert (np.abs(p - rows["period"]) <= 0.005 + 1e-12 * np.abs(p)).all(), path
            if program == "termsecul":
                assert ((p == 0) == (rows["period"] == 0)).all(), path
            else:
                assert (np.abs(p) < 200).all() and (p != 0).all(), path


def test_amplitude_conversion_is_correctly_rounded():
    rnd = random.Random(14)
    getcontext().prec = 60
    texts = []
    for _ in range(40000):          # any 17 digits
        digits = str(rnd.randrange(10 ** 16, 10 ** 17))
        texts.append(f"{rnd.choice(['', '-'])}{digits[0]}.{digits[1:]}e{rnd.randint(-60, 60):+03d}")
    for _ in range(20000):          # near the points half way between two doubles
        a = rnd.uniform(1, 10) * 10.0 ** rnd.randint(-40, 40)
        mid = (Decimal(a) + Decimal(float(np.nextafter(a, np.inf)))) / 2
        texts.append("%.16e" % mid)
    texts += ["0.0000000000000000e+00", "-0.0000000000000000e+00",
              "4.9406564584124654e-324", "2.2250738585072011e-308", "1.7976931348623157e+308",
              "1.7976931348623159e+308", "1.0000000000000000e-120", "9.9999999999999999e+22"]
    for width in (23, 24):          # two- and three-digit exponents apart
        group = [t if t.startswith("-") else " " + t for t in texts]
        group = [t for t in group if len(t) == width]
        a = np.frombuffer("".join(group).encode(), np.uint8).reshape(len(group), width)
        got = _columns.amplitudes(a)
        want = np.array([float(t) for t in group])
        assert (got.view(np.int64) == want.view(np.int64)).all()
