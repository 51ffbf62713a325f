"""_exact.split for the amplitudes the programs write, in fewer numpy
operations: M of 17 digits (10^16 <= M < 10^17) and -300 <= Q < 0, so
that every value lies well inside float64's normal range (1e-284 to 1e16)
and no power of ten is exact. The steps and the rounding are those of _exact.split (its
_product_top, then the normalisation and the two roundings), with the
cases it never meets here left out; the rows whose rounding is too close
to call are done by _exact.exact_pair, as _columns.pairs does them.
"""

import numpy as np

from . import _exact

_U64 = np.uint64
_I64 = np.int64

#: Rows of the constant tables, see cut().
ROWS = 4096


def table(dtype, values):
    """The constants of an operation's step: (scalars, table), the table one
    row of ROWS copies per value."""
    scalars = tuple(np.asarray(values, dtype))
    return scalars, np.repeat(np.asarray(values, dtype)[:, None], ROWS, axis=1)


def cut(constants, n):
    """The constants for operands of n elements: views of n of each row of
    the table, else (n above ROWS) the scalars. numpy takes a scalar
    operand at a fixed cost of about a microsecond (it is converted to an
    array and its type found each time), more than the work on a thousand
    elements; an array of the operands' length costs nothing more."""
    scalars, rows = constants
    return rows[:, :n] if n <= ROWS else scalars


# The constants of split_usual, in the order it unpacks them.
_SPLIT = table(_U64, [
    4, 11, 32, 52, 63, 0xFFFFFFFF, 1, 0x7FF, 0x400, 0x3FF, 0x800, 2,
    1 << 63, 16, (1 << 64) - 1 - 16, (1 << 63) - 16, 32,
    1082, 1022, 62])
_SPLIT_I = table(_I64, [-345, 128 + 63])

# The 128-bit powers of ten of _exact as four 32-bit limbs, indexed by Q - _Q_LOW.
_T0, _T1 = _exact._P_LO & _U64(0xFFFFFFFF), _exact._P_LO >> _U64(32)
_T2, _T3 = _exact._P_HI & _U64(0xFFFFFFFF), _exact._P_HI >> _U64(32)
_P_EXP = _exact._P_EXP


def split_usual(m, q, neg):
    """(hi, lo) of _exact.split, and of _columns.pairs after it: hi the
    float64 nearest to (-1)^neg * m * 10^q, hi + lo the extended value
    nearest to it; m (uint64) of 17 digits,
    q (int64) in -300..-1."""
    (s4, s11, s32, s52, s63, m32, one, rest_mask, half, half_below, lsb_d, two,
     top, near, ones_near, top_near, near2, shift_base, bias_d, bias_lo) = cut(_SPLIT, len(m))
    q_low, exp_base = cut(_SPLIT_I, len(m))
    # The bit length of m from the float64 exponent of m >> 4 (exact below 2^53).
    shift = shift_base - ((m >> s4).astype(np.float64).view(_U64) >> s52)
    mn = m << shift
    k = q - q_low
    a0, a1 = mn & m32, mn >> s32
    t0, t1, t2, t3 = _T0.take(k), _T1.take(k), _T2.take(k), _T3.take(k)
    w2, w1 = _exact.top_words(a0, a1, t0, t1, t2, t3, s32, m32)
    # Normalise: the top bit of w2 set.
    low = one - (w2 >> s63)
    w2 = (w2 << low) | ((w1 >> s63) & low)
    w1 = w1 << low
    lead = _P_EXP.take(k) - shift.view(_I64) + (exp_base - low.view(_I64))
    rest = w2 & rest_mask
    hard = ((w1 > ones_near) | ((w1 - top_near) < near2)
            | (((w1 + near) < near2) & ((rest - half_below) < two)))
    up_e = (w1 > top) | ((w1 == top) & (w2 & one).astype(bool))
    sig_d = (w2 >> s11) + ((rest > half) | ((rest == half) & (w1.astype(bool)
                                                              | (w2 & lsb_d).astype(bool))))
    diff = ((w2 + up_e) - (sig_d << s11)).view(_I64)
    biased = lead.view(_U64) + bias_d
    hi = ((biased << s52) + sig_d).view(np.float64)
    lo = diff.astype(np.float64) * ((biased - bias_lo) << s52).view(np.float64)
    np.negative(hi, out=hi, where=neg)
    np.negative(lo, out=lo, where=neg)
    if hard.any():
        for r in np.flatnonzero(hard).tolist():
            hi[r], lo[r], _ = _exact.exact_pair(int(m[r]), int(q[r]), bool(neg[r]))
    return hi, lo
