"""Row lines cut into records, many at once.

A Layout places the fields of one shape of row line: the columns of
columns.ROW_COLUMNS, moved right by the extra digits of a wide amplitude
exponent, a wide period or a wide estimate exponent. convert() checks and
reads a 2-D array of row lines of one layout into a structured array, a few
thousand rows at a time (so that the temporaries stay in cache).
"""

import ctypes
import functools
import os
import re

import numpy as np

from . import _columns as col, _fastrows
from .columns import ESTIMATE_WIDTH, column, row_columns

_CHUNK = 8192


def _keep_freed_memory():
    """glibc gives freed heap memory back to the system as soon as 128 KiB
    lie free at its top, and hands out blocks from 128 KiB on as fresh
    pages: the few hundred temporaries of a chunk then cost a page fault
    per 4 KiB each time, several times the work itself. The process keeps
    up to 16 MiB instead, and takes blocks of 1 MiB and more straight from
    the system (PAIRTERMS_MALLOPT=0 leaves malloc alone)."""
    if os.environ.get("PAIRTERMS_MALLOPT") == "0" or not _glibc():
        return
    try:
        mallopt = ctypes.CDLL(None).mallopt
    except (OSError, AttributeError):
        return
    mallopt(-3, 1 << 20)        # M_MMAP_THRESHOLD
    mallopt(-1, 16 << 20)       # M_TRIM_THRESHOLD


def _glibc():
    try:
        return os.confstr("CS_GNU_LIBC_VERSION").startswith("glibc")
    except (ValueError, OSError, AttributeError):
        return False


_keep_freed_memory()
_AMP = column("amp")


def row_dtype(period, text_width=23, estimates=False, pair=False):
    """dtype of the row records (pair: with the pair's i and j first)."""
    fields = [("i", "u1"), ("j", "u1")] if pair else []
    fields += [
        ("line", "u4"),                 # line number in the file, from 1
        ("file", "u1"),                 # series file N
        ("npa", "u1"),
        ("npb", "u1"),
        ("amp", "f8"),                  # the amplitude, correctly rounded
        ("amp_lo", "f8"),               # amp + amp_lo: the extended value
        ("amp_text", f"S{text_width}"),
        ("mec", "i2", (6,)),            # MEC[1..6] at mec[0..5]
        ("mar", "i2", (6,)),            # MAR[1..6] at mar[0..5]
        ("code", "S1"),                 # b"S" or b"C"
    ]
    if period:
        fields.append(("period", "f8"))
    if estimates:
        fields += [("est", "f8"), ("est_text", "S24")]
    return np.dtype(fields)


class Layout:
    """0-based places of the fields of a row line of one shape."""

    def __init__(self, period_width, estimates, amp_extra=0, period_extra=0, est_extra=0):
        self.key = (period_width, estimates, amp_extra, period_extra, est_extra)
        self.period_width, self.estimates = period_width, estimates
        self.amp_extra = amp_extra
        blanks, places, shift = [], {}, 0
        extras = {"amplitude": amp_extra, "period": period_extra, "estimate": est_extra}
        for c in row_columns(period_width, estimates):
            first, last = c.first - 1 + shift, c.last + shift
            extra = extras.get(c.kind, 0)
            last, shift = last + extra, shift + extra
            if c.kind == "blank":
                blanks += range(first, last)
            elif c.kind == "planet":
                blanks += range(first, last - 1)
                places[c.name] = last - 1
            elif c.kind == "amplitude":
                blanks.append(first)
                places["amp"] = (first + 1, last)
            else:
                places[c.name] = (first, last)
        self.blanks = tuple(blanks)
        self.blank_rows = np.array(blanks)
        self.npa, self.npb = places["npa"], places["npb"]
        self.amp = places["amp"]
        self.mec = (places["mec1"][0], places["mec6"][1])
        self.mar = (places["mar1"][0], places["mar6"][1])
        self.code = places["code"][0]
        self.period = places.get("period")
        self.est = places.get("est")
        # A period of 7 or 8 characters is read as one 8-byte word (from
        # the blank before it for 7).
        self.period_word = (self.period and period_extra == 0 and period_width in (7, 8)
                            and (self.period[1] - 8, self.period[1]))
        # The single columns read (from a copy with columns as rows).
        a0, a1 = self.amp
        single = list(blanks) + [self.npa, self.npb, places["code"][0], a0, a0 + 1, a0 + 2,
                                 a0 + 19, a0 + 20] + list(range(a0 + 21, a1))
        if self.period and not self.period_word:
            single += range(*self.period)
        if self.est:
            single += range(*self.est)
        self.single = np.array(sorted(set(single)))
        self.width = max(v[1] if isinstance(v, tuple) else v + 1 for v in places.values())


@functools.lru_cache(maxsize=None)
def layout(*key):
    """The Layout of that key (shared: layouts do not change)."""
    return Layout(*key)


_NONE = np.frombuffer(b"none".rjust(ESTIMATE_WIDTH), np.uint8)
_INF = np.frombuffer(b"inf".rjust(ESTIMATE_WIDTH), np.uint8)


def convert(a, layout, out, where, lo, hi, files):
    """Checks and reads the rows of a (n x width uint8, width = the
    layout's) into out[where] (where: slice or index array); lo, hi: the
    pair of each row, files: its series file. Returns the index of the
    first row that is not well formed (with why) or None."""
    n = len(a)
    sl = isinstance(where, slice)
    plan = _fastrows.plan(layout)
    buf = None
    for c0 in range(0, n, _CHUNK):
        c1 = min(n, c0 + _CHUNK)
        dest = slice(where.start + c0, where.start + c1) if sl else where[c0:c1]
        if plan and _fastrows.chunk(a[c0:c1], plan, out, dest, lo[c0:c1], hi[c0:c1],
                                    files[c0:c1]):
            continue
        if buf is None:
            buf = np.empty((min(n, _CHUNK), a.shape[1]), np.uint8)
        chunk = buf[:c1 - c0]
        np.copyto(chunk, a[c0:c1])
        bad = _chunk(chunk, layout, out, dest, lo[c0:c1], hi[c0:c1], files[c0:c1])
        if bad is not None:
            return c0 + bad[0], bad[1]
    return None


def _first(ok, why):
    return (int(np.argmin(ok)), why) if not ok.all() else None


def _chunk(a, lay, out, dest, lo, hi, files):
    # Single columns from a copy with the columns as rows (contiguous);
    # fields of several bytes from the rows themselves.
    t = np.empty((a.shape[1], len(a)), np.uint8)
    t[lay.single] = a.T[lay.single]
    ok = (t[lay.blank_rows] == 32).all(0)
    npa, npb = t[lay.npa] - np.uint8(48), t[lay.npb] - np.uint8(48)
    ok &= ((npa == lo) & (npb == hi)) | ((files == 1) & (npa == hi) & (npb == lo))
    code = t[lay.code]
    ok &= (code == 83) | (code == 67)
    ints, ints_ok = col.integers4(np.concatenate([a[:, lay.mec[0]:lay.mec[1]],
                                                  a[:, lay.mar[0]:lay.mar[1]]], 1))
    ok &= ints_ok
    a0, a1 = lay.amp
    amp, amp_lo, beyond, amp_ok = col.pairs(a[:, a0:a1], t[a0:a1])
    ok &= amp_ok
    bad = _first(ok, None) or _first(~beyond, "beyond")
    if bad:
        return bad
    if lay.period_word:
        w0, w1 = lay.period_word
        period, p_ok = col.fixed2_word(np.ascontiguousarray(a[:, w0:w1]).view("<u8")[:, 0])
        bad = _first(p_ok, None)
        if bad:
            return bad
    elif lay.period:
        p0, p1 = lay.period
        period, p_ok, p_beyond = col.fixed2(a[:, p0:p1], t[p0:p1])
        if p1 - p0 > lay.period_width:
            p_ok &= t[p0] != 32                     # a wide period fills its field
        bad = _first(p_ok, None) or _first(~p_beyond, "period beyond")
        if bad:
            return bad
    if lay.est:
        e0, e1 = lay.est
        f = a[:, e0:e1]
        none = (f == _NONE).all(1) if e1 - e0 == ESTIMATE_WIDTH else np.zeros(len(a), bool)
        inf = (f == _INF).all(1) if e1 - e0 == ESTIMATE_WIDTH else np.zeros(len(a), bool)
        est, _, e_beyond, e_ok = col.pairs(f[:, 1:], t[e0 + 1:e1], b"  ")
        bad = _first((e_ok & (t[e0] == 32)) | none | inf, None) or _first(~e_beyond, "beyond")
        if bad:
            return bad
        est[none] = np.nan
        est[inf] = np.inf
    out["npa"][dest] = npa
    out["npb"][dest] = npb
    out["amp"][dest] = amp
    out["amp_lo"][dest] = amp_lo
    _texts(out, dest, a, a0, a1)
    out["mec"][dest] = ints[:, :6]
    out["mar"][dest] = ints[:, 6:]
    out["code"][dest] = code.view("S1")
    if lay.period:
        out["period"][dest] = period
    if lay.est:
        out["est"][dest] = est
        texts = np.ascontiguousarray(f[:, 2:]).view(f"S{e1 - e0 - 2}").ravel().copy()
        texts[none] = b"none"
        texts[inf] = b"inf"
        out["est_text"][dest] = texts
    return None


def _texts(out, dest, a, a0, a1):
    """The amplitude texts of the rows of a (columns a0..a1, the sign
    first) into out["amp_text"][dest], the sign place of a positive value
    left out. The usual 23 characters and the blank after them as three
    64-bit words, moved one byte where the sign place is blank."""
    if a1 - a0 != 23:
        out["amp_text"][dest] = col.unsigned_left(a[:, a0:a1])
        return
    w = np.ascontiguousarray(a[:, a0:a0 + 24]).view("<u8")
    w0, w1, w2 = w[:, 0], w[:, 1], w[:, 2]
    positive = a[:, a0] == 32
    res = np.empty_like(w)
    res[:, 0] = np.where(positive, (w0 >> _U64(8)) | (w1 << _U64(56)), w0)
    res[:, 1] = np.where(positive, (w1 >> _U64(8)) | (w2 << _U64(56)), w1)
    res[:, 2] = np.where(positive, w2 >> _U64(8), w2) & np.where(
        positive, _U64(0x0000FFFFFFFFFFFF), _U64(0x00FFFFFFFFFFFFFF))
    out["amp_text"][dest] = res.view("S24").ravel()


_U64 = np.uint64


# --- lines of other shapes -------------------------------------------------

_SHAPE = re.compile(rb"[ \d]{3}[ \d]{3}  (?P<amp>[ -]\d\.\d{16}e[+-]\d{2,}) .{24} .{24}  [SC]"
                    rb"(?:  (?P<period> *-?\d+\.\d\d))?"
                    rb"(?P<est>  +(?:\d\.\d{16}e[+-]\d{2,}|none|inf))?", re.S)


def shape_of(line, period_width, estimates):
    """The Layout of a row line that is not of the usual length, or None
    when no layout of the program fits it."""
    m = _SHAPE.fullmatch(line)
    if not m or bool(m["period"] is not None) != bool(period_width) or bool(m["est"]) != estimates:
        return None
    amp_extra = len(m["amp"]) - 23
    period_extra = len(m["period"]) - period_width if period_width else 0
    est_extra = len(m["est"]) - ESTIMATE_WIDTH if estimates else 0
    if min(period_extra, est_extra) < 0:
        return None
    return layout(period_width, estimates, amp_extra, period_extra, est_extra)


def problem(line, lay, pair, n_file, why):
    """What is wrong with a row line, for the error message."""
    def integer(field):
        return re.fullmatch(r" *-?\d+", field) is not None
    s = lay.amp_extra
    lo, hi = pair
    if not (line[:2] == "  " and line[2:3] in "12345678" and line[3:5] == "  "
            and line[5:6] in "12345678" and line[6:7] == " " and len(line) > 6):
        return "NPA and NPB are not two planet numbers in columns 1-6"
    npa, npb = int(line[2]), int(line[5])
    if (npa, npb) != (lo, hi) and not (n_file == 1 and (npa, npb) == (hi, lo)):
        return f"NPA {npa}, NPB {npb} in a row of series file {n_file}, pair {lo}-{hi}"
    if not re.fullmatch(r"  [ -]\d\.\d{16}e[+-]\d{2,} ", line[6:32 + s]):
        return "the amplitude is not d.dddddddddddddddde+dd in columns 8-31"
    if why == "beyond":
        return "the amplitude is beyond the extended range"
    for part, first in (("MEC", 33), ("MAR", 58)):
        for m in range(6):
            c = first + 4 * m
            field = line[c - 1 + s:c + 3 + s]
            if len(field) < 4 or not integer(field):
                return f"{part}[{m + 1}] is not an integer in columns {c}-{c + 3}"
            if not -128 <= int(field[-4:]) <= 127:
                return f"{part}[{m + 1}] {field.strip()} is outside -128..127"
    if len(line) < 84 + s:
        return "the row line ends before column 84"
    if line[56 + s] != " " or line[81 + s:83 + s] != "  " or line[83 + s] not in "SC":
        return "not blank, blank, code S or C in columns 82-84"
    pw = lay.period_width
    if why == "period beyond":
        return "the period is beyond the extended range"
    if pw and lay.period:
        field = line[lay.period[0]:lay.period[1] if lay.est else None]
        if (line[84 + s:86 + s] != "  " or len(field) < pw or not integer(field[:-3])
                or not re.fullmatch(r"\.\d\d", field[-3:])
                or (len(field) > pw and field[0] == " ")):
            return f"the period is not a number with two decimals in columns 87-{86 + pw}"
    if lay.est:
        return (f"the estimate is not d.dddddddddddddddde+dd, none or inf in columns "
                f"{lay.est[0] + 1}-{lay.est[1]}")
    return "not a row line"
