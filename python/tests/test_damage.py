"""Damaged input gives ValueError naming the file and the line, and
nothing else: numbers past 64 bits, fields past Python's limit on digits,
a name that disagrees with the content, and copies of real files cut at
every line or with bytes changed at random places."""

import itertools
import os
import random
import re
import shutil

import pytest

from conftest import DATA, PREFIX

import pairterms

TINY = os.path.join(DATA, "tiny", "expected")


def _lines(path):
    with open(path, "rb") as f:
        return f.read().split(b"\r\n")[:-1]


def _write(path, lines):
    path.write_bytes(b"".join(line + b"\r\n" for line in lines))


def expect(call, path, line, words=""):
    with pytest.raises(ValueError, match=rf"^{re.escape(str(path))} line {line}: .*{words}"):
        call(path)


def _first_row(lines):
    return next(k for k, line in enumerate(lines) if len(line) > 80)


def test_numbers_past_64_bits(tmp_path):
    src = os.path.join(TINY, "termsecul", "roco0708.txt")
    lines = _lines(src)
    bad = tmp_path / "roco0708.txt"
    # A count of 20 digits in a block-opening line.
    changed = list(lines)
    changed[2] = b"%30d" % (2 ** 64 + 5) + changed[2][10:]
    _write(bad, changed)
    expect(pairterms.read_pair, bad, 3, "digits|opening")
    # An amplitude exponent past 64 bits: beyond the extended range.
    r = _first_row(lines)
    changed = list(lines)
    row = changed[r]
    changed[r] = row[:28] + b"+18446744073709551616" + row[31:]
    _write(bad, changed)
    expect(pairterms.read_pair, bad, r + 1, "beyond the extended range")
    # The same below zero: the value is below the smallest, it reads as 0.
    changed[r] = row[:28] + b"-18446744073709551616" + row[31:]
    _write(bad, changed)
    rows, _ = pairterms.read_pair(bad)
    assert rows["amp"][0] == 0 and rows["amp_lo"][0] == 0
    # A period past 64 bits is read, correctly rounded.
    changed = list(lines)
    changed[r] = row[:86] + b"18446744073709551616.25"
    _write(bad, changed)
    rows, _ = pairterms.read_pair(bad)
    assert rows["period"][0] == 18446744073709551616.25
    # One of 5000 digits is beyond the extended range; one of 400, infinite.
    for digits, outcome in ((5000, None), (400, float("inf"))):
        changed[r] = row[:86] + b"9" * digits + b".25"
        _write(bad, changed)
        if outcome is None:
            expect(pairterms.read_pair, bad, r + 1, "period is beyond the extended range")
        else:
            assert pairterms.read_pair(bad)[0]["period"][0] == outcome
    # A count of 5000 digits in a count line.
    changed = list(lines)
    changed[3] = b"9" * 5000 + changed[3][10:]
    _write(bad, changed)
    expect(pairterms.read_pair, bad, 4, "digits")


def test_count_table_numbers_past_64_bits(tmp_path):
    lines = _lines(os.path.join(TINY, "termsecul", "rocotabl.txt"))
    bad = tmp_path / "rocotabl.txt"
    for count in (b"18446744073709551616", b"9" * 5000):
        changed = list(lines)
        changed[2] = changed[2][:4] + count + changed[2][9:]
        _write(bad, changed)
        expect(pairterms.read_counts, bad, 3, "digits")


def test_name_and_content_must_agree(tmp_path):
    src = os.path.join(TINY, "termshort", "roho0103.txt")
    bad = tmp_path / "roho0102.txt"
    shutil.copy(src, bad)
    rows, info = pairterms.read_pair(bad)
    assert (info.i, info.j) == (1, 3)
    expect(lambda p: info.check_name(), bad, 1, "pair 1-3")
    good = tmp_path / "roho0103.txt"
    shutil.copy(src, good)
    pairterms.read_pair(good)[1].check_name()


def _damaged_copies(path, rnd, flips):
    raw = path.read_bytes() if hasattr(path, "read_bytes") else open(path, "rb").read()
    ends = [k + 1 for k, b in enumerate(raw) if b == 10]
    for end in ends[:-1]:
        yield raw[:end]                                     # cut after a line
        yield raw[:end + rnd.randrange(1, 40)]              # cut inside the next
    for _ in range(flips):
        data = bytearray(raw)
        for _ in range(rnd.randint(1, 3)):
            data[rnd.randrange(len(data))] = rnd.choice(b"0123456789 -+.eSC\r\n\x00\xffx")
        yield bytes(data)


def _only_value_errors(call, path):
    try:
        call(path)
    except ValueError as e:
        assert re.match(rf"{re.escape(str(path))} line \d+: ", str(e)), str(e)


@pytest.fixture(params=["exact", "lazy"])
def line_ends(request, monkeypatch):
    """Large files are walked without finding every line end first; "lazy"
    takes that way for every file."""
    if request.param == "lazy":
        monkeypatch.setattr(pairterms.reader, "_LAZY", 0)
        monkeypatch.setattr(pairterms.reader, "_REUSE", 0)
    return request.param


@pytest.mark.parametrize("program, name", [("termshort", "roho0201.txt"),
                                           ("termsecul", "roco0605.txt"),
                                           ("termall", "robo0302.txt")])
def test_damaged_copies_of_a_pair_file(sample, tmp_path, program, name, line_ends):
    rnd = random.Random(name)
    bad = tmp_path / name
    for data in _damaged_copies(sample / program / name, rnd, 300):
        bad.write_bytes(data)
        _only_value_errors(pairterms.read_pair, bad)


def test_damaged_copies_of_a_count_table(tmp_path):
    rnd = random.Random(3)
    for program in ("termshort", "termsecul", "termall"):
        name = PREFIX[program] + "tabl.txt"
        bad = tmp_path / name
        for data in _damaged_copies(os.path.join(TINY, program, name), rnd, 200):
            bad.write_bytes(data)
            _only_value_errors(pairterms.read_counts, bad)


def test_lazy_and_exact_line_ends_read_alike(sample, monkeypatch):
    files = sorted(sample.glob("*/ro??[0-9]*.txt"))
    plain = [pairterms.read_pair(p) for p in files]
    monkeypatch.setattr(pairterms.reader, "_LAZY", 0)
    for path, (rows, info) in zip(files, plain):
        lazy, lazy_info = pairterms.read_pair(path)
        assert lazy.dtype == rows.dtype and (lazy == rows).all(), path
        assert (lazy_info.k, lazy_info.closed, lazy_info.program) == (info.k, info.closed,
                                                                     info.program)
    monkeypatch.setattr(pairterms.reader, "_REUSE", 0)      # every file into one buffer
    for program in ("termshort", "termsecul", "termall"):
        folder = pairterms.read_folder(sample / program)
        monkeypatch.setattr(pairterms.reader, "_LAZY", 1 << 23)
        assert (folder == pairterms.read_folder(sample / program)).all()
        monkeypatch.setattr(pairterms.reader, "_LAZY", 0)


def test_damaged_folders(sample, tmp_path, line_ends):
    rnd = random.Random(5)
    folder = tmp_path / "termsecul"
    shutil.copytree(sample / "termsecul", folder, ignore=shutil.ignore_patterns("puf*"))
    names = sorted(n for n in os.listdir(folder) if n.startswith("roco"))
    for _ in range(60):
        name = rnd.choice(names)
        path = folder / name
        saved = path.read_bytes()
        data = list(itertools.islice(_damaged_copies(path, rnd, 400), rnd.randrange(1, 600)))[-1]
        path.write_bytes(data)
        try:
            pairterms.read_folder(folder)
        except ValueError as e:
            assert re.match(rf"{re.escape(str(folder))}/roco(tabl|\d{{4}})\.txt line \d+: ",
                            str(e)), str(e)
        path.write_bytes(saved)
