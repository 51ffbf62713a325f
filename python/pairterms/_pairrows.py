"""The row lines of one per-pair file into records.

The rows of a block whose lines all have the usual length and the same
line end lie at a fixed stride in the file's bytes: they are taken as a
2-D array without a copy (small files: the blocks joined into one array).
Rows of other lengths (a wide exponent or period, another line end) are
gathered and read by the shape each has.
"""

import numpy as np

from . import _rows
from ._lines import LazyLines, Lines, NeedExact, Reused
from ._programs import PROGRAM_TABLE
from ._structure import Walk, walk

_JOIN = 1 << 22         # files below this many bytes of rows: blocks joined


class _Errors:
    """The first damaged row line of the file (lowest line index)."""

    def __init__(self):
        self.first = None

    def note(self, k, why, text, lay):
        if self.first is None or k < self.first[0]:
            self.first = (k, why, text, lay)


def read_rows(lines, found, program, estimates, dtype, into=None, batch=None):
    """The records of the rows found (a _structure.Walk) in lines: a new
    array of dtype, or into (a slice of a larger array). Rows in blocks of
    the usual shape may be left to batch, which reads them later with
    those of other files. Raises _lines.Damage for the first damaged
    row line."""
    prog = PROGRAM_TABLE[program]
    width = prog.row_width(estimates)
    pw = prog.period_width
    counts = np.array([r[1] for r in found.rows], np.int64)
    total = int(counts.sum())
    out = np.zeros(total, dtype) if into is None else into
    if total == 0:
        return out
    firsts = np.array([r[0] for r in found.rows], np.int64)
    offs = np.cumsum(counts) - counts
    index = np.arange(total) + np.repeat(firsts - offs, counts)      # line indexes
    out["line"] = index + 1
    files = np.repeat(np.array([r[2] for r in found.rows], np.uint8), counts)
    out["file"] = files
    lo = np.full(total, min(found.i, found.j), np.uint8)
    hi = np.full(total, max(found.i, found.j), np.uint8)
    errors = _Errors()
    lay = _rows.layout(pw, estimates)
    if isinstance(lines, LazyLines):
        # Every block at one stride already; of the usual length or not at all.
        blocks = lines.blocks
        if any(stride - 1 - cr != width for _, _, _, stride, cr in blocks) or \
                len({b[3] for b in blocks}) > 1:
            raise NeedExact
        stride = blocks[0][3]
        uniform = [(b[2], b[1], o) for b, o in zip(blocks, offs[counts > 0].tolist())]
        odd = []
    else:
        start = lines.starts[index]
        end = lines.lf[index]
        stride = width + 1 + int(end[0] > start[0] and lines.raw[int(end[0]) - 1] == 13)
        # A row of the usual shape: its line end stride - 1 bytes on, the
        # character before it CR exactly when the stride says so.
        good = end - start == stride - 1
        good &= lines.data[end - 1] == 13 if stride == width + 2 else lines.data[end - 1] != 13
        if good.all():
            uniform = [(s, n, o) for s, n, o in zip(start[np.minimum(offs, total - 1)].tolist(),
                                                    counts.tolist(), offs.tolist()) if n]
            odd = []
        else:
            bad_before = np.concatenate([[0], np.cumsum(~good)])[np.append(offs, total)].tolist()
            uniform, odd = [], []
            for b, (o, n) in enumerate(zip(offs.tolist(), counts.tolist())):
                if n and bad_before[b + 1] == bad_before[b]:
                    uniform.append((int(start[o]), n, o))
                elif n:
                    odd.append(np.arange(o, o + n))
    data, raw = lines.data, lines.raw
    if (uniform and batch is not None and total * stride < _JOIN
            and not isinstance(lines.raw, Reused)):      # a buffer used again
        where = (np.arange(total) if not odd else
                 np.concatenate([np.arange(o, o + n) for _, n, o in uniform]))
        batch.add(b"".join(raw[s:s + n * stride] for s, n, _ in uniform), stride,
                  where, lo, hi, files, index, lines)
        uniform = []
    if uniform:
        if total * stride < _JOIN and len(uniform) > 1:
            joined = b"".join(raw[s:s + n * stride] for s, n, _ in uniform)
            a = np.frombuffer(joined, np.uint8).reshape(-1, stride)[:, :width]
            where = (np.arange(total) if not odd else
                     np.concatenate([np.arange(o, o + n) for _, n, o in uniform]))
            pieces = [(a, where)]
        else:
            pieces = [(data[s:s + n * stride].reshape(n, stride)[:, :width], np.arange(o, o + n))
                      for s, n, o in uniform]
        for a, where in pieces:
            dest = slice(int(where[0]), int(where[-1]) + 1) \
                if where[-1] - where[0] + 1 == len(where) else where
            _convert(a, lay, out, dest, where, lo, hi, files, index, lines, errors)
    if odd:
        odd = np.concatenate(odd)
        std = odd[good[odd]]
        if len(std):
            a = data[start[std][:, None] + np.arange(width)]
            _convert(a, lay, out, std, std, lo, hi, files, index, lines, errors)
        _odd_shapes(odd[~good[odd]], pw, estimates, out, lo, hi, files, index, start,
                    lines, errors)
    if errors.first:
        k, why, text, lay = errors.first
        what = _rows.problem(text, lay or _rows.Layout(pw, estimates), (int(lo[0]), int(hi[0])),
                             int(files[index == k][0]), why)
        if what == "not a row line":
            what = f"not a row line of {program}" + (" with the estimate column" if estimates else "")
        lines.fail(k, what, text)
    return out


class Batch:
    """Rows of the usual shape from several small files, read at once into
    out; each file's part is added with its rows' places in out."""

    def __init__(self, out, program, estimates, size=8192):
        self.out, self.program, self.estimates, self.size = out, program, estimates, size
        self.width = PROGRAM_TABLE[program].row_width(estimates)
        self.layout = _rows.layout(PROGRAM_TABLE[program].period_width, estimates)
        self.parts, self.rows = [], 0

    def add(self, joined, stride, where, lo, hi, files, index, lines):
        """where: the part's rows among lo, hi, files, index; their places
        in out are base + where, base the start of the file's slice."""
        base = lines.base
        self.parts.append((joined, stride, base + where, lo[where], hi[where], files[where],
                           index[where], lines))
        self.rows += len(where)
        if self.rows >= self.size:
            self.flush()

    def flush(self):
        parts, self.parts, self.rows = self.parts, [], 0
        for stride in {p[1] for p in parts}:
            group = [p for p in parts if p[1] == stride]
            a = np.frombuffer(b"".join(p[0] for p in group), np.uint8).reshape(-1, stride)
            where = np.concatenate([p[2] for p in group])
            dest = slice(int(where[0]), int(where[-1]) + 1) \
                if where[-1] - where[0] + 1 == len(where) else where
            bad = _rows.convert(a[:, :self.width], self.layout, self.out, dest,
                                *(np.concatenate([p[k] for p in group]) for k in (3, 4, 5)))
            if bad is not None:
                r = bad[0]
                for p in group:
                    if r < len(p[2]):
                        k, lines = int(p[6][r]), p[7]
                        text = lines.line(k)
                        pair = (int(p[3][r]), int(p[4][r]))
                        what = _rows.problem(text, self.layout, pair, int(p[5][r]), bad[1])
                        if isinstance(lines, LazyLines):
                            self._exactly(lines.path, lines.raw)
                        lines.fail(k, what, text)
                    r -= len(p[2])


    def _exactly(self, path, raw):
        """Reads a file whose rows were found damaged again with every line
        end known, for the report of Lines (it raises Damage)."""
        lines = Lines(path, raw)
        found = walk(lines, Walk())
        read_rows(lines, found, self.program, self.estimates, self.out.dtype)


def _convert(a, lay, out, dest, where, lo, hi, files, index, lines, errors):
    bad = _rows.convert(a, lay, out, dest, lo[where], hi[where], files[where])
    if bad is not None:
        r = int(where[bad[0]])
        errors.note(int(index[r]), bad[1], lines.line(int(index[r])), lay)


def _odd_shapes(rows, pw, estimates, out, lo, hi, files, index, start, lines, errors):
    """Rows not of the usual length: each read by its own shape."""
    shapes = {}
    for r in rows.tolist():
        k = int(index[r])
        text = lines.line(k)
        lay = _rows.shape_of(text.encode("latin-1"), pw, estimates)
        if lay is None:
            errors.note(k, None, text, None)
            continue
        shapes.setdefault(lay.key, (lay, []))[1].append(r)
    for lay, members in shapes.values():
        members = np.array(members)
        if lay.amp_extra:
            _widen(out, 23 + lay.amp_extra)
        a = lines.data[start[members][:, None] + np.arange(lay.width)]
        _convert(a, lay, out, members, members, lo, hi, files, index, lines, errors)


def _widen(out, width):
    """Widens the amplitude text field of out (in place of its data) when
    narrower than width."""
    if out.dtype["amp_text"].itemsize < width:
        raise _Wider(width)


class _Wider(Exception):
    """The amplitude texts need a wider field: read again with it."""

    def __init__(self, width):
        super().__init__(width)
        self.width = width


def read_rows_any_width(lines, found, program, estimates, make_dtype):
    """read_rows with the amplitude text field as wide as the rows need."""
    width = 23
    while True:
        try:
            return read_rows(lines, found, program, estimates, make_dtype(width))
        except _Wider as wider:
            width = wider.width


Wider = _Wider
