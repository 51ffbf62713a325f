"""Readers of the per-pair files and count tables of termshort, termsecul
and termall (layouts in docs/FORMATS.md).

Row lines are read by column, many at once. The file's bytes are walked
line by line only for the few head, block and closing lines; the row lines
of a block come in runs of lines of one shape (length and line end), which
are checked where their line ends must be and then taken as 2-D arrays of
the file's bytes, one line per row, and cut into fixed columns. Lines that
differ from their neighbours are gathered by shape. A line whose amplitude
exponent has more than two digits has every later column moved right; such
lines are cut apart with the columns moved.
"""

import os
import re
from dataclasses import dataclass

import numpy as np

from . import _columns as col
from .planets import NAMES

#: program: (file name prefix, closing text, period width; 0: no period)
PROGRAMS = {
    "termshort": ("roho", "      short p. terms number", 7),
    "termsecul": ("roco", "      secular terms number", 8),
    "termall": ("robo", "      terms number", 0),
}

#: One record per complete block of a per-pair file.
BLOCK_DTYPE = np.dtype([
    ("file", "u1"),    # series file N
    ("terms", "i8"),   # terms of series file N (block-opening line)
    ("rows", "i8"),    # n, the row lines of the block
    ("k", "i8"),       # rows of the file so far, this block included
    ("l", "i8"),       # rows of planet I so far, over its pairs J = 1..8
])

_AMP_TEXT = 23          # amplitude text without its leading blank: -d.(16)e+dd
_MIN_ROW = 84           # a row line without period, two-digit exponent
_CHUNK = 16384          # rows cut at a time (keeps the columns in cache)
_SMALL_RUN = 32         # runs of fewer equal lines are gathered by shape


def row_dtype(period, text_width=_AMP_TEXT):
    """dtype of the records read_pair returns."""
    fields = [
        ("line", "u4"),                 # line number in the file, from 1
        ("file", "u1"),                 # series file N
        ("npa", "u1"),
        ("npb", "u1"),
        ("amp", "f8"),
        ("amp_text", f"S{text_width}"),
        ("mec", "i2", (6,)),            # MEC[1..6] at mec[0..5]
        ("mar", "i2", (6,)),            # MAR[1..6] at mar[0..5]
        ("code", "S1"),                 # b"S" or b"C"
    ]
    if period:
        fields.append(("period", "f8"))
    return np.dtype(fields)


@dataclass(frozen=True)
class PairInfo:
    """What a per-pair file says besides its rows."""
    path: str
    program: str        # "termshort", "termsecul" or "termall"
    i: int              # perturbed planet
    j: int              # perturbing planet
    blocks: np.ndarray  # BLOCK_DTYPE, the complete blocks in file order
    k: int              # row lines of the file (closing line, else read)
    closed: bool        # False: no closing line, the run that wrote it failed


class _Damage(ValueError):
    """A damaged file; line is the index of the line reported."""

    def __init__(self, msg, line):
        super().__init__(msg)
        self.line = line


class _Text:
    """A file's bytes and a cursor over its lines."""

    def __init__(self, path, raw):
        if not raw:
            raise ValueError(f"{path} line 1: the file is empty")
        self.path, self.raw = path, raw
        self.data = np.frombuffer(raw, np.uint8)
        self.pos = 0        # byte where the next line starts
        self.line = 0       # index of the next line (line number - 1)

    def at_end(self):
        return self.pos == len(self.raw)

    def fail(self, k, what, text=None):
        """Raises the error for the line of index k."""
        msg = f"{self.path} line {k + 1}: {what}"
        if text is not None:
            if len(text) > 120:
                text = text[:117] + "..."
            msg += f": {text!r}"
        raise _Damage(msg, k)

    def _line_at(self, pos):
        """(end of the line's text, start of the next line)."""
        lf = self.raw.find(b"\n", pos)
        if lf < 0:
            self.fail(self.line, "the file ends inside this line (no line end)",
                      self.raw[pos:].decode("latin-1"))
        end = lf - 1 if lf > pos and self.raw[lf - 1] == 13 else lf
        return end, lf + 1

    def next_line(self):
        """(index, text) of the next line."""
        end, nxt = self._line_at(self.pos)
        text = self.raw[self.pos:end].decode("latin-1")
        self.pos = nxt
        self.line += 1
        return self.line - 1, text

    def rows(self, n, n_file):
        """Passes n lines as runs (start, step, count, length, first index)
        of consecutive lines of one length and line end."""
        runs = []
        while n:
            if self.at_end():
                found = sum(r[2] for r in runs)
                self.fail(self.line - 1, f"the file ends inside the block of series "
                                         f"file {n_file}: {found + n} row lines "
                                         f"announced, {found} present")
            end, nxt = self._line_at(self.pos)
            step, length = nxt - self.pos, end - self.pos
            count = self._same_lines(step, length, n)
            runs.append((self.pos, step, count, length, self.line))
            self.pos += count * step
            self.line += count
            n -= count
        return runs

    def _same_lines(self, step, length, limit):
        """How many lines from the cursor, up to limit, have the step and
        text length of the first: checked where each line end must be."""
        data = self.data
        limit = min(limit, (len(data) - self.pos) // step)
        count, window = 1, 64
        while count < limit:
            k = np.arange(count, min(limit, count + window))
            lf = self.pos + (k + 1) * step - 1
            good = data[lf] == 10
            if length == step - 2:
                good &= data[lf - 1] == 13
            elif step > 1:
                good &= data[lf - 1] != 13
            if not good.all():
                return count + int(np.argmin(good))
            count += len(k)
            window *= 4
        return max(count, 1)


# --- head, block and closing lines -----------------------------------------

def _planet_line(text, what):
    k, line = text.next_line()
    m = re.fullmatch(r" *([1-8])  " + what + r" planet is +\S+", line)
    if m:
        n = int(m.group(1))
        if line == f"{n:4d}  {what} planet is {NAMES[n]:>12}":
            return n
    text.fail(k, f"not the {what.strip()}-planet line", line)


def _numbers_line(text, pattern, layout, what):
    k, line = text.next_line()
    m = re.fullmatch(pattern, line)
    if m:
        values = [int(v) for v in m.groups()]
        if line == layout.format(*values):
            return k, values
    text.fail(k, f"not the {what}", line)


_OPENING = (r" *(\d+) +(\d+) +(\d+) +(\d+)  before terms number",
            "{:10d}{:4d}{:4d}{:4d}  before terms number")
_COUNT1 = (r" *(\d+) +(\d+)         terms number",
           "{:10d}{:12d}         terms number")
_COUNT2 = (r" *(\d+) +(\d+)  after  terms number",
           "{:10d}{:12d}  after  terms number")


def _closing(text, i, j, total):
    k, line = text.next_line()
    for program, (_, ending, _) in PROGRAMS.items():
        m = re.fullmatch(r" *(\d+) +(\d+) +(\d+)" + ending, line)
        if m:
            values = [int(v) for v in m.groups()]
            if line == "{:10d}{:4d}{:4d}".format(*values) + ending:
                if values[1:] != [i, j]:
                    text.fail(k, f"the closing line of pair {values[1]}-{values[2]} "
                                 f"in the file of pair {i}-{j}", line)
                if values[0] != total:
                    text.fail(k, f"the closing line counts {values[0]} rows, "
                                 f"the blocks {total}", line)
                return program
    text.fail(k, "not the closing line", line)


def _structure(text, runs):
    """Walks the head, the blocks and the closing line. Returns (I, J,
    blocks, program or None); puts (I, J) and then the runs of row lines,
    with their series file, into runs as it goes."""
    i = _planet_line(text, "perturbed ")
    if text.at_end():
        text.fail(0, "the file ends after its head line")
    j = _planet_line(text, "perturbing")
    if i == j:
        text.fail(1, "the perturbing planet is the perturbed one")
    runs.append((i, j))
    blocks = []
    k_total, l_prev = 0, None
    for n_file in range(1, 28):
        if text.at_end():
            break                   # ends after a complete block
        k, (terms, bi, bj, bn) = _numbers_line(
            text, *_OPENING, f"block-opening line of series file {n_file}")
        if (bi, bj, bn) != (i, j, n_file):
            text.fail(k, f"the block-opening line of pair {bi}-{bj} series file "
                         f"{bn}, expected pair {i}-{j} series file {n_file}")
        if text.at_end():
            break                   # ends after a block-opening line
        k, (n, k_run) = _numbers_line(text, *_COUNT1, "first count line")
        if text.at_end():
            text.fail(k, f"the file ends inside the block of series file {n_file}")
        k2, (n2, l_run) = _numbers_line(text, *_COUNT2, "second count line")
        if n2 != n:
            text.fail(k2, f"the count lines say {n} and {n2} rows")
        if k_run != k_total + n:
            text.fail(k, f"the running count {k_run} does not follow "
                         f"{k_total} + {n} rows")
        if l_run < n or (l_prev is not None and l_run != l_prev + n):
            text.fail(k2, f"the planet's count {l_run} does not follow "
                          f"{l_prev} + {n} rows")
        if n > terms * (2 if n_file == 1 else 1):
            text.fail(k, f"{n} rows from a series file of {terms} terms")
        runs += [r + (n_file,) for r in text.rows(n, n_file)]
        blocks.append((n_file, terms, n, k_run, l_run))
        k_total, l_prev = k_run, l_run
    program = None
    if not text.at_end():
        if len(blocks) < 27:
            text.fail(text.line, "a line after a block-opening line without "
                                 "its count lines")
        program = _closing(text, i, j, k_total)
        if not text.at_end():
            k, line = text.next_line()
            text.fail(k, "text after the closing line", line)
    return i, j, np.array(blocks, BLOCK_DTYPE), program


def _program_of(text, runs, path):
    """The program of a file without a closing line: its name, else the
    length of its first row line."""
    base = os.path.basename(path)
    for program, (prefix, _, _) in PROGRAMS.items():
        if base.startswith(prefix):
            return program
    if runs:
        start, _, _, length, _, _ = runs[0]
        row = text.data[start:start + length]
        wider = len(row) > 31 and row[31] != 32
        length -= int(np.argmax(~((row[31:] - np.uint8(48)) < 10))) if wider else 0
        if length == _MIN_ROW:
            return "termall"
        return "termshort" if length == _MIN_ROW + 9 else "termsecul"
    text.fail(text.line - 1, "no closing line, no row line, and a name that "
                             "does not tell which program wrote the file")


# --- row lines -------------------------------------------------------------

def _row_problem(line, s, pwidth, pair, n_file):
    """What is wrong with a row line, for the error message."""
    def integer(field):
        return re.fullmatch(r" *-?\d+", field) is not None
    lo, hi = pair
    if not (line[:2] == "  " and line[2:3] in "12345678" and line[3:5] == "  "
            and line[5:6] in "12345678" and line[6:7] == " " and len(line) > 6):
        return "NPA and NPB are not two planet numbers in columns 1-6"
    npa, npb = int(line[2]), int(line[5])
    if (npa, npb) != (lo, hi) and not (n_file == 1 and (npa, npb) == (hi, lo)):
        return f"NPA {npa}, NPB {npb} in a row of series file {n_file}, pair {lo}-{hi}"
    if not re.fullmatch(r"  [ -]\d\.\d{16}e[+-]\d{2,} ", line[6:32 + s]):
        return "the amplitude is not d.dddddddddddddddde+dd in columns 8-31"
    for part, first in (("MEC", 33), ("MAR", 58)):
        for m in range(6):
            c = first + 4 * m
            field = line[c - 1 + s:c + 3 + s]
            if len(field) < 4 or not integer(field):
                return f"{part}[{m + 1}] is not an integer in columns {c}-{c + 3}"
            if not -128 <= int(field) <= 127:
                return f"{part}[{m + 1}] {int(field)} is outside -128..127"
    if len(line) < _MIN_ROW + s:
        return f"the row line ends before column {_MIN_ROW}"
    if line[56 + s] != " " or line[81 + s:83 + s] != "  " or line[83 + s] not in "SC":
        return "not blank, blank, code S or C in columns 82-84"
    if not pwidth:
        return "text after the code in column 84"
    field = line[86 + s:]
    if (line[84 + s:86 + s] != "  " or len(field) < pwidth or not integer(field[:-3])
            or not re.fullmatch(r"\.\d\d", field[-3:])
            or (len(field) > pwidth and field[0] == " ")):
        return f"the period is not a number with two decimals in columns 87-{86 + pwidth}"
    return "not a row line"


class _RowReader:
    """Cuts arrays of row lines into the records of out."""

    def __init__(self, program, i, j, out):
        self.pwidth = PROGRAMS[program][2]
        self.pair = (min(i, j), max(i, j))
        self.out = out
        self.first_error = None          # (line index, what)

    def cut(self, a, where, lines, files):
        """Reads the rows of a (one line per row) into out[where]; lines
        and files: their line indexes and series files."""
        n, width = a.shape
        shift = np.zeros(n, np.int64)
        if width > 31:
            # Exponents of three digits or more: count their extra digits.
            wide = np.flatnonzero(a[:, 31] != 32)
            alive = wide[(a[wide, 31] - np.uint8(48)) < 10]
            for c in range(32, width + 1):
                shift[alive] += 1
                if c == width:
                    break
                alive = alive[(a[alive, c] - np.uint8(48)) < 10]
        if not shift.any():
            self.cut_shape(a, 0, where, lines, files)
            return
        if isinstance(where, slice):
            where = np.arange(where.start, where.stop)
        for s in np.unique(shift):
            sel = np.flatnonzero(shift == s)
            self.cut_shape(a[sel], int(s), where[sel], lines[sel], files[sel])

    def cut_shape(self, a, s, where, lines, files):
        """cut() for rows whose amplitude exponent has 2 + s digits."""
        n, width = a.shape
        pw = self.pwidth
        if width < _MIN_ROW + s + (pw + 2 if pw else 0) or (not pw and width > _MIN_ROW + s):
            ok = np.zeros(n, bool)
        else:
            ints = col.integers4(np.concatenate([a[:, 32 + s:56 + s], a[:, 57 + s:81 + s]], 1))
            period = col.fixed2(a[:, 86 + s:]) if pw else None
            if self._check(a, s, files, ints, period, np.all):
                self._fill(a, s, where, ints, period)
                return
            ok = self._check(a, s, files, ints, period,
                             lambda m: m.all(1) if m.ndim > 1 else m)
        first = int(np.argmin(ok))
        k = int(lines[first])
        if self.first_error is None or k < self.first_error[0]:
            line = a[first].tobytes().decode("latin-1")
            self.first_error = (k, _row_problem(line, s, pw, self.pair,
                                                int(files[first])), line)

    def _check(self, a, s, files, ints, period, each):
        """Whether the rows are well formed: all at once (each=np.all) or
        row by row. ints: MEC and MAR read; period: the period column read."""
        blank = [0, 1, 3, 4, 6, 7, 31 + s, 56 + s, 81 + s, 82 + s]
        if self.pwidth:
            blank += [84 + s, 85 + s]
        sign, esign, code = a[:, 8], a[:, 28], a[:, 83 + s]
        npa, npb = a[:, 2] - np.uint8(48), a[:, 5] - np.uint8(48)
        lo, hi = self.pair
        ok = (each(a[:, blank] == 32) & each(a[:, 10] == 46) & each(a[:, 27] == 101)
              & each(((a[:, [2, 5, 9] + list(range(11, 27)) + list(range(29, 31 + s))]
                       - np.uint8(48)) < 10))
              & each((sign == 32) | (sign == 45)) & each((esign == 43) | (esign == 45))
              & each((code == 83) | (code == 67))
              & each(((npa == lo) & (npb == hi))
                     | ((files == 1) & (npa == hi) & (npb == lo)))
              & each(ints != col.BAD))
        if self.pwidth:
            # A period wider than its field fills it from its first column.
            ok &= (each(period[1])
                   & each((a[:, 86 + s] != 32) | (a.shape[1] - 86 - s == self.pwidth)))
        return ok

    def _fill(self, a, s, where, ints, period):
        amp = a[:, 8:31 + s]
        self.text_width(_AMP_TEXT + s)
        out = self.out
        out["amp"][where] = col.amplitudes(amp)
        out["amp_text"][where] = col.unsigned_left(amp)
        out["npa"][where] = a[:, 2] - np.uint8(48)
        out["npb"][where] = a[:, 5] - np.uint8(48)
        out["mec"][where] = ints[:, :6]
        out["mar"][where] = ints[:, 6:]
        out["code"][where] = a[:, 83 + s].view("S1")
        if self.pwidth:
            out["period"][where] = period[0]

    def text_width(self, width):
        """Widens the amplitude text field of out to width when narrower."""
        if self.out.dtype["amp_text"].itemsize < width:
            wider = np.zeros(len(self.out), row_dtype(bool(self.pwidth), width))
            for name in self.out.dtype.names:
                wider[name] = self.out[name]
            self.out = wider


def _read_rows(text, runs, program, i, j):
    counts = np.array([r[2] for r in runs], np.int64)
    nrows = int(counts.sum())
    pw = PROGRAMS[program][2]
    out = np.zeros(nrows, row_dtype(pw > 0))
    if nrows == 0:
        return out
    first = np.cumsum(counts) - counts          # each run's first record
    out["line"] = (np.repeat([r[4] for r in runs] - first, counts)
                   + np.arange(nrows) + 1)
    out["file"] = np.repeat([r[5] for r in runs], counts)
    lines, files = out["line"] - 1, out["file"].copy()
    reader = _RowReader(program, i, j, out)
    data = text.data
    small = []
    for (start, step, count, length, _, _), r0 in zip(runs, first):
        if count < _SMALL_RUN:
            small.append((start + step * np.arange(count), length, r0 + np.arange(count)))
            continue
        view = data[start:start + count * step].reshape(count, step)[:, :length]
        for c0 in range(0, count, _CHUNK):
            sl = slice(r0 + c0, r0 + min(count, c0 + _CHUNK))
            reader.cut(view[c0:c0 + _CHUNK], sl, lines[sl], files[sl])
    # Lines in short runs, gathered by length.
    if small:
        starts = np.concatenate([s for s, _, _ in small])
        length = np.concatenate([np.full(len(s), n) for s, n, _ in small])
        where = np.concatenate([w for _, _, w in small])
        for n in np.unique(length):
            sel = length == n
            a = data[starts[sel][:, None] + np.arange(n)]
            reader.cut(a, where[sel], lines[where[sel]], files[where[sel]])
    if reader.first_error:
        text.fail(*reader.first_error)
    return reader.out


# --- public ----------------------------------------------------------------

def read_pair(path):
    """Reads one per-pair file (rohoIIJJ.txt, rocoIIJJ.txt, roboIIJJ.txt).

    Returns (rows, info): rows a structured array with one record per row
    line, in file order (fields: line, file, npa, npb, amp, amp_text, mec,
    mar, code, and period for termshort and termsecul files); info a
    PairInfo. Raises ValueError naming the file and the line when the file
    is damaged or ends inside a block. A file without its closing line, left
    by a run that failed, is read: info.closed is then False.
    """
    path = os.fspath(path)
    with open(path, "rb") as f:
        text = _Text(path, f.read())
    runs = []
    try:
        i, j, blocks, program = _structure(text, runs)
    except _Damage as damage:
        _earlier_damage(text, runs, damage)
        raise
    runs = runs[1:]
    closed = program is not None
    if program is None:
        program = _program_of(text, runs, path)
    rows = _read_rows(text, runs, program, i, j)
    k = int(blocks["k"][-1]) if len(blocks) else 0
    return rows, PairInfo(path, program, i, j, blocks, k, closed)


def _earlier_damage(text, runs, damage):
    """A line left out or added inside a block shows as a wrong line where
    the next block should start: reports a damaged row line before it
    instead, if there is one."""
    if len(runs) > 1:
        (i, j), runs = runs[0], runs[1:]
        try:
            _read_rows(text, runs, _program_of(text, runs, text.path), i, j)
        except _Damage as earlier:
            if earlier.line < damage.line:
                raise earlier from None


#: Count tables: program: (heading line, row label width, count width)
_TABLES = {
    "termshort": ("    " + "".join(f"{y:6d} " for y in range(1, 9)), 2, 6),
    "termsecul": ("    " + "".join(f"{y:5d} " for y in range(1, 9)), 2, 5),
    "termall": ("     " + "".join(f"{y:6d}   " for y in range(1, 9)), 3, 8),
}


def read_counts(path):
    """Reads a count table (rohotabl.txt, rocotabl.txt, robotabl.txt).

    Returns (counts, totals): counts an 8 x 8 int64 array, counts[I-1, J-1]
    the row lines of the file of planet I perturbed by J; totals the eight
    row totals. Raises ValueError naming the file and the line when the
    table is damaged.
    """
    path = os.fspath(path)
    with open(path, "rb") as f:
        text = _Text(path, f.read())
    k, heading = text.next_line()
    layout = [p for p, (h, _, _) in _TABLES.items() if h == heading]
    if not layout:
        text.fail(k, "not the heading line of a count table", heading)
    _, label, cell = _TABLES[layout[0]]
    counts = np.zeros((8, 8), np.int64)
    totals = np.zeros(8, np.int64)
    for x in range(1, 9):
        if text.at_end():
            text.fail(k, f"the table ends before the row of planet {x}")
        k, line = text.next_line()
        if line[:label + 2] != f"{x:{label}d}  ":
            text.fail(k, f"not the row of planet {x}", line)
        values, pos, width = [], label + 2, cell
        for y in range(9):
            # A count fills its field or more, and a blank follows it.
            end = pos + width
            while y < 8 and end < len(line) and line[end] != " ":
                end += 1
            field = line[pos:end]
            if not re.fullmatch(r" *\d+", field) or (len(field) > width and field[0] == " "):
                text.fail(k, f"no count in columns {pos + 1}-{end}", line)
            values.append(int(field))
            pos = end + 1
            if y == 7:
                width = len(line) - pos   # the total ends the line
        counts[x - 1], totals[x - 1] = values[:8], values[8]
        if values[x - 1] != 0:
            text.fail(k, f"planet {x} perturbed by itself has {values[x - 1]} rows", line)
        if sum(values[:8]) != values[8]:
            text.fail(k, f"the row total {values[8]} is not the sum "
                         f"{sum(values[:8])}", line)
    if not text.at_end():
        k, line = text.next_line()
        text.fail(k, "text after the row of planet 8", line)
    return counts, totals
