"""pairterms-plot run as a command: pictures of a sample, errors."""

import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

from conftest import run_plot

import pairterms


def png_size(path):
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR"
    assert data[-8:-4] == b"IEND"
    return struct.unpack(">II", data[16:24])


def svg_texts(path):
    """The root element and all texts of an SVG (texts kept as text)."""
    root = ET.parse(path).getroot()
    assert root.tag == "{http://www.w3.org/2000/svg}svg"
    return root, ["".join(e.itertext()) for e in root.iter("{http://www.w3.org/2000/svg}text")]


def test_counts_png_and_svg(sample, tmp_path):
    png = tmp_path / "counts.png"
    done = run_plot("counts", sample, "-o", png)
    assert done.returncode == 0, done.stderr
    assert png_size(png) == (1800, 620)        # three tables side by side

    svg = tmp_path / "counts.svg"
    assert run_plot("counts", sample, "-o", svg, "--size", "1500x500").returncode == 0
    root, texts = svg_texts(svg)
    assert (root.get("width"), root.get("height")) == ("1080pt", "360pt")
    for name in ("Mercury", "Earth-Moon", "Neptune"):
        assert name in texts
    for title in ("termshort: rohotabl.txt", "termsecul: rocotabl.txt", "termall: robotabl.txt"):
        assert title in "\n".join(texts)
    for program, prefix in (("termall", "robo"), ("termsecul", "roco")):
        counts, _ = pairterms.read_counts(sample / program / f"{prefix}tabl.txt")
        off_diagonal = [str(c) for x, row in enumerate(counts) for y, c in enumerate(row)
                        if x != y]
        missing = [c for c in off_diagonal if c not in texts]
        assert not missing


def test_counts_of_one_program_folder(sample, tmp_path):
    png = tmp_path / "one.png"
    assert run_plot("counts", sample / "termsecul", "-o", png).returncode == 0
    assert png_size(png) == (600, 620)


@pytest.mark.parametrize("pair", [(2, 1), (7, 8)])
def test_spectrum_counts_every_row(sample, tmp_path, pair):
    i, j = pair
    read = sum(len(pairterms.read_pair(sample / program / f"{prefix}{i:02d}{j:02d}.txt")[0])
               for program, prefix in (("termshort", "roho"), ("termsecul", "roco")))
    svg = tmp_path / "spectrum.svg"
    done = run_plot("spectrum", sample, i, j, "-o", svg)
    assert done.returncode == 0, done.stderr
    root, texts = svg_texts(svg)
    assert (root.get("width"), root.get("height")) == ("864pt", "504pt")
    assert f"{read:,} terms read" in texts
    parts = [int(m.group(1).replace(",", "")) for t in texts
             for m in [re.search(r"(?:rows|frequency \(right\)|not drawn): ([\d,]+)$", t)] if m]
    assert sum(parts) == read and len(parts) >= 3
    assert "200 years" in texts
    assert f"{read} terms of pair {i}-{j}" in done.stdout

    png = tmp_path / "spectrum.png"
    assert run_plot("spectrum", sample, i, j, "-o", png, "--size", "800x500").returncode == 0
    assert png_size(png) == (800, 500)


def test_spectrum_with_one_file(sample, tmp_path):
    folder = tmp_path / "only-roho"
    folder.mkdir()
    shutil.copy(sample / "termshort" / "roho0302.txt", folder)
    done = run_plot("spectrum", folder, 3, 2, "-o", tmp_path / "s.png")
    assert done.returncode == 0, done.stderr


def test_help():
    done = run_plot("--help")
    assert done.returncode == 0 and "counts" in done.stdout and "spectrum" in done.stdout
    done = run_plot("spectrum", "--help")
    assert done.returncode == 0 and "200-year" in done.stdout


@pytest.mark.parametrize("args, words", [
    ((), "required"),
    (("draw", "."), "invalid choice"),
    (("counts", "."), "-o"),
    (("counts", ".", "-o", "x.jpg"), "must end in .png, .svg or .pdf"),
    (("counts", "no-such-folder", "-o", "x.png"), "not a folder"),
    (("counts", ".", "-o", "x.png", "--size", "big"), "WIDTHxHEIGHT"),
    (("spectrum", ".", "1", "-o", "x.png"), "required"),
    (("spectrum", ".", "9", "1", "-o", "x.png"), "1..8"),
    (("spectrum", ".", "3", "3", "-o", "x.png"), "both 3"),
    (("spectrum", ".", "one", "2", "-o", "x.png"), "invalid int"),
])
def test_bad_command_line(tmp_path, args, words):
    done = run_plot(*args, cwd=tmp_path)
    assert done.returncode == 2
    assert words in done.stderr and done.stderr.startswith("usage: pairterms-plot")
    assert not list(tmp_path.iterdir())


def test_missing_and_damaged_tables(sample, tmp_path):
    done = run_plot("counts", tmp_path, "-o", tmp_path / "c.png")
    assert done.returncode == 1 and "no count table" in done.stderr
    done = run_plot("spectrum", tmp_path, 1, 2, "-o", tmp_path / "s.png")
    assert done.returncode == 1 and "roho0102.txt nor roco0102.txt" in done.stderr

    shutil.copy(sample / "termsecul" / "roco0102.txt", tmp_path)
    bad = tmp_path / "roco0102.txt"
    bad.write_bytes(bad.read_bytes().replace(b"before", b"befor!", 1))
    done = run_plot("spectrum", tmp_path, 1, 2, "-o", tmp_path / "s.png")
    assert done.returncode == 1
    assert re.search(r"error: .*roco0102\.txt line 3: ", done.stderr)
    assert not (tmp_path / "s.png").exists()

    done = run_plot("counts", sample, "-o", tmp_path / "no-folder" / "c.png")
    assert done.returncode == 1 and "cannot write" in done.stderr


@pytest.mark.parametrize("prefix", ["/usr", "/usr/local", "/opt/pairterms"])
def test_installed_command(build, sample, tmp_path, prefix):
    """cmake --install puts the package where /usr/bin/python3 looks for it
    (Debian's folder under /usr, the versioned one elsewhere) and the
    command into bin/, where it finds the package from any prefix."""
    env = dict(os.environ, DESTDIR=str(tmp_path))
    env.pop("PYTHONPATH", None)
    subprocess.run(["cmake", "--install", build, "--component", "python", "--prefix", prefix],
                   env=env, check=True, capture_output=True)
    root = tmp_path / prefix.lstrip("/")
    versioned = f"lib/python3.{sys.version_info[1]}/dist-packages"
    folder = "lib/python3/dist-packages" if prefix == "/usr" else versioned
    assert (root / folder / "pairterms" / "reader.py").is_file()
    command = root / "bin" / "pairterms-plot"
    done = subprocess.run([command, "counts", sample / "termall", "-o", tmp_path / "c.png"],
                          env=env, capture_output=True, text=True, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert png_size(tmp_path / "c.png") == (600, 620)
