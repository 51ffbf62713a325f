"""Readers of the per-pair files and count tables of termshort, termsecul
and termall (layouts in docs/FORMATS.md).

A per-pair file is read whole. Its head, block and closing lines are walked
one by one (_structure); its row lines are read by column, many at once
(_pairrows, _rows, _columns). Every damage raises ValueError naming the
file and the line.
"""

import os
import re
from dataclasses import dataclass, field

import numpy as np

from . import _lines, _pairrows, _structure
from ._programs import PROGRAM_TABLE, PROGRAMS, by_prefix, by_row_width
from ._rows import row_dtype as _row_dtype
from ._lines import Damage
from ._structure import BLOCK_DTYPE
from .settings import read_settings

__all__ = ["BLOCK_DTYPE", "PROGRAMS", "PairInfo", "read_counts", "read_pair", "row_dtype"]


def row_dtype(period: bool, text_width: int = 23, estimates: bool = False,
              pair: bool = False) -> np.dtype:
    """dtype of the records read_pair (pair=False) and read_folder
    (pair=True: the pair's i and j first) return."""
    return _row_dtype(period, text_width, estimates, pair)


@dataclass(frozen=True)
class PairInfo:
    """What a per-pair file says besides its rows."""
    path: str
    program: str        # "termshort", "termsecul" or "termall"
    i: int              # perturbed planet, from the file's head line
    j: int              # perturbing planet, from the file's head line
    blocks: np.ndarray  # BLOCK_DTYPE, the complete blocks in file order
    k: int              # row lines of the file (closing line, else read)
    closed: bool        # False: no closing line, the run that wrote it failed
    settings: dict = field(default_factory=dict)   # the folder's PREFIX.settings
    estimates: bool = False                        # rows carry est, est_text

    def check_name(self) -> None:
        """Raises ValueError when the file's name (PREFIXIIJJ.txt) names
        another pair or another program than its content."""
        check_name(self.path, self.program, self.i, self.j)


def check_name(path: "str | os.PathLike", program: str, i: int, j: int) -> None:
    """Raises ValueError when the name of the per-pair file at path is a
    per-pair file's name (PREFIXIIJJ.txt, of any program) that disagrees
    with its content (program, pair I-J). Other names pass."""
    path = os.fspath(path)
    name = os.path.basename(path)
    prefix = PROGRAM_TABLE[program].prefix
    named = by_prefix(name)
    if named and name != PROGRAM_TABLE[named].table and (
            named != program or name[len(prefix):len(prefix) + 4] != f"{i:02d}{j:02d}"):
        raise ValueError(f"{path} line 1: the file holds pair {i}-{j} of {program} "
                         f"({prefix}{i:02d}{j:02d}.txt), not what its name says")


def _read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


_REUSE = 1 << 23        # files of this many bytes and more: read into one buffer


def read_into(path, holder):
    """The bytes of the file at path: a large one read into holder[0] (a
    bytearray, replaced by a larger one as needed, used again for the next
    file: large files are never left for a later batch), a small one as
    bytes of its own."""
    size = os.path.getsize(path)
    if size < _REUSE:
        return _read_bytes(path)
    if len(holder[0]) < size:
        holder[0] = bytearray(size)
    with open(path, "rb") as f:
        got = f.readinto(memoryview(holder[0])[:size])
    return _lines.Reused(holder[0], got)


def _program_of(lines, found, path):
    """The program of a file without a closing line: its name, else the
    length of its first row line."""
    program = by_prefix(os.path.basename(path))
    if program:
        return program
    if found.rows and found.rows[0][1]:
        text = lines.line(found.rows[0][0])
        m = re.search(r"e[+-](\d+) ", text)
        width = len(text) - (max(0, len(m[1]) - 2) if m else 0)
        fits = by_row_width(width)
        if len(fits) == 1:
            return fits[0][0]
    lines.fail(max(0, (lines.count or 1) - 1), "no closing line, and neither the name nor "
                                        "the rows tell which program wrote the file")


def _has_estimates(lines, found, program, settings):
    """Whether the rows carry the estimate column: the settings file says
    so; without one, the first row line's length does."""
    prog = PROGRAM_TABLE[program]
    if settings:
        return settings.get("estimates") == "yes"
    if not prog.amptest or not found.rows or not any(r[1] for r in found.rows):
        return False
    first = next(r[0] for r in found.rows if r[1])
    return len(lines.line(first).rstrip()) >= prog.row_width(True) - 4


def _settings_of(path, program):
    folder = os.path.dirname(path) or "."
    name = os.path.join(folder, PROGRAM_TABLE[program].settings_file)
    return read_settings(name) if os.path.exists(name) else {}


_LAZY = 1 << 20        # files of this many bytes and more: line ends not all found


def walked(path, raw):
    """(lines, walk) of a file: for a large one first without finding every
    line end (LazyLines), else, or when that finds something unusual, with
    them all (Lines)."""
    if len(raw) >= _LAZY:
        try:
            lines = _lines.LazyLines(path, raw)
            return lines, _structure.walk(lines, _structure.Walk())
        except _lines.NeedExact:
            pass
    lines = _lines.Lines(path, raw)
    return lines, _structure.walk(lines, _structure.Walk())


def read_one(path, pair=False):
    """read_pair, with the pair's columns when pair is true."""
    path = os.fspath(path)
    raw = _read_bytes(path)
    if len(raw) >= _LAZY:
        try:
            lines = _lines.LazyLines(path, raw)
            return _read_walked(path, lines, _structure.walk(lines, _structure.Walk()), pair)
        except _lines.NeedExact:
            pass
    lines = _lines.Lines(path, raw)
    found = _structure.Walk()
    try:
        _structure.walk(lines, found)
    except Damage as damage:
        _earlier_damage(lines, found, path, damage)
        raise
    return _read_walked(path, lines, found, pair)


def _read_walked(path, lines, found, pair):
    closed = found.program is not None
    program = found.program or _program_of(lines, found, path)
    settings = _settings_of(path, program)
    if settings.get("program", program) != program:
        raise ValueError(f"{path} line 1: a file of {program} beside the settings of "
                         f"{settings['program']}")
    est = _has_estimates(lines, found, program, settings)
    period = PROGRAM_TABLE[program].period_width > 0
    rows = _pairrows.read_rows_any_width(
        lines, found, program, est, lambda w: _row_dtype(period, w, est, pair))
    if pair:
        rows["i"], rows["j"] = found.i, found.j
    blocks = found.block_array()
    k = int(blocks["k"][-1]) if len(blocks) else 0
    return rows, PairInfo(path, program, found.i, found.j, blocks, k, closed, settings, est)


def read_pair(path: "str | os.PathLike") -> "tuple[np.ndarray, PairInfo]":
    """Reads one per-pair file (rohoIIJJ.txt, rocoIIJJ.txt, roboIIJJ.txt).

    Returns (rows, info): rows a structured array with one record per row
    line, in file order (fields: line, file, npa, npb, amp, amp_lo,
    amp_text, mec, mar, code; period for termshort and termsecul files; est
    and est_text where the rows carry the estimate column); info a
    PairInfo. Raises ValueError naming the file and the line when the file
    is damaged or ends inside a block. A file without its closing line, left
    by a run that failed, is read: info.closed is then False.
    """
    return read_one(path)


def _earlier_damage(lines, found, path, damage):
    """A line left out or added inside a block shows as a wrong line where
    the next block should start: reports a damaged row line before it
    instead, if there is one."""
    if not found.rows:
        return
    try:
        program = _program_of(lines, found, path)
        est = _has_estimates(lines, found, program, {})
        period = PROGRAM_TABLE[program].period_width > 0
        _pairrows.read_rows_any_width(lines, found, program, est,
                                      lambda w: _row_dtype(period, w, est))
    except Damage as earlier:
        if earlier.line < damage.line:
            raise earlier from None


# --- count tables ----------------------------------------------------------

def _table_layouts():
    layouts = {}
    for name, p in PROGRAM_TABLE.items():
        indent, number, after, label, cell, _ = p.layout
        heading = " " * indent + "".join(f"{y:{number}d}" + " " * after for y in range(1, 9))
        layouts[name] = (heading, label, cell)
    return layouts


_TABLES = _table_layouts()


def read_counts(path: "str | os.PathLike") -> "tuple[np.ndarray, np.ndarray]":
    """Reads a count table (rohotabl.txt, rocotabl.txt, robotabl.txt).

    Returns (counts, totals): counts an 8 x 8 int64 array, counts[I-1, J-1]
    the row lines of the file of planet I perturbed by J; totals the eight
    row totals. Raises ValueError naming the file and the line when the
    table is damaged.
    """
    path = os.fspath(path)
    lines = _lines.Lines(path, _read_bytes(path))
    heading = lines.line(0)
    layout = [p for p, (h, _, _) in _TABLES.items() if h == heading]
    if not layout:
        lines.fail(0, "not the heading line of a count table", heading)
    _, label, cell = _TABLES[layout[0]]
    counts = np.zeros((8, 8), np.int64)
    totals = np.zeros(8, np.int64)
    for x in range(1, 9):
        if not lines.exists(x):
            lines.fail(x - 1, f"the table ends before the row of planet {x}")
        line = lines.line(x)
        if line[:label + 2] != f"{x:{label}d}  ":
            lines.fail(x, f"not the row of planet {x}", line)
        values, pos, width = [], label + 2, cell
        for y in range(9):
            # A count fills its field or more, and a blank follows it.
            end = pos + width
            while y < 8 and end < len(line) and line[end] != " ":
                end += 1
            text = line[pos:end]
            if not re.fullmatch(r" *[0-9]+", text) or (len(text) > width and text[0] == " "):
                lines.fail(x, f"no count in columns {pos + 1}-{end}", line)
            if len(text.strip()) > 18:
                lines.fail(x, f"a count of {len(text.strip())} digits in columns "
                              f"{pos + 1}-{end}", line)
            values.append(int(text))
            pos = end + 1
            if y == 7:
                width = len(line) - pos   # the total ends the line
        counts[x - 1], totals[x - 1] = values[:8], values[8]
        if values[x - 1] != 0:
            lines.fail(x, f"planet {x} perturbed by itself has {values[x - 1]} rows", line)
        if sum(values[:8]) != values[8]:
            lines.fail(x, f"the row total {values[8]} is not the sum {sum(values[:8])}", line)
    if lines.exists(9):
        lines.fail(9, "text after the row of planet 8", lines.line(9))
    return counts, totals
