"""Numbers read from fixed columns of many lines at once.

Each function takes a 2-D uint8 array, one line per row, sliced to the
columns of a field, and returns the values of every row; those that check
the field's form say which rows are well formed.
"""

import re

import numpy as np

_U64 = np.uint64


def digits(a):
    """True for the rows of a whose bytes are all digits."""
    return ((a - np.uint8(48)) < 10).all(1)


_STATE = np.full(256, 9, np.uint8)      # blank 0, minus 1, digit 2, other 9
_STATE[32], _STATE[45], _STATE[48:58] = 0, 1, 2


def integers(f):
    """A right-aligned integer in every row of f (any width): blanks, an
    optional minus, at least one digit. Returns (int64 values, ok)."""
    st = _STATE[f]
    minus = st == 1
    ok = ((st[:, -1] == 2) & (st <= 2).all(1)
          & (st[:, 1:] >= st[:, :-1]).all(1) & (minus.sum(1) <= 1))
    d = (f - np.uint8(48)).astype(np.int64)
    d[d > 9] = 0
    mag = np.zeros(len(f), np.int64)
    for c in range(f.shape[1]):
        mag = mag * 10 + d[:, c]
    return np.where(minus.any(1), -mag, mag), ok


# A four-column integer, right-aligned: blanks, an optional minus, digits.
# Each half of it (two characters, as a little-endian uint16) has a code
# below 128; a table over the pairs of codes gives the value.
BAD = np.int16(-32768)


def _half_codes(forms):
    codes = np.full(65536, 127, np.uint8)
    texts = []
    for form in forms:
        choices = [" " if c == "b" else "-" if c == "m" else "0123456789" for c in form]
        texts += [c0 + c1 for c0 in choices[0] for c1 in choices[1]]
    for code, text in enumerate(texts):
        codes[ord(text[0]) | ord(text[1]) << 8] = code
    return codes, texts


_HEAD, _HEADS = _half_codes(("bb", "bm", "bd", "md", "dd"))
_TAIL, _TAILS = _half_codes(("bd", "md", "dd"))


def _value_table(low, high):
    table = np.full(128 * 128, BAD, np.int16)
    for h, head in enumerate(_HEADS):
        for t, tail in enumerate(_TAILS):
            text = head + tail
            if re.fullmatch(r" *-?\d+", text) and low <= int(text) <= high:
                table[h * 128 + t] = int(text)
    return table


_VALUE_BYTE = _value_table(-128, 127)      # MEC, MAR
_VALUE_ANY = _value_table(-999, 9999)


def integers4(a, byte=True):
    """The four-column integers side by side in a (n x 4m bytes). Returns
    int16 values (n x m) with -32768 where a field is not an integer, or
    (byte) not in -128..127."""
    u = a.view("<u2").reshape(len(a), -1, 2)
    key = _HEAD[u[..., 0]].astype(np.int16) * 128 + _TAIL[u[..., 1]]
    return (_VALUE_BYTE if byte else _VALUE_ANY)[key]


# --- amplitudes ------------------------------------------------------------

_POW10_LOW = -360
_POW10 = np.array([np.longdouble(f"1e{k}") for k in range(_POW10_LOW, 330)])
_SMALLEST_NORMAL = 2.2250738585072014e-308
# The way below needs the x86 80-bit extended type (64-bit significand).
_EXTENDED = np.finfo(np.longdouble).nmant == 63 and np.longdouble().itemsize == 16


def _eight_digits(v):
    """The numbers written by eight ASCII digits held in each uint64."""
    v = v - _U64(0x3030303030303030)
    v = (v * _U64(10) + (v >> _U64(8))) & _U64(0x00FF00FF00FF00FF)
    v = (v * _U64(100) + (v >> _U64(16))) & _U64(0x0000FFFF0000FFFF)
    return (v * _U64(10000) + (v >> _U64(32))) & _U64(0xFFFFFFFF)


def amplitudes(text):
    """float64 values, correctly rounded, of amplitude texts
    's0.1234567890123456e+dd' (s a blank or '-', two exponent digits or
    more), one per row of text; the rows must have that form.

    The 17 digits make an exact integer M; M times 10^(E-16), the power of
    ten taken as the nearest 80-bit extended value, is within two units in
    the last place of the extended product. Rounding it to float64 gives
    the correctly rounded value unless it lies that close to a point half
    way between two float64 values; those few rows, and values outside the
    normal float64 range, are converted from their text.
    """
    n, width = text.shape
    if not _EXTENDED:
        return np.ascontiguousarray(text).view(f"S{width}").ravel().astype(np.float64)
    frac = np.ascontiguousarray(text[:, 3:19]).view("<u8")
    m = ((text[:, 1] - np.uint8(48)).astype(_U64) * _U64(10 ** 16)
         + _eight_digits(frac[:, 0]) * _U64(10 ** 8) + _eight_digits(frac[:, 1]))
    e = np.zeros(n, np.int64)
    for c in range(21, width):
        e = e * 10 + (text[:, c] - np.uint8(48))
    k = np.where(text[:, 20] == 45, -e, e) - 16 - _POW10_LOW
    inside = (k >= 0) & (k < len(_POW10))
    x = m.astype(np.longdouble) * _POW10[np.where(inside, k, 0)]
    with np.errstate(over="ignore"):
        v = x.astype(np.float64)
    # The 11 bits that rounding to float64 drops: near 0x400 is near half way.
    dropped = (x.view(_U64).reshape(n, -1)[:, 0] & _U64(0x7FF)).astype(np.int64)
    hard = ((np.abs(dropped - 0x400) <= 8) | ~inside
            | ~(np.abs(v) >= _SMALLEST_NORMAL)) & (m != 0)
    if hard.any():
        v[hard] = np.ascontiguousarray(text[hard, 1:]).view(
            f"S{width - 1}").ravel().astype(np.float64)
    return np.where(text[:, 0] == 45, -v, v)


def unsigned_left(text):
    """The texts of the rows of text as bytes, one blank at their start
    taken away (the sign place of a positive value): rows of 8-byte words,
    each row moved one byte left where it starts with a blank."""
    n, width = text.shape
    buf = np.zeros((n, (width + 7) // 8 * 8), np.uint8)
    buf[:, :width] = text
    words = buf.view("<u8")
    moved = words >> _U64(8)
    moved[:, :-1] |= words[:, 1:] << _U64(56)
    return np.where(text[:, :1] == 32, moved, words).view(f"S{buf.shape[1]}").ravel()


def fixed2(f):
    """Numbers with two decimals right-aligned in f ('  -12.34'). Returns
    (float64 values, correctly rounded; ok)."""
    whole = f[:, :-3]
    if whole.shape[1] == 4:
        value = integers4(whole, byte=False)[:, 0].astype(np.int64)
        ok = value != BAD
    else:
        value, ok = integers(whole)
    ok &= (f[:, -3] == 46) & digits(f[:, -2:])
    hundredths = (np.abs(value) * 100 + (f[:, -2] - np.uint8(48)) * 10
                  + (f[:, -1] - np.uint8(48)))
    result = hundredths / 100.0         # one rounding of the exact quotient
    return np.where((whole == 45).any(1), -result, result), ok
