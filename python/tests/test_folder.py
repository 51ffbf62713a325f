"""read_folder, the settings file, the estimate column and the MANIFEST of a
run folder, on the sample and on copies of it made by hand."""

import hashlib
import os
import shutil
import subprocess

import numpy as np
import pytest

from conftest import PREFIX, PROGRAMS

import pairterms

PAIRS = [(i, j) for i in range(1, 9) for j in range(1, 9) if i != j]


@pytest.mark.parametrize("program", PROGRAMS)
def test_folder_is_its_files_in_order_with_the_pair(sample, program):
    rows = pairterms.read_folder(sample / program)
    parts = []
    for i, j in PAIRS:
        part, info = pairterms.read_pair(sample / program / f"{PREFIX[program]}{i:02d}{j:02d}.txt")
        parts.append((i, j, part, info))
    assert len(rows) == sum(len(p[2]) for p in parts)
    start = 0
    for i, j, part, info in parts:
        got = rows[start:start + len(part)]
        assert (got["i"] == i).all() and (got["j"] == j).all()
        for name in part.dtype.names:
            assert (got[name] == part[name]).all() or name == "amp_text" and (
                got[name].astype(part[name].dtype) == part[name]).all(), name
        start += len(part)
    assert rows.dtype.names[:2] == ("i", "j")


def copy_folder(src, dst):
    shutil.copytree(src, dst, ignore=shutil.ignore_patterns("puf*.txt"))
    return dst


def _lines(path):
    return path.read_bytes().split(b"\r\n")[:-1]


def _write(path, lines):
    path.write_bytes(b"".join(line + b"\r\n" for line in lines))


def test_mixed_runs_are_refused(sample, tmp_path):
    folder = copy_folder(sample / "termsecul", tmp_path / "termsecul")
    table = folder / "rocotabl.txt"
    saved = table.read_bytes()
    # A count table that disagrees: row 3 with one count moved to another.
    lines = _lines(table)
    counts, totals = pairterms.read_counts(table)
    counts[2, 0] += 1
    counts[2, 1] -= 1
    head = lines[0]
    _write(table, [head] + [b"%2d  " % (x + 1) + b"".join(b"%5d " % c for c in counts[x])
                            + b"%6d" % totals[x] for x in range(8)])
    with pytest.raises(ValueError, match=r"roco0301\.txt line \d+: .*count table"):
        pairterms.read_folder(folder)
    table.write_bytes(saved)
    # A file of another run (the same pair from the conformance set).
    other = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "data", "tiny",
                         "expected", "termsecul", "roco0605.txt")
    shutil.copy(other, folder / "roco0605.txt")
    with pytest.raises(ValueError, match=r"roco0605\.txt line \d+: "):
        pairterms.read_folder(folder)


def test_settings_file_and_estimate_column(sample, tmp_path):
    """termall's files with the estimate column added by hand, beside a
    settings file that says so."""
    folder = copy_folder(sample / "termall", tmp_path / "termall")
    (folder / "robo.settings").write_bytes(
        b"pairterms settings\r\nprogram termall\r\nversion 1.0.0\r\nthreshold 1e-12\r\n"
        b"order-bound 10\r\nestimates yes\r\n")
    marks = {}
    for i, j in PAIRS:
        path = folder / f"robo{i:02d}{j:02d}.txt"
        lines = _lines(path)
        for k, line in enumerate(lines):
            if len(line) >= 84 and line.endswith((b"  S", b"  C")):
                value = abs(float(line[7:31 + len(line) - 84])) * 1.5e-3
                if k % 17 == 5:
                    est = b"none".rjust(24)
                elif k % 23 == 7 or not np.isfinite(value):
                    est = b"inf".rjust(24)
                else:
                    est = b"  " + (b"%.16e" % value)
                marks[(i, j, k + 1)] = est.strip()
                lines[k] = line + est
        _write(path, lines)
    rows, info = pairterms.read_pair(folder / "robo0201.txt")
    assert info.estimates and info.settings["threshold"] == "1e-12"
    assert info.settings == {"program": "termall", "version": "1.0.0", "threshold": "1e-12",
                             "order-bound": "10", "estimates": "yes"}
    for r in rows:
        want = marks[(2, 1, int(r["line"]))]
        assert r["est_text"] == want
        if want == b"none":
            assert np.isnan(r["est"])
        elif want == b"inf":
            assert r["est"] == np.inf
        else:
            assert r["est"] == float(want)
    whole = pairterms.read_folder(folder)
    assert "est" in whole.dtype.names and len(whole) == sum(
        pairterms.read_counts(folder / "robotabl.txt")[1])
    # Rows without the column beside the settings that announce it.
    shutil.copy(sample / "termall" / "robo0503.txt", folder / "robo0503.txt")
    with pytest.raises(ValueError, match=r"robo0503\.txt line \d+: .*estimate"):
        pairterms.read_pair(folder / "robo0503.txt")
    # A settings file of another program.
    (folder / "robo.settings").write_bytes(b"pairterms settings\r\nprogram termshort\r\n")
    with pytest.raises(ValueError, match="settings of termshort"):
        pairterms.read_pair(folder / "robo0201.txt")


def make_run(sample, root, settings="threshold 1.0E-16, period-cut 200, max-order 8, "
                                    "order-bound 10"):
    """A folder as pairterms run writes it, from the sample's outputs."""
    sizes = []
    for program in PROGRAMS:
        dst = copy_folder(sample / program, root / program)
        for i, j in PAIRS:
            name = f"{PREFIX[program]}{i:02d}{j:02d}.txt"
            sizes.append(f"size {os.path.getsize(dst / name)} {program}/{name}")
    hashes = [f"{hashlib.sha256(b'x%d' % n).hexdigest()}  puf{n:02d}.txt" for n in range(1, 28)]
    text = ["pairterms 1.0.0", "platform x86_64 linux, extended type x87 long double",
            f"settings {settings}", "programs termshort termsecul termall",
            "series /home/user/se\\x01ries\\\\x"] + hashes + sizes
    (root / "MANIFEST").write_bytes("".join(t + "\r\n" for t in text).encode())
    return root


def test_run_folder_and_manifest(sample, tmp_path):
    root = make_run(sample, tmp_path / "run")
    manifest = pairterms.read_manifest(root / "MANIFEST")
    assert manifest["programs"] == list(PROGRAMS)
    assert manifest["series"] == "/home/user/se\x01ries\\x"
    assert manifest["settings"]["period-cut"] == "200" and len(manifest["hashes"]) == 27
    assert len(manifest["sizes"]) == 168
    result = pairterms.read_folder(root)
    assert list(result) == list(PROGRAMS)
    for program in PROGRAMS:
        assert len(result[program]) == pairterms.read_counts(
            root / program / f"{PREFIX[program]}tabl.txt")[1].sum()
    assert len(pairterms.read_folder(root, "termsecul")) == len(result["termsecul"])
    # A file changed since: its size is not the MANIFEST's.
    path = root / "termall" / "robo0807.txt"
    path.write_bytes(path.read_bytes() + b"\r\n")
    with pytest.raises(ValueError, match=r"robo0807\.txt: .*MANIFEST"):
        pairterms.read_folder(root)


def test_run_folder_settings_must_agree_with_the_manifest(sample, tmp_path):
    root = make_run(sample, tmp_path / "run", "threshold 1e-12, period-cut 200, max-order 8, "
                                              "order-bound 10")
    with pytest.raises(ValueError, match=r"roho\.settings: .*MANIFEST"):
        pairterms.read_folder(root)
    (root / "termshort" / "roho.settings").write_bytes(
        b"pairterms settings\r\nprogram termshort\r\nversion 1.0.0\r\nthreshold 1e-12\r\n"
        b"period-cut 200\r\nmax-order 8\r\n")
    (root / "termall" / "robo.settings").write_bytes(
        b"pairterms settings\r\nprogram termall\r\nversion 1.0.0\r\nthreshold 1e-12\r\n"
        b"order-bound 10\r\n")
    assert set(pairterms.read_folder(root)) == set(PROGRAMS)
    (root / "termsecul" / "roco.settings").write_bytes(
        b"pairterms settings\r\nprogram termsecul\r\nversion 1.0.0\r\nperiod-cut 300\r\n")
    with pytest.raises(ValueError, match=r"roco\.settings: .*another run"):
        pairterms.read_folder(root)


@pytest.mark.parametrize("text, line, words", [
    (b"pairterms setting\r\n", 1, "first line"),
    (b"pairterms settings\r\nprogram termall\r\nthreshold\r\n", 3, "NAME VALUE"),
    (b"pairterms settings\r\nprogram termall\r\norder-bound 9\r\nthreshold 1\r\n", 4, "order"),
    (b"pairterms settings\r\nversion 1.0.0\r\n", 2, "program"),
    (b"pairterms settings\r\nprogram termall", 2, "ends inside"),
])
def test_damaged_settings_raise(tmp_path, text, line, words):
    path = tmp_path / "robo.settings"
    path.write_bytes(text)
    with pytest.raises(ValueError, match=rf"robo\.settings line {line}: .*{words}"):
        pairterms.read_settings(path)


@pytest.mark.parametrize("args", [[], ["--threshold", "0.0000000000000001", "--period-cut", "2e2",
                                       "--estimates"], ["--threshold", "1e-12", "--only", "all,secul"]])
def test_folders_of_real_runs(build, tmp_path, args):
    """What pairterms run writes reads whole, the cut values the defaults
    are written in other ways included, and agrees file by file."""
    tool = os.path.join(build, "programs", "pairterms")
    if not os.access(tool, os.X_OK):
        pytest.skip("pairterms is not built here")
    series = tmp_path / "series"
    subprocess.run([os.path.join(build, "tools", "seriesgen"), "--scale", "tiny", str(series)],
                   check=True, capture_output=True)
    subprocess.run([tool, "run", "--series", str(series), "--output", str(tmp_path / "out"),
                    "--quiet"] + args, check=True, capture_output=True)
    tables = pairterms.read_folder(tmp_path / "out")
    assert list(tables) == pairterms.read_manifest(tmp_path / "out" / "MANIFEST")["programs"]
    for program, rows in tables.items():
        rows_0201, _ = pairterms.read_pair(tmp_path / "out" / program / f"{PREFIX[program]}0201.txt")
        mine = rows[(rows["i"] == 2) & (rows["j"] == 1)]
        assert all(np.array_equal(mine[f], rows_0201[f]) for f in rows_0201.dtype.names)
        assert ("est" in rows.dtype.names) == ("--estimates" in args and program != "termsecul")
