"""The columns of a row line, and numbers read from fixed columns of many
lines at once.

ROW_COLUMNS is the one table of the row line's layout (docs/FORMATS.md
section 3, and section 7 for the estimate): every reader of row lines takes
its columns from it. The functions take 2-D uint8 arrays, one line per row,
sliced to the columns of a field, and return the values of every row; those
that check the field's form say which rows are well formed.
"""

from typing import NamedTuple

import numpy as np

from . import _exact

_U64 = np.uint64
_U32 = np.uint32


class Column(NamedTuple):
    """Columns first..last (counted from 1) of a row line whose fields all
    fit, and what they hold."""
    name: str
    first: int
    last: int
    kind: str       # planet, blank, amplitude, int, code, period, estimate


def _integers(part, first):
    return tuple(Column(f"{part}{k + 1}", first + 4 * k, first + 4 * k + 3, "int")
                 for k in range(6))


#: The row line of every program, up to its code letter.
ROW_COLUMNS = (
    Column("npa", 1, 3, "planet"),
    Column("npb", 4, 6, "planet"),
    Column("gap", 7, 7, "blank"),
    Column("amp", 8, 31, "amplitude"),      # blank, sign, d.(16 digits), e, sign, 2 digits
    Column("gap", 32, 32, "blank"),
    *_integers("mec", 33),
    Column("gap", 57, 57, "blank"),
    *_integers("mar", 58),
    Column("gap", 82, 83, "blank"),
    Column("code", 84, 84, "code"),
)
#: After the code: the period (programs with a period column, its width
#: from programs.tsv), then the estimate (section 7), each after two blanks.
PERIOD_GAP = 2
ESTIMATE_WIDTH = 24             # two blanks, then d.(16 digits)e+dd, or none/inf


def row_columns(period_width, estimates=False):
    """The columns of a row line with a period of period_width (0: none)
    and with or without the estimate column."""
    cols = list(ROW_COLUMNS)
    end = cols[-1].last
    if period_width:
        cols += [Column("gap", end + 1, end + PERIOD_GAP, "blank"),
                 Column("period", end + PERIOD_GAP + 1, end + PERIOD_GAP + period_width, "period")]
        end = cols[-1].last
    if estimates:
        cols.append(Column("est", end + 1, end + ESTIMATE_WIDTH, "estimate"))
    return tuple(cols)


def column(name, cols=ROW_COLUMNS):
    """The Column of that name."""
    return next(c for c in cols if c.name == name)


# --- integers --------------------------------------------------------------

def digits(a):
    """True for the rows of a whose bytes are all digits."""
    return ((a - np.uint8(48)) < 10).all(1)


_STATE = np.full(256, 9, np.uint8)      # blank 0, minus 1, digit 2, other 9
_STATE[32], _STATE[45], _STATE[48:58] = 0, 1, 2


def integers(f):
    """A right-aligned integer in every row of f (at most 18 columns):
    blanks, an optional minus, at least one digit. Returns (int64 values,
    ok)."""
    assert f.shape[1] <= 18
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


# A four-column integer of -128..127 as written (' -12', '-128'): its four
# bytes as a little-endian uint32, hashed by a multiplication into a table
# of 1024 slots, each holding the text it belongs to, a mark and the value.
_HASH = _U32(984264357)


def _byte_table():
    table = np.zeros(1024, _U64)
    for v in range(-128, 128):
        text = int.from_bytes(f"{v:4d}".encode(), "little")
        slot = ((text * int(_HASH)) & 0xFFFFFFFF) >> 22
        assert table[slot] == 0
        table[slot] = text | (v + 128) << 32 | 1 << 40
    return table


_BYTE_TABLE = _byte_table()
BAD = np.int16(-32768)


def integers4(a):
    """The four-column integers side by side in a (n x 4m bytes, the rows
    contiguous). Returns int16 values (n x m), -32768 where a field is not
    an integer of -128..127 written right-aligned."""
    u = np.ascontiguousarray(a).view("<u4")
    entry = _BYTE_TABLE[(u * _HASH) >> _U32(22)]
    ok = (entry & _U64(0xFFFFFFFF | 1 << 40)) == (u.astype(_U64) | _U64(1 << 40))
    value = (entry >> _U64(32)).astype(np.int16) - 128 - 256
    return np.where(ok, value, BAD)


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


def decimals(f, signs=b" -"):
    """Texts 'sd.dddddddddddddddde+xx' (s one of signs, the exponent two
    digits or more) in the rows of f. Returns (m, q, neg, ok): the value is
    (-1)^neg * m * 10^q, m the 17 digits. An exponent of more than 6 digits
    is read as +-10^7 (beyond the extended range either way)."""
    n, width = f.shape
    frac = np.ascontiguousarray(f[:, 3:19]).view("<u8")
    hi8, ok_hi = _eight_digits(frac[:, 0])
    lo8, ok_lo = _eight_digits(frac[:, 1])
    lead = f[:, 1] - np.uint8(48)
    sign, esign = f[:, 0], f[:, 20]
    ok = ok_hi & ok_lo & (lead < 10) & (f[:, 2] == 46) & (f[:, 19] == 101) & ((esign == 43) | (esign == 45))
    ok &= (sign == signs[0]) | (sign == signs[-1])
    m = lead.astype(_U64) * _U64(10 ** 16) + hi8 * _U64(10 ** 8) + lo8
    exp_digits = f[:, 21:] - np.uint8(48)
    ok &= (exp_digits < 10).all(1)
    if width - 21 <= 6:
        e = np.zeros(n, np.int64)
        for c in range(width - 21):
            e = e * 10 + exp_digits[:, c]
    else:
        e = np.array([min(int(bytes(r).lstrip(b"0")[:8] or b"0"), 10 ** 7)
                      if len(bytes(r).lstrip(b"0")) <= 7 else 10 ** 7
                      for r in (exp_digits + np.uint8(48))], np.int64)
    q = np.where(esign == 45, -e, e) - 16
    return m, q, sign == 45, ok


def pairs(f, signs=b" -"):
    """The numbers of decimals(f) as (hi, lo, beyond, ok): hi the float64
    nearest to each, hi + lo the nearest extended value (section 1; lo 0
    outside float64's normal range), beyond those past the extended range."""
    m, q, neg, ok = decimals(f, signs)
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
    return pairs(text)[0]


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


def fixed2(f):
    """Numbers with two decimals right-aligned in f ('  -12.34'). Returns
    (float64 values, correctly rounded; ok; beyond: past the extended
    range)."""
    n, width = f.shape
    whole = f[:, :-3]
    ok = (f[:, -3] == 46) & digits(f[:, -2:])
    beyond = np.zeros(n, bool)
    if whole.shape[1] <= 13:           # hundredths below 2^53
        value, whole_ok = integers(whole)
        ok &= whole_ok
        hundredths = (np.abs(value) * 100 + (f[:, -2] - np.uint8(48)) * 10
                      + (f[:, -1] - np.uint8(48)))
        result = hundredths / 100.0         # one rounding of the exact quotient
        return np.where((whole == 45).any(1), -result, result), ok, beyond
    # Wider than a float64 holds exactly: one at a time.
    _, whole_ok = _wide_integers(whole)
    ok &= whole_ok
    result = np.zeros(n)
    for r in np.flatnonzero(ok):
        v = _period_value(bytes(f[r]).strip())
        if v is None:
            beyond[r] = True
        else:
            result[r] = v
    return result, ok, beyond


def _wide_integers(f):
    """integers() for fields of any width: (None, ok)."""
    st = _STATE[f]
    minus = st == 1
    ok = ((st[:, -1] == 2) & (st <= 2).all(1)
          & (st[:, 1:] >= st[:, :-1]).all(1) & (minus.sum(1) <= 1))
    return None, ok
