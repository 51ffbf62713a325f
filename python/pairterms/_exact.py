"""Decimal numbers M * 10^Q (M an integer of up to 17 digits) rounded
exactly: to float64, and to the 80-bit extended value (64-bit significand,
exponent range of binary80) as the programs read them back, both to
nearest with ties to even, without going through the platform's long
double.

The many are done in uint64 arithmetic: M, shifted to fill 64 bits, times
10^Q as a 128-bit integer (truncated where 10^Q needs more bits) gives the
top 192 bits of the exact product, or the product itself where the power is
exact. Rounding looks at the bits below the kept ones; when the power was
truncated and they lie so close to a rounding boundary that the lost part
could cross it, or the value lies outside float64's normal range, the row
is done exactly with Python integers.
"""

import numpy as np

_U64 = np.uint64
_M32 = _U64(0xFFFFFFFF)
_TOP = _U64(1 << 63)
_ONES = _U64((1 << 64) - 1)

#: The extended type: 64-bit significand, exponents of binary80.
EXT_MANT = 64
EXT_MIN_EXP = -16382 - 63       # the exponent of the smallest subnormal
EXT_MAX_EXP = 16384             # values reach 2^16384 (not included)

_Q_LOW, _Q_HIGH = -345, 310     # powers of ten in the table


def _power_table():
    hi, lo, exp = [], [], []
    for q in range(_Q_LOW, _Q_HIGH + 1):
        if q >= 0:
            p = 10 ** q
            length = p.bit_length()
            t = p << (128 - length) if length <= 128 else p >> (length - 128)
            e = length - 128
        else:
            d = 10 ** -q
            k = 127 + d.bit_length()
            t, e = (1 << k) // d, -k
        hi.append(t >> 64)
        lo.append(t & ((1 << 64) - 1))
        exp.append(e)
    return np.array(hi, _U64), np.array(lo, _U64), np.array(exp, np.int64)


# 10^Q = (_P_HI * 2^64 + _P_LO) * 2^_P_EXP, the 128-bit part in [2^127, 2^128),
# truncated where 10^Q needs more bits.
_P_HI, _P_LO, _P_EXP = _power_table()


def _limbs(x):
    return x & _M32, x >> _U64(32)


def _bit_length(m):
    """Bit lengths of the uint64 values m (below 2^62)."""
    if ((m - _U64(1 << 53)) < _U64((1 << 57) - (1 << 53))).all():    # 17 digits: 54 to 57 bits
        return (54 + (m >= _U64(1 << 54)).astype(np.int64) + (m >= _U64(1 << 55))
                + (m >= _U64(1 << 56)))
    e = np.frexp(m.astype(np.float64))[1].astype(np.int64)
    e[m == 0] = 0
    # Rounding to float64 may have reached the next power of two.
    over = (e > 0) & ((m >> np.maximum(e - 1, 0).astype(_U64)) == 0)
    return e - over


def _operands(m, q):
    """The 32-bit limbs a0, a1 of m shifted to fill 64 bits and t0..t3 of
    the 128-bit power 10^Q, low first; then the table index of Q and the
    shift."""
    shift = 64 - _bit_length(m)
    k = q - _Q_LOW
    return _limbs(m << shift.astype(_U64)) + _limbs(_P_LO[k]) + _limbs(_P_HI[k]) + (k, shift)


def top_words(a0, a1, t0, t1, t2, t3, s32=_U64(32), m32=_M32):
    """(w2, w1): the top 128 bits of the product of (a1, a0) and (t3, t2,
    t1, t0), 32-bit limbs low first, the parts below w1 left out (less than
    3 units of w1). s32, m32: 32 and 2^32 - 1, as scalars or as arrays of
    the operands' length where a caller finds that faster."""
    p02, p11, p03, p12, p13 = a0 * t2, a1 * t1, a0 * t3, a1 * t2, a1 * t3
    c2 = ((a0 * t1) >> s32) + ((a1 * t0) >> s32) + (p02 & m32) + (p11 & m32)
    c3 = (p02 >> s32) + (p11 >> s32) + (p03 & m32) + (p12 & m32) + (c2 >> s32)
    c4 = (p03 >> s32) + (p12 >> s32) + (p13 & m32) + (c3 >> s32)
    c5 = (p13 >> s32) + (c4 >> s32)
    return (c4 & m32) | (c5 << s32), (c2 & m32) | (c3 << s32)


def _product(m, q):
    """The 192-bit product (w2, w1, w0) of m, shifted to fill 64 bits, and
    the 128-bit power of ten, with its binary exponent: value = (w2 + w1 /
    2^64 + w0 / 2^128) * 2^exp, exactly where the power is exact (Q in
    0..55), else plus less than one unit of w1."""
    a0, a1, t0, t1, t2, t3, k, shift = _operands(m, q)
    p00l, p00h = _limbs(a0 * t0)
    p01l, p01h = _limbs(a0 * t1)
    p10l, p10h = _limbs(a1 * t0)
    p02l, p02h = _limbs(a0 * t2)
    p11l, p11h = _limbs(a1 * t1)
    p03l, p03h = _limbs(a0 * t3)
    p12l, p12h = _limbs(a1 * t2)
    p13l, p13h = _limbs(a1 * t3)
    c1 = p00h + p01l + p10l
    c2 = p01h + p10h + p02l + p11l + (c1 >> _U64(32))
    c3 = p02h + p11h + p03l + p12l + (c2 >> _U64(32))
    c4 = p03h + p12h + p13l + (c3 >> _U64(32))
    c5 = p13h + (c4 >> _U64(32))
    w0 = p00l | (c1 << _U64(32))
    w1 = (c2 & _M32) | (c3 << _U64(32))
    w2 = (c4 & _M32) | (c5 << _U64(32))
    return w2, w1, w0, _P_EXP[k] - shift + 128


def _product_top(m, q):
    """_product without w0 (0), for powers that are not exact: the parts
    below w1 are left out, less than 3 units of w1 with the truncation."""
    a0, a1, t0, t1, t2, t3, k, shift = _operands(m, q)
    w2, w1 = top_words(a0, a1, t0, t1, t2, t3)
    return w2, w1, _U64(0), _P_EXP[k] - shift + 128


_NEAR = _U64(16)        # units of w1 within which a rounding is not called


def split(m, q, neg):
    """For each row, the value (-1)^neg * m * 10^q as (hi, lo, slow): hi the
    float64 nearest to it, lo (float64) such that hi + lo is the extended
    value nearest to it, where that value lies in float64's normal range and
    hi is finite; elsewhere lo is 0. slow marks the rows not done here (a
    value outside float64's normal range, or one whose rounding lies too
    close to call: exact halves among them): their hi and lo are to be
    found by exact_pair."""
    m = np.asarray(m, _U64)
    q = np.asarray(q, np.int64)
    n = len(m)
    inside = ((q - _Q_LOW).view(_U64) <= _U64(_Q_HIGH - _Q_LOW)) & ((m - _U64(1)) < _U64((1 << 62) - 1))
    every = bool(inside.all())
    zero = None if every else m == 0
    rows = None if every else np.flatnonzero(inside)
    mm, qq = (m, q) if every else (m[rows], q[rows])
    exact = (qq >= 0) & (qq <= 55)                  # 10^Q within 128 bits
    if exact.any():
        w2, w1, w0, e0 = _product(mm, qq)
    else:
        w2, w1, w0, e0 = _product_top(mm, qq)
    # Normalise: the top bit of w2 set (the error bound doubles).
    low = _U64(1) - (w2 >> _U64(63))
    w2 = (w2 << low) | ((w1 >> _U64(63)) & low)
    w1 = (w1 << low) | ((w0 >> _U64(63)) & low)
    w0 = w0 << low
    lead = e0 + 63 - low.view(np.int64)
    # Extended: keep w2; w1 (then w0) against half of its last place.
    # float64: keep the top 53 bits of w2; the rest, then w1 and w0,
    # against half. An exact product decides every case; otherwise a case
    # is not called where the lost part could carry over a boundary: w1
    # near half (extended), near 0 or 2^64 (float64 halves, carries).
    rest = w2 & _U64(0x7FF)
    hard = (((lead + 959).view(_U64) > _U64(959 + 1023))
            | (~exact & ((w1 > _ONES - _NEAR) | ((w1 - (_TOP - _NEAR)) < _NEAR + _NEAR)
                         | (((w1 + _NEAR) < _NEAR + _NEAR) & ((rest - _U64(0x3FF)) < _U64(2))))))
    tail = (w1 != 0) | (w0 != 0)
    up_e = (w1 > _TOP) | ((w1 == _TOP) & ((w0 != 0) | ((w2 & _U64(1)) != 0)))
    sig_d = (w2 >> _U64(11)) + ((rest > _U64(0x400))
                                | ((rest == _U64(0x400)) & (tail | ((w2 & _U64(0x800)) != 0))))
    # The two roundings differ by a few units of w2's last place; wrapping
    # arithmetic keeps the difference where a carry reaches 2^64.
    diff = ((w2 + up_e) - (sig_d << _U64(11))).view(np.int64)
    # float64 bits: a carry of sig_d into 2^53 raises the exponent, up to
    # infinity. lead >= -959 keeps 2^(lead-63) normal, so lo is exact.
    biased = lead.view(_U64) + _U64(1022)
    h = ((biased << _U64(52)) + sig_d).view(np.float64)
    with np.errstate(over="ignore", invalid="ignore"):      # rows left to the slow way
        lo_part = diff.astype(np.float64) * ((biased - _U64(62)) << _U64(52)).view(np.float64)
    lo_part[np.isinf(h)] = 0.0
    if every:
        hi, lo, slow = h, lo_part, hard
    else:
        hi, lo = np.zeros(n), np.zeros(n)
        hi[rows], lo[rows] = h, lo_part
        slow = ~inside & ~zero
        slow[rows] = hard
    hi[slow] = 0.0
    lo[slow] = 0.0
    sign = np.asarray(neg, np.uint64) << _U64(63)
    return (hi.view(_U64) | sign).view(np.float64), (lo.view(_U64) ^ sign).view(np.float64), slow


# --- one value at a time, exactly ------------------------------------------

def ext_round(num, den):
    """The positive rational num/den rounded to the extended type, ties to
    even: (significand, exponent) with value sig * 2^exp, sig below 2^64;
    (0, 0) when it rounds to zero; None when it is beyond the extended range."""
    e = num.bit_length() - den.bit_length()
    if (num << max(0, -e)) < (den << max(0, e)):
        e -= 1                                  # num/den in [2^e, 2^(e+1))
    shift = max(e - (EXT_MANT - 1), EXT_MIN_EXP)
    n2, d2 = (num, den << shift) if shift >= 0 else (num << -shift, den)
    sig, rem = divmod(n2, d2)
    if 2 * rem > d2 or (2 * rem == d2 and sig & 1):
        sig += 1
    if sig == 1 << EXT_MANT:
        sig, shift = sig >> 1, shift + 1
    if sig == 0:
        return 0, 0
    if shift + sig.bit_length() > EXT_MAX_EXP:
        return None
    return sig, shift


def _magnitude_bounds(m, q):
    """None when m * 10^q is surely inside the extended range (or zero);
    else 'small' (below the smallest subnormal's half) or 'large' (beyond)."""
    if m == 0:
        return None
    digits = len(str(m)) + q            # 10^(digits-1) <= value < 10^digits
    if digits > 4934:
        return "large"
    if digits < -4952:
        return "small"
    return None


def exact_pair(m, q, neg):
    """(hi, lo, ext) of one value (-1)^neg * m * 10^q, exactly: ext is
    (significand, exponent) of the nearest extended value, or None when the
    value is beyond the extended range (then hi and lo are None too)."""
    sign = -1.0 if neg else 1.0
    bound = _magnitude_bounds(m, q)
    if bound == "large":
        return None, None, None
    if m == 0 or bound == "small":
        return sign * 0.0, 0.0, (0, 0)
    num, den = (m * 10 ** q, 1) if q >= 0 else (m, 10 ** -q)
    ext = ext_round(num, den)
    if ext is None:
        return None, None, None
    try:
        hi = num / den
    except OverflowError:
        hi = float("inf")
    lo = 0.0
    sig, exp = ext
    if sig and hi != float("inf") and abs(hi) >= 2.2250738585072014e-308:
        # hi = a * 2^b exactly; the difference rounded once.
        a, b = hi.as_integer_ratio()
        b = -(b.bit_length() - 1)
        low = min(exp, b)
        diff = (sig << (exp - low)) - (a << (b - low))
        lo = float(diff) * 2.0 ** low if low >= -1074 else _scaled(diff, low)
    return sign * hi, sign * lo, ext


def _scaled(n, e):
    """n * 2^e rounded to float64 (n an integer, e below -1074)."""
    from fractions import Fraction
    return float(Fraction(n, 1 << -e))


def ext_value(ext, neg):
    """The extended value (sig, exp) as numpy's longdouble, where that type
    is the x87 one; None elsewhere."""
    if not IS_X87:
        return None
    sig, exp = ext
    v = np.ldexp(np.longdouble(sig), exp)
    return -v if neg else v


IS_X87 = np.finfo(np.longdouble).nmant == 63 and np.finfo(np.longdouble).maxexp == 16384
