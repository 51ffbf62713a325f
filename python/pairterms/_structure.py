"""The walk over the head, block and closing lines of a per-pair file
(docs/FORMATS.md section 3), which tells where the row lines of each block
are."""

import re

import numpy as np

from ._programs import PROGRAM_TABLE
from .planets import NAMES

#: One record per complete block of a per-pair file.
BLOCK_DTYPE = np.dtype([
    ("file", "u1"),    # series file N
    ("terms", "i8"),   # terms of series file N (block-opening line)
    ("rows", "i8"),    # n, the row lines of the block
    ("k", "i8"),       # rows of the file so far, this block included
    ("l", "i8"),       # rows of planet I so far, over its pairs J = 1..8
])

_MAX_DIGITS = 18        # a count of more digits cannot be a count of rows


# --- head, block and closing lines -----------------------------------------

# The head lines of the files, {what: {line: planet}}.
_PLANET_LINES = {what: {f"{n:>4}  {what} planet is {NAMES[n]:>12}": n for n in range(1, 9)}
                 for what in ("perturbed ", "perturbing")}


def _planet(lines, k, what):
    line = lines.line(k)
    n = _PLANET_LINES[what].get(line)
    if n:
        return n
    lines.fail(k, f"not the {what.strip()}-planet line", line)


def _counts(lines, k, fmt, widths, ending, what):
    """The numbers of a line of right-aligned counts: fast where each fits
    its field, else by pattern (a wider count moves the rest)."""
    line = lines.line(k)
    m = _FAST.get((widths, ending))
    m = m.fullmatch(line) if m else None
    if m:
        values = [int(v) for v in m.groups()]
        if line == fmt.format(*values) + ending:
            return values
    m = re.fullmatch(r" *(\d+)" + r" +(\d+)" * (len(widths) - 1) + re.escape(ending), line)
    if m:
        if max(len(g) for g in m.groups()) > _MAX_DIGITS:
            lines.fail(k, f"a count of more than {_MAX_DIGITS} digits in the {what}", line)
        values = [int(v) for v in m.groups()]
        if line == fmt.format(*values) + ending:
            return values
    lines.fail(k, f"not the {what}", line)


_OPENING = ("{:10d}{:4d}{:4d}{:4d}", (10, 4, 4, 4), "  before terms number")
_COUNT1 = ("{:10d}{:12d}", (10, 12), "         terms number")
_COUNT2 = ("{:10d}{:12d}", (10, 12), "  after  terms number")
# Each count in its field: a pattern of fixed widths (the closing lines too).
_FAST = {(w, e): re.compile("".join(f"( *[0-9]{{1,{n}}})" for n in w) + re.escape(e))
         for _, w, e in (_OPENING, _COUNT1, _COUNT2) + tuple(
             (None, (10, 4, 4), p.closing) for p in PROGRAM_TABLE.values())}


def _closing(lines, k, i, j, total):
    line = lines.line(k)
    for program in PROGRAM_TABLE.values():
        if line.endswith(program.closing):
            values = _counts(lines, k, "{:10d}{:4d}{:4d}", (10, 4, 4), program.closing,
                             "closing line")
            if values[1:] != [i, j]:
                lines.fail(k, f"the closing line of pair {values[1]}-{values[2]} "
                              f"in the file of pair {i}-{j}", line)
            if values[0] != total:
                lines.fail(k, f"the closing line counts {values[0]} rows, "
                              f"the blocks {total}", line)
            return program.name
    lines.fail(k, "not the closing line", line)


# The three lines of a block where each count fits its field, as written
# with either line end; keyed by their length in bytes.
_BLOCK_TEXT = {3 * (43 + len(end)): (b"%10d%4d%4d%4d  before terms number" + end
                                     + b"%10d%12d         terms number" + end
                                     + b"%10d%12d  after  terms number" + end)
               for end in (b"\r\n", b"\n")}


def _fast_block(lines, k, i, j, n_file, k_total):
    """(terms, n, k_run, l_run) of the block of series file n_file of pair
    i-j from line k when its three lines are exactly as the programs write
    them after k_total rows (each count in its field, one line end), else
    None. The counts are read from their fields and the lines they make
    compared with the file's."""
    span = lines.span(k, 3)
    if span is None:
        return None
    text = lines.raw[span[0]:span[1]]
    size = len(text)
    form = _BLOCK_TEXT.get(size)
    if form is None:
        return None
    third = size // 3
    try:
        terms = int(text[:10])
        n = int(text[third:third + 10])
        l_run = int(text[2 * third + 10:2 * third + 22])
    except ValueError:
        return None
    if terms < 0 or n < 0 or l_run < 0:
        return None
    k_run = k_total + n
    if text != form % (terms, i, j, n_file, n, k_run, n, l_run):
        return None
    return terms, n, k_run, l_run


class Walk:
    """What the walk over a file found: i, j, blocks (tuples of
    BLOCK_DTYPE), rows (per block: first row line index, count, series
    file), program (from the closing line; None without one)."""

    def __init__(self):
        self.i = self.j = None
        self.blocks, self.rows, self.program = [], [], None

    def block_array(self):
        return np.array(self.blocks, BLOCK_DTYPE)


def walk(lines, found):
    """Walks the head, the blocks and the closing line into found (a Walk,
    so that what was found before a damage stays known)."""
    i = _planet(lines, 0, "perturbed ")
    if not lines.exists(1):
        lines.fail(0, "the file ends after its head line")
    j = _planet(lines, 1, "perturbing")
    if i == j:
        lines.fail(1, "the perturbing planet is the perturbed one")
    found.i, found.j = i, j
    k, k_total, l_prev = 2, 0, None
    for n_file in range(1, 28):
        if not lines.exists(k):
            break                   # ends after a complete block
        fast = _fast_block(lines, k, i, j, n_file, k_total)
        if fast:
            terms, n, k_run, l_run = fast
            n2 = n
        else:
            terms, bi, bj, bn = _counts(lines, k, *_OPENING,
                                        f"block-opening line of series file {n_file}")
        if not fast:
            if (bi, bj, bn) != (i, j, n_file):
                lines.fail(k, f"the block-opening line of pair {bi}-{bj} series file "
                              f"{bn}, expected pair {i}-{j} series file {n_file}")
            if not lines.exists(k + 1):
                k += 1
                break                   # ends after a block-opening line
            n, k_run = _counts(lines, k + 1, *_COUNT1, "first count line")
            if not lines.exists(k + 2):
                lines.fail(k + 1, f"the file ends inside the block of series file {n_file}")
            n2, l_run = _counts(lines, k + 2, *_COUNT2, "second count line")
        if n2 != n:
            lines.fail(k + 2, f"the count lines say {n} and {n2} rows")
        if k_run != k_total + n:
            lines.fail(k + 1, f"the running count {k_run} does not follow "
                              f"{k_total} + {n} rows")
        if l_run < n or (l_prev is not None and l_run != l_prev + n):
            lines.fail(k + 2, f"the planet's count {l_run} does not follow "
                              f"{l_prev} + {n} rows")
        if n > terms * (2 if n_file == 1 else 1):
            lines.fail(k + 1, f"{n} rows from a series file of {terms} terms")
        first = k + 3
        lines.take_rows(first, n, n_file)
        found.rows.append((first, n, n_file))
        found.blocks.append((n_file, terms, n, k_run, l_run))
        k, k_total, l_prev = first + n, k_run, l_run
    if lines.exists(k):
        if len(found.blocks) < 27:
            lines.fail(k, "a line after a block-opening line without its count lines")
        found.program = _closing(lines, k, i, j, k_total)
        if lines.exists(k + 1):
            lines.fail(k + 1, "text after the closing line", lines.line(k + 1))
    return found
