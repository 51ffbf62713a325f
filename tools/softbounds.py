#!/usr/bin/python3
"""softbounds: the bounds of the software extended type's decimal layers
(core/undecfld.hpp, core/unsoftbig.hpp, core/unsoftdec.hpp and .cpp),
derived in exact integer arithmetic; the comments beside the constants
quote this output.

    tools/softbounds.py               prints each bound and how it follows
    tools/softbounds.py --check CORE  also compares them with the constants
                                      in the folder CORE; exit status 1 when
                                      one differs or a condition fails

The extended format: 64-bit significand with its leading bit explicit,
exponents of normal values 2^-16382 .. 2^16383, subnormals down to 2^-16445.
"""

import decimal
import re
import sys
from fractions import Fraction
from pathlib import Path

sys.set_int_max_str_digits(0)

SIGBITS = 64
EMIN = -16382  # exponent of the smallest normal value
EMAX = 16383  # exponent of the largest binade
LEASTSUB = EMIN - (SIGBITS - 1)  # 2^-16445
ADDRESSBITS = 57  # the widest address space of a 64-bit machine (x86-64 LA57)


def digits(n):
    return len(str(n))


LOG10TWO = None


def decade_of_power_of_two(e):
    """floor(log10(2^e)), exactly: e * log10(2) to 60 digits, which is never
    within 10^-50 of an integer for e != 0 here (checked), else the digits of
    2^e themselves."""
    global LOG10TWO
    if LOG10TWO is None:
        decimal.getcontext().prec = 60
        LOG10TWO = decimal.Decimal(2).log10()
    x = e * LOG10TWO
    f = x.to_integral_value(rounding=decimal.ROUND_FLOOR)
    if e != 0 and min(x - f, f + 1 - x) > decimal.Decimal(10) ** -50:
        return int(f)
    if e >= 0:
        return digits(1 << e) - 1
    return digits(5 ** -e) - 1 + e  # 2^e = 5^-e / 10^-e


def decade_of(num, den):
    """floor(log10(num / den)) for positive integers, exactly."""
    x = Fraction(num, den)
    d = digits(num) - digits(den)  # within one of the answer
    while x < Fraction(10) ** d:
        d -= 1
    while x >= Fraction(10) ** (d + 1):
        d += 1
    return d


def derive():
    """The bounds, each with the lines that show it: a list of
    (name, value, lines, conditions), conditions a list of (text, bool)."""
    out = []

    # Words.
    k = 0
    while 5 ** (k + 1) < 2 ** 64:
        k += 1
    out.append(("MAXEXACTPOW", k, [
        f"5^{k} = {5 ** k} < 2^64 = {2 ** 64} <= 5^{k + 1} = {5 ** (k + 1)}",
        f"so 10^K = 5^K * 2^K has a 64-bit significand for K <= {k}"], []))
    w = 0
    while 10 ** (w + 1) - 1 < 2 ** 64:
        w += 1
    out.append(("WORDDIGITS", w, [
        f"10^{w} - 1 < 2^64 <= 10^{w + 1} - 1: any {w} digits fit a word, not all {w + 1}"], []))

    # Halfway points: m * 2^-e, m odd below 2^65, e at most 16446.
    ehalf = -(LEASTSUB - 1)
    longest = (2 ** (SIGBITS + 1) - 1) * 5 ** ehalf
    maxdigits = digits(longest)
    out.append(("MAXDIGITS", maxdigits, [
        f"halfway points are m * 2^-e, m odd < 2^65, e <= {ehalf}; m * 2^-e = m * 5^e / 10^e",
        f"has as many significant digits as m * 5^e (odd times a power of 5: no trailing zero)",
        f"the most: (2^65 - 1) * 5^{ehalf}, {maxdigits} digits; 5^{ehalf} alone has {digits(5 ** ehalf)}"], []))

    # The decades that decide a reading by themselves.
    over_num = (2 ** (SIGBITS + 1) - 1) * 2 ** (EMAX - SIGBITS)  # largest value plus half its last place
    sciover = decade_of(over_num, 1)
    first = str(over_num)[:6]
    out.append(("SCIOVER", sciover, [
        f"largest value + half its last place = (2^65 - 1) * 2^{EMAX - SIGBITS} = {first[0]}.{first[1:]}...e{sciover}",
        f"a number whose first digit is in a decade above {sciover} is at least 10^{sciover + 1}, beyond it: infinity"],
        [(f"10^{sciover} < threshold < 10^{sciover + 1}", 10 ** sciover < over_num < 10 ** (sciover + 1))]))
    under_den = 2 ** -(LEASTSUB - 1)  # half the least subnormal, 2^-16446
    sciunder = decade_of(1, under_den)
    lead = str(10 ** (-sciunder + 6) // under_den)
    out.append(("SCIUNDER", sciunder, [
        f"half the least subnormal = 2^{LEASTSUB - 1} = {lead[0]}.{lead[1:6]}...e{sciunder}",
        f"a number whose first digit is in a decade below {sciunder} is below 10^{sciunder}, under it: zero"],
        [(f"10^{sciunder} <= threshold < 10^{sciunder + 1}",
          under_den <= 10 ** -sciunder and 10 ** -(sciunder + 1) < under_den)]))

    # The cap of a run of digits.
    cap = 1 << 62
    text = 1 << ADDRESSBITS
    out.append(("DIGITSCAP", cap, [
        f"X <= (cap - D) / 10 keeps X * 10 + D <= cap = 2^62 < 2^63",
        f"a text is shorter than 2^{ADDRESSBITS} bytes; the point's offset from a digit is at most that",
        f"a saturated exponent +-2^62 plus an offset stays beyond decade {sciover} and below {sciunder}"],
        [("cap + text < 2^63", cap + text < 2 ** 63),
         (f"cap - text > max({sciover}, {-sciunder})", cap - text > max(sciover, -sciunder))]))

    # BIGDIVIDE.
    qbits, dbits = 68, 60
    first_rest = 2 ** (qbits - (dbits - 1)) + 2
    second = first_rest / 2 ** (dbits - 1) + 2 ** -(dbits - 1) + 1
    out.append(("QUOTIENTBITS", qbits, [
        f"a quotient below 2^{qbits} and B's top {dbits} bits: A >> U below 2^{qbits + dbits}",
        f"callers: the reading's quotient is below 2^66, the writing's short path below 2^{qbits}",
        f"q - QE < q / BT + 1 / BT + 1 with BT > 2^{dbits - 1}: first round leaves < 2^{qbits - dbits + 1} + 2 = {first_rest}",
        f"second round leaves < {first_rest} / 2^{dbits - 1} + 2^-{dbits - 1} + 1 = {second:.3f}... < 2"],
        [(f"{qbits} + {dbits} <= 128", qbits + dbits <= 128), (f"{qbits} <= 96 (BIGTIMES)", qbits <= 96),
         ("second round leaves less than 2", first_rest / 2 ** (dbits - 1) + 2 ** -(dbits - 1) + 1 < 2)]))
    out.append(("DIVISORBITS", dbits, [f"see QUOTIENTBITS"], []))
    limbs = (31 + 128 + 31) // 32
    out.append(("SHIFTEDLIMBS", limbs, [
        f"128 bits from bit U % 32 <= 31 of the first limb end at bit 31 + 127 = 158: {limbs} limbs"],
        []))

    # The decade estimate of the writing.
    c = 1292913986
    lo, hi = 99, -99
    for e in range(LEASTSUB, EMAX + 1):
        sci0 = ((e * c) >> 32) - 1
        a = decade_of_power_of_two(e)  # |X| >= 2^e
        b = decade_of_power_of_two(e + 1) - (1 if e + 1 == 0 else 0)  # |X| < 2^(e+1)
        lo, hi = min(lo, a - sci0), max(hi, b - sci0)
    out.append(("LOG10TWO32", c, [
        f"floor(log10(2) * 2^32) = {c}",
        f"SCI0 = floor(EXP * {c} / 2^32) - 1; for every EXP in [{LEASTSUB}, {EMAX}]:",
        f"SCI0 + {lo} <= floor(log10 |X|) <= SCI0 + {hi} for 2^EXP <= |X| < 2^(EXP+1)"],
        [(f"{c} = floor(log10(2) * 2^32)", c == int((LOG10TWO * 2 ** 32).to_integral_value(rounding=decimal.ROUND_FLOOR))),
         ("the spread is [1, 2]", (lo, hi) == (1, 2))]))
    return out


def constants(core):
    """The constants as the code states them."""
    found = {}
    for name in ("undecfld.hpp", "unsoftbig.hpp", "unsoftdec.hpp", "unsoftdec.cpp"):
        text = (core / name).read_text()
        for m in re.finditer(r"inline constexpr (?:[\w:]+ )+(\w+) = ([^;]+);", text):
            expr = re.sub(r"(?<=\d)(ULL|LL|UL|U|L)\b", "", m.group(2))
            if re.fullmatch(r"[-\d <()]+", expr):
                found[m.group(1)] = eval(expr)  # digits, minus and shifts only
    return found


def main(argv):
    check = None
    if len(argv) == 3 and argv[1] == "--check":
        check = Path(argv[2])
    elif len(argv) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    code = constants(check) if check else {}
    bad = 0
    for name, value, lines, conditions in derive():
        print(f"{name} = {value}")
        for line in lines:
            print(f"    {line}")
        for text, ok in conditions:
            print(f"    {'holds' if ok else 'FAILS'}: {text}")
            bad += not ok
        if check:
            if name not in code:
                print(f"    MISSING from {check}")
                bad += 1
            elif code[name] != value:
                print(f"    DIFFERS: the code says {code[name]}")
                bad += 1
    if check:
        print("softbounds: " + ("all constants agree" if not bad else f"{bad} disagreement(s)"))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
