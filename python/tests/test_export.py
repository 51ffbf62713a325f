"""The rows taken to pandas, astropy and FITS and back, bit for bit, over
every row of the conformance sets; the package without those modules."""

import os
import re
import shutil
import subprocess
import sys
import warnings

import numpy as np
import pytest

import pairterms
from conftest import DATA, PYTHON_DIR
from exportdata import REQUIRED, conformance_sets, rebuild, same_rows, with_amp_lo

SETTINGS = {
    "termshort": {"program": "termshort", "version": "1.0.0", "threshold": "1.0E-16",
                  "period-cut": "200", "max-order": "8"},
    "termall": {"program": "termall", "version": "1.0.0", "threshold": "1e-12",
                "order-bound": "10", "estimates": "yes", "new-setting": "7"},
}


def need(module):
    """The module, or a skip (a failure when run by tools/run-tests)."""
    try:
        return __import__(module, fromlist=["_"])
    except ImportError:
        if REQUIRED:
            pytest.fail(f"{module} is missing (tools/deps.sh installs it)")
        pytest.skip(f"no {module}")


@pytest.fixture(scope="module")
def sets():
    return conformance_sets()


def test_pandas_round_trip(sets):
    need("pandas")
    for name, programs in sets.items():
        for program, rows in programs.items():
            frame = pairterms.to_pandas(rows, settings=SETTINGS.get(program), program=program)
            assert list(frame.columns[:2]) == ["i", "j"] and "mec6" in frame and "mar1" in frame
            for column in ("i", "j", "npa", "npb", "file"):
                assert frame[column].dtype == np.uint8, column
            assert frame["mec1"].dtype == np.int16 and frame["amp_text"].dtype == object
            assert frame.attrs["program"] == program
            assert frame.attrs["settings"] == SETTINGS.get(program, {})
            assert frame.attrs["version"] == pairterms.__version__
            back = rebuild({c: frame[c].to_numpy() for c in frame.columns}, rows.dtype)
            same_rows(back, rows)


def test_astropy_round_trip(sets):
    need("astropy")
    import astropy.units as u
    for name, programs in sets.items():
        for program, rows in programs.items():
            table = pairterms.to_table(rows, settings=SETTINGS.get(program), program=program)
            assert table.meta["program"] == program
            assert table.meta["version"] == pairterms.__version__
            assert table.meta.get("settings", {}) == SETTINGS.get(program, {})
            if "period" in rows.dtype.names:
                assert table["period"].unit == u.yr
            for column in ("mec1", "mar6", "npa", "i"):
                assert table[column].dtype.kind in "iu" and table[column].ndim == 1
            back = rebuild({c: np.asarray(table[c]) for c in table.colnames}, rows.dtype)
            same_rows(back, rows)


def test_pair_with_its_info():
    """read_pair's rows carry no i and j: they come from the PairInfo."""
    need("astropy")
    path = os.path.join(DATA, "tiny", "expected", "termshort", "roho0201.txt")
    rows, info = pairterms.read_pair(path)
    table = pairterms.to_table(rows, info)
    assert table.colnames[:3] == ["i", "j", "line"] and set(table["i"]) == {2}
    assert table.meta["program"] == "termshort"
    with pytest.raises(ValueError, match="i and j"):
        pairterms.write_fits(os.devnull, rows)


def _fits_files(tmp_path, sets):
    paths = {}
    for name, programs in sets.items():
        path = tmp_path / f"{name}.fits"
        written = pairterms.write_fits(path, programs, settings=SETTINGS)
        assert written == [p.upper() for p in programs]
        paths[name] = path
    return paths


def test_fits_passes_fitsverify(sets, tmp_path):
    need("astropy")
    if not shutil.which("fitsverify"):
        if REQUIRED:
            pytest.fail("fitsverify is missing (tools/deps.sh installs it)")
        pytest.skip("no fitsverify")
    for path in _fits_files(tmp_path, sets).values():
        done = subprocess.run(["fitsverify", str(path)], capture_output=True, text=True)
        assert "0 warning(s) and 0 error(s)" in done.stdout, done.stdout[-2000:]
        assert done.returncode == 0


def test_fits_round_trip_astropy(sets, tmp_path):
    need("astropy")
    from astropy.io import fits
    for name, path in _fits_files(tmp_path, sets).items():
        with warnings.catch_warnings():
            warnings.simplefilter("error")       # a wrong checksum is a warning
            hdus = fits.open(path, checksum=True)
        with hdus:
            assert hdus[0].header["PTVERS"] == pairterms.__version__
            assert [h.name for h in hdus[1:]] == [p.upper() for p in sets[name]]
            for hdu in hdus[1:]:
                program = hdu.name.lower()
                rows, header = sets[name][program], hdu.header
                assert header["PROGRAM"] == program and header["PTVERS"] == pairterms.__version__
                assert all(len(k) <= 8 for k in header) and "HIERARCH" not in str(header)
                if program == "termall":
                    assert (header["THRESHLD"], header["ORDBOUND"], header["ESTIMATE"],
                            header["SETTNG1"]) == ("1e-12", "10", "yes", "new-setting 7")
                if "period" in rows.dtype.names:
                    unit = hdu.columns[hdu.columns.names.index("period")].unit
                    assert unit == "yr"
                assert hdu.columns["amp"].format == "D" and hdu.columns["amp_lo"].format == "D"
                data = hdu.data
                same_rows(rebuild({c: data[c] for c in data.names}, rows.dtype), rows)


def test_fits_round_trip_fitsio(sets, tmp_path):
    need("astropy")
    fitsio = need("fitsio")
    for name, path in _fits_files(tmp_path, sets).items():
        for program, rows in sets[name].items():
            data, header = fitsio.read(str(path), ext=program.upper(), header=True)
            assert header["PROGRAM"] == program
            columns = {c: data[c] for c in data.dtype.names}
            same_rows(rebuild(columns, rows.dtype), rows)


def test_fits_keeps_extreme_values(tmp_path):
    """-0, beyond float64 either way, wide exponents: the bits and the
    texts come back."""
    astropy = need("astropy")
    from astropy.io import fits
    texts = [b"-0.0000000000000000e+00", b"1.0000000000000000e-120",
             b"1.5000000000000000e+400", b"-2.5000000000000000e-4000",
             b"1.0000000000000000e-310", b"1.2345678901234568e-01"]
    rows = np.zeros(len(texts), [("i", "u1"), ("j", "u1"), ("line", "u4"), ("amp", "f8"),
                                 ("amp_text", "S24"), ("mec", "i2", (6,)), ("code", "S1")])
    rows["amp"] = [float(t) for t in texts]
    rows["amp_text"] = texts
    rows["line"] = [1, 2, 3, 2**31, 2**32 - 1, 7]
    rows["mec"][:, 0] = [-128, 127, 0, 1, -1, 5]
    rows = with_amp_lo(rows)
    assert np.signbit(rows["amp"][0])
    path = tmp_path / "x.fits"
    pairterms.write_fits(path, {"termall": rows})
    with fits.open(path) as hdus:
        same_rows(rebuild({c: hdus[1].data[c] for c in hdus[1].data.names}, rows.dtype), rows)
    with pytest.raises(OSError):
        pairterms.write_fits(path, {"termall": rows})
    again = tmp_path / "again.fits"
    pairterms.write_fits(again, {"termall": rows})
    assert again.read_bytes() == path.read_bytes()
    assert astropy


BLOCKER = """
import sys
HIDDEN = {"pandas", "astropy", "fitsio"}
class Hide:
    def find_spec(self, name, path=None, target=None):
        if name.split(".")[0] in HIDDEN:
            raise ModuleNotFoundError(f"No module named {name!r}")
        return None
sys.meta_path.insert(0, Hide())
sys.path.insert(0, PYTHON_DIR)
import pairterms
from pairterms.plot import main
rows, info = pairterms.read_pair(PAIR)
assert len(rows) > 0 and info.closed
assert main(["counts", FOLDER, "-o", OUTPUT]) == 0
for call, package in ((lambda: pairterms.to_pandas(rows, info), "python3-pandas"),
                      (lambda: pairterms.to_table(rows, info), "python3-astropy"),
                      (lambda: pairterms.write_fits(OUTPUT + ".fits", rows, info), "python3-astropy")):
    try:
        call()
    except ImportError as e:
        assert f"apt-get install {package}" in str(e), str(e)
        print("refused:", e)
    else:
        raise SystemExit(f"no ImportError naming {package}")
loaded = sorted(m for m in sys.modules if m.split(".")[0] in HIDDEN)
assert not loaded, loaded
"""


def test_without_pandas_astropy_fitsio(tmp_path):
    folder = os.path.join(DATA, "tiny", "expected", "termsecul")
    setup = (f"PYTHON_DIR = {PYTHON_DIR!r}\nPAIR = {os.path.join(folder, 'roco0605.txt')!r}\n"
             f"FOLDER = {folder!r}\nOUTPUT = {str(tmp_path / 'c.png')!r}\n")
    done = subprocess.run([sys.executable, "-c", setup + BLOCKER], capture_output=True,
                          text=True, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    refusals = re.findall(r"^refused: (.*)$", done.stdout, re.M)
    assert len(refusals) == 3
    assert "to_pandas needs pandas" in refusals[0]
    assert (tmp_path / "c.png").stat().st_size > 0
