"""Rows of the usual shape read in fewer numpy operations.

_rows._chunk checks and reads a chunk of row lines field by field, some
three hundred numpy operations, and finds the first row line that is not
well formed. On a file of a thousand rows their fixed cost is most of the
work. chunk() reads the rows the programs write, in about a third of the
operations: the amplitude of 23 characters with 17 significant digits
(not 0.) and an exponent of two digits below e+16, the period in one 8-byte
word or none, no estimate column. It only checks that every row is so and
well formed: where any is not, it writes nothing and returns False, and
_rows._chunk reads the chunk (and finds the row to report). The values
are those of _rows._chunk, bit for bit.
"""

import sys

import numpy as np

from . import _columns as col
from ._fastexact import cut, split_usual, table

_U8 = np.uint8
_U64 = np.uint64

# The constants, in the order chunk() unpacks them.
_BYTES = table(_U8, [1, 9, 10, 16, 32, 43, 45, 46, 48, 49, 83, 100])
_WORDS = table(_U64, [0x3030303030303030, 0x7F7F7F7F7F7F7F7F, 0x7676767676767676,
                      0x8080808080808080, 10, 8, 0x00FF00FF00FF00FF, 100, 16,
                      0x0000FFFF0000FFFF, 10000, 32, 0xFFFFFFFF])
_DIGITS = table(_U64, [10 ** 16, 10 ** 8])
_HUNDREDTHS = table(np.int32, [10])

# q = +-e - 16 at e (e+) and e + 100 (e-) for a two-digit exponent e, and
# whether it is below 0 (indexes past 199 are of damaged rows).
_Q = np.array([e - 16 for e in range(100)] + [-e - 16 for e in range(156)], np.int64)
_Q_OK = _Q < 0
_Q_OK[200:] = False


class Plan:
    """Where chunk() finds the fields of a row line of one Layout."""

    def __init__(self, lay):
        a0 = lay.amp[0]
        fixed = list(lay.blanks) + [a0 + 2, a0 + 19]
        self.template = np.array([32] * len(lay.blanks) + [46, 101], _U8)[:, None]
        self.fixed = len(fixed)
        # After the fixed columns: sign, lead digit, exponent sign, its two
        # digits, code, NPA, NPB.
        self.columns = np.array(fixed + [a0, a0 + 1, a0 + 20, a0 + 21, a0 + 22,
                                         lay.code, lay.npa, lay.npb])
        self.frac = (a0 + 3, a0 + 19)
        self.mec, self.mar, self.amp = lay.mec, lay.mar, lay.amp
        self.period = lay.period_word


_PLANS = {}


def plan(lay):
    """The Plan of a Layout, or None when chunk() does not read its rows."""
    if lay.key not in _PLANS:
        usual = (sys.byteorder == "little" and lay.amp[1] - lay.amp[0] == 23
                 and not lay.estimates and (lay.period_word or not lay.period))
        _PLANS[lay.key] = Plan(lay) if usual else None
    return _PLANS[lay.key]


def chunk(a, p, out, dest, lo, hi, files):
    """Reads the rows of a (n x the layout's width, uint8) into out[dest]
    as _rows._chunk does when every row is of the usual shape (p: the
    layout's Plan) and well formed, and returns True; else returns False
    and writes nothing. lo, hi: the pair of each row, files: its series
    file."""
    n = len(a)
    c1, c9, c10, c16, c32, c43, c45, c46, c48, c49, c83, c100 = cut(_BYTES, n)
    g = a.T[p.columns]
    if not (g[:p.fixed] == p.template).all():
        return False
    sign, lead, esign, d1, d2, code, pa, pb = g[p.fixed:]
    neg = sign == c45
    ok = (sign == c32) | neg
    ok &= (lead - c49) < c9
    eneg = esign == c45
    ok &= (esign == c43) | eneg
    e1, e2 = d1 - c48, d2 - c48
    ok &= (e1 < c10) & (e2 < c10)
    ok &= (code | c16) == c83
    index = e1 * c10 + e2 + eneg.view(_U8) * c100
    ok &= _Q_OK.take(index)
    npa, npb = pa - c48, pb - c48
    pair = (npa == lo) & (npb == hi)
    if not pair.all():
        pair |= (files == c1) & (npa == hi) & (npb == lo)
    if not (ok & pair).all():
        return False
    # MEC and MAR: the eight four-column integers as in _columns.integers4.
    u = np.concatenate([a[:, p.mec[0]:p.mec[1]], a[:, p.mar[0]:p.mar[1]]], 1).view("<u4")
    slot = ((u * col._HASH) >> np.uint32(22)).astype(np.intp)
    if not (col._BYTE_TEXT.take(slot) == u).all():
        return False
    ints = col._BYTE_VALUE.take(slot)
    # The 16 digits after the point: two words of eight, as in _columns.decimals.
    f0, f1 = p.frac
    x = np.ascontiguousarray(a[:, f0:f1]).view("<u8").ravel()
    (zeros8, low7, add76, high, w10, w8, mask8, w100, w16, mask16, w10000, w32,
     mask32) = cut(_WORDS, 2 * n)
    x = x ^ zeros8
    bad = ((x & low7) + add76) | x
    bad &= high
    if bad.any():
        return False
    x = (x * w10 + (x >> w8)) & mask8
    x = (x * w100 + (x >> w16)) & mask16
    x = (x * w10000 + (x >> w32)) & mask32
    e16, e8 = cut(_DIGITS, n)
    m = (lead - c48).astype(_U64) * e16 + x[0::2] * e8 + x[1::2]
    period = None
    if p.period:
        period = _period(a, p.period, (c10, c32, c45, c46, c48))
        if period is None:
            return False
    amp, amp_lo = split_usual(m, _Q.take(index), neg)
    out["npa"][dest] = npa
    out["npb"][dest] = npb
    out["amp"][dest] = amp
    out["amp_lo"][dest] = amp_lo
    _texts(out, dest, a, p.amp, ~neg)
    out["mec"][dest] = ints[:, :6]
    out["mar"][dest] = ints[:, 6:]
    out["code"][dest] = code.view("S1")
    if period is not None:
        out["period"][dest] = period
    return True


def _period(a, word, constants):
    """The periods of the rows, in the 8 columns of word (as in
    _columns.fixed2_word: blanks, an optional minus, digits, the point at
    the sixth place, two digits), or None when one is not so."""
    c10, c32, c45, c46, c48 = constants
    t = np.ascontiguousarray(a[:, word[0]:word[1]].T)
    d = t - c48
    digit = d < c10
    head = t[:5]
    blank = head == c32
    minus = head == c45
    either = blank | minus
    # Each place before the point a blank, a minus or a digit; no blank or
    # minus after another character; digits next to the point.
    if not ((either | digit[:5]).all() and not (~blank[:4] & either[1:]).any()
            and (digit[4] & digit[6] & digit[7] & (t[5] == c46)).all()):
        return None
    d *= digit
    (ten,) = cut(_HUNDREDTHS, len(a))
    h = d[0].astype(np.int32)
    for k in (1, 2, 3, 4, 6, 7):
        h *= ten
        h += d[k]
    value = h.astype(np.float64) / 100.0
    np.negative(value, out=value, where=minus.any(0))
    return value


def _texts(out, dest, a, amp, positive):
    """The amplitude texts into out["amp_text"][dest], the sign place of a
    positive value left out (as _rows._texts)."""
    a0, a1 = amp
    texts = a[:, a0:a1].copy().view(f"S{a1 - a0}").ravel()
    texts[positive] = np.ascontiguousarray(a[positive, a0 + 1:a1]).view(f"S{a1 - a0 - 1}").ravel()
    out["amp_text"][dest] = texts
