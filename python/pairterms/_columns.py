"""Numbers read from fixed columns of many lines at once.

The functions take 2-D uint8 arrays, one line per row, sliced to the
columns of a field (rows x columns, and the same transposed where they read
single columns), and return the values of every row; those that check the
field's form say which rows are well formed.
"""

import re

import numpy as np

from . import _exact

_U64 = np.uint64
_U32 = np.uint32


# --- integers --------------------------------------------------------------

def digits(t):
    """True for the rows whose bytes in the columns of t (columns x rows)
    are all digits."""
    ok = np.ones(t.shape[1], bool)
    for c in range(len(t)):
        ok &= (t[c] - np.uint8(48)) < 10
    return ok


def integers(t):
    """A right-aligned integer in the columns of t (columns x rows, at most
    18 columns): blanks, an optional minus, at least one digit. Returns
    (int64 values, ok). Column by column: no blank after the first other
    character, a minus only first, digits after it."""
    assert len(t) <= 18
    n = t.shape[1]
    ok = np.ones(n, bool)
    seen = np.zeros(n, bool)
    neg = np.zeros(n, bool)
    mag = np.zeros(n, np.int64)
    for c in range(len(t)):
        ch = t[c]
        d = ch - np.uint8(48)
        digit = d < 10
        blank = ch == 32
        minus = ch == 45
        ok &= (digit | blank | minus) & ~(seen & (blank | minus))
        neg |= minus
        mag = mag * 10 + np.where(digit, d, 0)
        seen |= ~blank
    ok &= (t[-1] - np.uint8(48)) < 10
    return np.where(neg, -mag, mag), ok


# A four-column integer of -128..127 as written (' -12', '-128'): its four
# bytes as a little-endian uint32, hashed by a multiplication into a table
# of 1024 slots, each holding the text it belongs to and its value. An empty
# slot holds the text of 0, which belongs to another slot, so that nothing
# that lands there matches.
_HASH = _U32(984264357)


def _byte_table():
    texts = np.full(1024, int.from_bytes(b"   0", "little"), _U32)
    values = np.zeros(1024, np.int16)
    used = set()
    for v in range(-128, 128):
        text = int.from_bytes(f"{v:4d}".encode(), "little")
        slot = ((text * int(_HASH)) & 0xFFFFFFFF) >> 22
        assert slot not in used
        used.add(slot)
        texts[slot], values[slot] = text, v
    return texts, values


_BYTE_TEXT, _BYTE_VALUE = _byte_table()


def integers4(a):
    """The four-column integers side by side in a (n x 4m bytes). Returns
    (int16 values (n x m), ok): ok the rows whose every field is an integer
    of -128..127 written right-aligned."""
    u = np.ascontiguousarray(a).view("<u4")
    slot = ((u * _HASH) >> _U32(22)).astype(np.intp)
    bad = _BYTE_TEXT.take(slot) != u
    m = bad.shape[1]
    if m % 4 == 0:
        words = bad.view("<u4")         # four fields a word
        any_bad = words[:, 0] != 0
        for c in range(1, m // 4):
            any_bad |= words[:, c] != 0
    else:
        any_bad = bad.any(1)
    return _BYTE_VALUE.take(slot), ~any_bad


# --- amplitudes ------------------------------------------------------------

_ZEROS8 = _U64(0x3030303030303030)


def _eight_digits(v):
    """The numbers written by eight ASCII digits held in each uint64, and
    whether they are all digits."""
    x = v ^ _ZEROS8
    bad = (((x & _U64(0x7F7F7F7F7F7F7F7F)) + _U64(0x7676767676767676)) | x) & _U64(0x8080808080808080)
    x = (x * _U64(10) + (x >> _U64(8))) & _U64(0x00FF00FF00FF00FF)
    x = (x * _U64(100) + (x >> _U64(16))) & _U64(0x0000FFFF0000FFFF)
    return (x * _U64(10000) + (x >> _U64(32))) & _U64(0xFFFFFFFF), bad == 0


def decimals(f, t, signs=b" -"):
    """Texts 'sd.dddddddddddddddde+xx' (s one of signs, the exponent two
    digits or more) in the rows of f (rows x columns; t: the same columns x
    rows). Returns (m, q, neg, ok): the value is (-1)^neg * m * 10^q, m the
    17 digits. An exponent of more than 6 digits is read as +-10^7 (beyond
    the extended range either way)."""
    width, n = t.shape
    frac = np.ascontiguousarray(f[:, 3:19]).view("<u8")
    eights, ok8 = _eight_digits(frac)
    hi8, lo8, ok_hi, ok_lo = eights[:, 0], eights[:, 1], ok8[:, 0], ok8[:, 1]
    lead = t[1] - np.uint8(48)
    sign, esign = t[0], t[20]
    ok = (ok_hi & ok_lo & (lead < 10) & (t[2] == 46) & (t[19] == 101)
          & ((esign == 43) | (esign == 45)) & ((sign == signs[0]) | (sign == signs[-1])))
    m = lead.astype(_U64) * _U64(10 ** 16) + hi8 * _U64(10 ** 8) + lo8
    if width - 21 <= 6:
        e = np.zeros(n, np.int64)
        for c in range(21, width):
            d = t[c] - np.uint8(48)
            ok &= d < 10
            e = e * 10 + d
    else:
        ok &= digits(t[21:])
        e = np.array([_long_exponent(bytes(r)) if good else 0 for r, good in zip(f[:, 21:], ok)],
                     np.int64)
    q = np.where(esign == 45, -e, e) - 16
    return m, q, sign == 45, ok


def _long_exponent(digits):
    """An exponent of many digits, at most 10^7 (past the extended range
    either way), without reading a number of any length."""
    digits = digits.lstrip(b"0")
    return int(digits) if len(digits) <= 7 else 10 ** 7


def pairs(f, t, signs=b" -"):
    """The numbers of decimals(f, t) as (hi, lo, beyond, ok): hi the float64
    nearest to each, hi + lo the nearest extended value (section 1; lo 0
    outside float64's normal range), beyond those past the extended range."""
    m, q, neg, ok = decimals(f, t, signs)
    hi, lo, slow = _exact.split(np.where(ok, m, 0), q, neg)
    beyond = np.zeros(len(m), bool)
    for r in np.flatnonzero(slow & ok):
        h, low, ext = _exact.exact_pair(int(m[r]), int(q[r]), bool(neg[r]))
        if ext is None:
            beyond[r] = True
        else:
            hi[r], lo[r] = h, low
    return hi, lo, beyond, ok


def amplitudes(text):
    """float64 values, correctly rounded, of amplitude texts
    's0.1234567890123456e+dd' (s a blank or '-'), one per row of text; the
    rows must have that form."""
    return pairs(text, np.ascontiguousarray(text.T))[0]


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


# --- periods ---------------------------------------------------------------

def _period_value(text):
    """One period's text (a decimal with two decimals) as float64, correctly
    rounded; None when it is beyond the extended range."""
    neg = text.startswith(b"-")
    body = text.lstrip(b"-").replace(b".", b"").lstrip(b"0") or b"0"
    m_digits = len(body)
    if m_digits - 2 > 4933:
        return None
    num = int(body) if m_digits <= 4000 else None
    if num is None:                     # a Python int of this length needs care
        import sys
        limit = sys.get_int_max_str_digits()
        sys.set_int_max_str_digits(0)
        try:
            num = int(body)
        finally:
            sys.set_int_max_str_digits(limit)
    if num and _exact.ext_round(num, 100) is None:
        return None
    try:
        value = num / 100
    except OverflowError:
        value = float("inf")
    return -value if neg else value


_DOT_BYTE = 5                            # '.' in an 8-byte period field


def fixed2_word(w):
    """Periods in 8-byte fields (' -123.45', right-aligned, blanks, an
    optional minus, digits, '.', two digits), each a little-endian uint64
    (first character lowest). Returns (float64 values, correctly rounded;
    ok)."""
    high = _U64(0x8080808080808080)
    x = w ^ _ZEROS8
    digit = ~((((x & _U64(0x7F7F7F7F7F7F7F7F)) + _U64(0x7676767676767676)) | x)) & high
    y = w ^ _U64(0x2020202020202020)
    blank = ~((((y & _U64(0x7F7F7F7F7F7F7F7F)) + _U64(0x7F7F7F7F7F7F7F7F)) | y)) & high
    z = w ^ _U64(0x2D2D2D2D2D2D2D2D)
    minus = ~((((z & _U64(0x7F7F7F7F7F7F7F7F)) + _U64(0x7F7F7F7F7F7F7F7F)) | z)) & high

    def full(mask):                     # 0x80 per byte -> 0xFF per byte
        return (mask >> _U64(7)) * _U64(0xFF)
    b, m, d = full(blank), full(minus), full(digit)
    dot = _U64(0xFF << 8 * _DOT_BYTE)
    ok = ((w & dot) == _U64(0x2E << 8 * _DOT_BYTE)) & (((b + _U64(1)) & b) == 0)
    ok &= (m == 0) | (m == (b + _U64(1)) * _U64(0xFF))
    ok &= (b | m | d | dot) == _U64(0xFFFFFFFFFFFFFFFF)
    ok &= (d & _U64(0xFF << 8 * (_DOT_BYTE - 1))) != 0        # a digit before the point
    # The five places before the point moved to the top: their number.
    v = ((x & d) << _U64(24))
    v = (v * _U64(10) + (v >> _U64(8))) & _U64(0x00FF00FF00FF00FF)
    v = (v * _U64(100) + (v >> _U64(16))) & _U64(0x0000FFFF0000FFFF)
    v = (v * _U64(10000) + (v >> _U64(32))) & _U64(0xFFFFFFFF)
    hundredths = v * _U64(100) + ((x >> _U64(48)) & _U64(0xFF)) * _U64(10) + (x >> _U64(56))
    result = hundredths.astype(np.float64) / 100.0
    return np.where(m != 0, -result, result), ok


def fixed2(f, t):
    """Numbers with two decimals right-aligned in the rows of f ('  -12.34';
    t: the same columns x rows). Returns (float64 values, correctly rounded;
    ok; beyond: past the extended range)."""
    width, n = t.shape
    ok = (t[-3] == 46) & digits(t[-2:])
    beyond = np.zeros(n, bool)
    if width - 3 <= 13:                  # hundredths below 2^53
        value, whole_ok = integers(t[:-3])
        ok &= whole_ok
        hundredths = (np.abs(value) * 100 + (t[-2] - np.uint8(48)) * 10
                      + (t[-1] - np.uint8(48)))
        result = hundredths / 100.0         # one rounding of the exact quotient
        return np.where(value < 0, -result, np.where(_negative(t[:-3]), -result, result)), \
            ok, beyond
    # Wider than a float64 holds exactly: one at a time.
    _, whole_ok = _wide_integers(f[:, :-3])
    ok &= whole_ok
    result = np.zeros(n)
    for r in np.flatnonzero(ok):
        v = _period_value(bytes(f[r]).strip())
        if v is None:
            beyond[r] = True
        else:
            result[r] = v
    return result, ok, beyond


def _negative(t):
    """Rows with a minus in the columns of t."""
    neg = t[0] == 45
    for c in range(1, len(t)):
        neg |= t[c] == 45
    return neg


def _wide_integers(f):
    """integers() for fields of any width, row by row: (None, ok)."""
    return None, np.array([re.fullmatch(rb" *-?[0-9]+", bytes(r)) is not None for r in f], bool)
