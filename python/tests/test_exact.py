"""amp + amp_lo against an exact reading of every amplitude text: the
conformance sets, the sample with the rare forms, and generated values
at the edges of float64's range and near rounding boundaries."""

import glob
import os
import random
from fractions import Fraction

import numpy as np
import pytest

from conftest import DATA

import pairterms
from pairterms import _columns, _exact

TINY = 2.0 ** -1022
EXT_MIN_EXP, EXT_MAX = -16445, Fraction(2 ** 64 - 1) * Fraction(2) ** (16383 - 63)


def extended(text):
    """The extended value nearest to the decimal text (ties to even), as a
    Fraction; None beyond the extended range. Independent of the package."""
    v = Fraction(text)
    if v == 0:
        return Fraction(0)
    mag = abs(v)
    e = mag.numerator.bit_length() - mag.denominator.bit_length()
    if Fraction(2) ** e > mag:
        e -= 1
    quantum = Fraction(2) ** max(e - 63, EXT_MIN_EXP)
    scaled = mag / quantum
    whole = scaled.numerator // scaled.denominator
    rest = scaled - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2):
        whole += 1
    ext = whole * quantum
    if ext > EXT_MAX:
        return None
    return ext if v > 0 else -ext


def check_pair(text, hi, lo):
    """hi is the float64 nearest to the text; hi + lo is its extended value
    exactly where that lies in [2^-958, 2^1024) and hi is finite; else lo is
    0, or (between 2^-1022 and 2^-958) the difference rounded."""
    ext = extended(text)
    want_hi = float(Fraction(text)) if abs(Fraction(text)) < 2 ** 1024 - 2 ** 970 else np.inf
    want_hi = np.copysign(want_hi, -1.0 if text.startswith("-") else 1.0)
    assert np.float64(hi).view(np.int64) == np.float64(want_hi).view(np.int64), text
    if not np.isfinite(hi) or abs(ext) < TINY:
        assert lo == 0, text
    elif abs(ext) >= 2.0 ** -958:
        assert Fraction(hi) + Fraction(lo) == ext, text
    else:
        assert lo == float(ext - Fraction(hi)), text


def rows_of(path):
    return pairterms.read_pair(path)[0]


PAIR_FILES = sorted(glob.glob(os.path.join(DATA, "*", "expected", "*", "ro??[0-9]*.txt")))


def test_every_row_of_the_conformance_sets():
    seen = 0
    for path in PAIR_FILES:
        rows = rows_of(path)
        texts = [t.decode() for t in rows["amp_text"]]
        for text, hi, lo in zip(texts, rows["amp"], rows["amp_lo"]):
            check_pair(text, hi, lo)
        seen += len(rows)
    assert seen > 1000


def test_every_row_of_the_sample_with_extreme_exponents(sample):
    for program in ("termshort", "termsecul", "termall"):
        for path in sorted((sample / program).glob("ro??[0-9]*.txt")):
            rows = rows_of(path)
            for text, hi, lo in zip(rows["amp_text"], rows["amp"], rows["amp_lo"]):
                check_pair(text.decode(), hi, lo)


def _texts(values):
    out = []
    for sign, digits, exp in values:
        d = f"{digits:017d}"
        out.append(f"{sign}{d[0]}.{d[1:]}e{exp:+03d}")
    return out


def generated_texts():
    rnd = random.Random(7)
    values = []
    for _ in range(6000):                               # anywhere
        values.append((rnd.choice(" -"), rnd.randrange(10 ** 16, 10 ** 17), rnd.randint(-330, 330)))
    for e in (-308, -307, -305, -304, -290, -289, 306, 307, 308):      # edges of float64
        for _ in range(150):
            values.append((" ", rnd.randrange(10 ** 16, 10 ** 17), e))
    for _ in range(3000):                               # exact products: 10^Q within 128 bits
        zeros = 10 ** rnd.randint(0, 12)
        values.append((" ", rnd.randrange(10 ** 16, 10 ** 17) // zeros * zeros, rnd.randint(16, 60)))
    texts = _texts(values)
    # Halves between neighbouring extended and float64 values, and their
    # neighbours, as 17 digits where they need no more.
    for _ in range(3000):
        x = Fraction(rnd.randrange(2 ** 63, 2 ** 64) * 2 + 1, 2) * Fraction(2) ** rnd.randint(-100, 100)
        texts.append(f"{float(x):.16e}")
    for k in range(0, 60):
        texts.append(f"{2 ** 64 + 2 * k + 1:.16e}")
    texts += ["0.0000000000000000e+00", "-0.0000000000000000e+00", "1.0000000000000000e+00",
              "5.0000000000000000e-01", "1.7976931348623157e+308", "1.7976931348623158e+308",
              "1.7976931348623159e+308", "2.2250738585072014e-308", "2.2250738585072011e-308",
              "4.9406564584124654e-324", "1.8446744073709551e+19", "1.8446744073709552e+19",
              "9.2233720368547758e+18", "1.0000000000000000e+23", "9.9999999999999999e+22"]
    return texts


def test_generated_values_against_an_exact_reading():
    texts = [t if t.startswith("-") else " " + t.strip() for t in generated_texts()]
    for width in sorted({len(t) for t in texts}):
        group = [t for t in texts if len(t) == width]
        a = np.frombuffer("".join(group).encode(), np.uint8).reshape(len(group), width)
        hi, lo, beyond, ok = _columns.pairs(a, np.ascontiguousarray(a.T))
        assert ok.all() and not beyond.any()
        for text, h, low in zip(group, hi, lo):
            check_pair(text.strip(), h, low)


def test_fast_way_and_exact_way_agree():
    # The vectorised rounding against the one done with Python integers,
    # on the same values (the exact way is the fallback of the other).
    rnd = random.Random(11)
    m = np.array([rnd.randrange(10 ** 16, 10 ** 17) for _ in range(20000)], np.uint64)
    q = np.array([rnd.randint(-345, 300) for _ in range(20000)], np.int64)
    neg = np.array([rnd.random() < 0.5 for _ in range(20000)])
    hi, lo, slow = _exact.split(m, q, neg)
    assert slow.mean() < 0.2
    for r in np.flatnonzero(~slow):
        h, low, _ = _exact.exact_pair(int(m[r]), int(q[r]), bool(neg[r]))
        assert (h, low) == (hi[r], lo[r]), (m[r], q[r])


def test_exact_amplitudes_give_the_text_and_the_extended_value(sample):
    rows = rows_of(sample / "termall" / "robo0201.txt")
    texts, values = pairterms.exact_amplitudes(rows)
    assert texts[0] == rows["amp_text"][0].decode()
    if not pairterms.exact.LONGDOUBLE_IS_X87:
        assert values is None
        pytest.skip("numpy's longdouble is not the x87 type here")
    for text, value in zip(texts, values):
        ext = extended(text)
        got = Fraction(*[int(x) for x in np.longdouble(value).as_integer_ratio()])
        assert got == ext, text
