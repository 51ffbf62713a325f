"""Reader of termcuts' table: how many terms each program writes for each
pair at each threshold, and what the cut drops (docs/FORMATS.md section
8). The settings files are read by pairterms.settings.
"""

from __future__ import annotations

import os
import re
from dataclasses import dataclass, field

import numpy as np

from .reader import PROGRAMS

#: The pairs in the order of the tables: I = 1..8, J = 1..8, J != I.
PAIRS = tuple((i, j) for i in range(1, 9) for j in range(1, 9) if i != j)

#: The default amplitude threshold of termshort and termall.
DEFAULT_THRESHOLD = 1e-16

_DECIMAL = re.compile(r"\+?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")
_AMPLITUDE = re.compile(r"\d\.\d{16}e[+-]\d{2,}")
_HEAD1 = re.compile(r"# termcuts (\S+?):? .*|# termcuts (\S+)")


@dataclass(frozen=True)
class CutsInfo:
    """What a termcuts table says besides its rows."""
    path: str
    version: str                  # the version of termcuts that wrote it
    series: str                   # the series folder, as written
    settings: dict = field(default_factory=dict)   # name -> value of the second line
    programs: tuple = ()          # the programs, in the order of the table
    thresholds: dict = field(default_factory=dict)  # program -> threshold texts; () none


def cuts_dtype(program_width: int = 9, threshold_width: int = 17) -> np.dtype:
    """dtype of the records read_cuts returns."""
    return np.dtype([
        ("line", "u4"),                      # line number in the file, from 1
        ("program", f"U{program_width}"),
        ("i", "u1"),
        ("j", "u1"),
        ("threshold_text", f"U{threshold_width}"),  # as given; "-" for none
        ("threshold", "f8"),                 # nan: the program has no threshold
        ("kept", "i8"),
        ("dropped_text", "U32"),             # as written; "-" for none
        ("dropped", "f8"),                   # nan where the program drops nothing
    ])


def _lines(path):
    with open(path, "rb") as f:
        raw = f.read()
    if not raw:
        raise ValueError(f"{path} line 1: the file is empty")
    if not raw.endswith(b"\n"):
        k = raw.count(b"\n") + 1
        raise ValueError(f"{path} line {k}: the file ends inside this line (no line end)")
    text = raw.decode("latin-1").split("\n")[:-1]
    return [t[:-1] if t.endswith("\r") else t for t in text]


def _fail(path, k, what, line=None):
    if line is not None:
        what += f": {line[:117] + '...' if len(line) > 120 else line!r}"
    raise ValueError(f"{path} line {k}: {what}")


def _head(path, lines):
    if len(lines) < 3:
        _fail(path, len(lines) + 1, "the file ends before its three head lines")
    m = _HEAD1.fullmatch(lines[0])
    if not m:
        _fail(path, 1, "not the head line of a termcuts table", lines[0])
    version = m.group(1) or m.group(2)
    if not lines[1].startswith("# series "):
        _fail(path, 2, "not the line of the series folder and the settings", lines[1])
    series, _, rest = lines[1][len("# series "):].rpartition("; ")
    settings = {}
    for item in rest.split(", ") if rest else ():
        name, _, value = item.partition(" ")
        if not name or not value or " " in value:
            _fail(path, 2, f"the setting {item!r} is not NAME VALUE", lines[1])
        settings[name] = value
    if lines[2].split()[:6] != ["#", "program", "I", "J", "threshold", "kept"]:
        _fail(path, 3, "not the column heading of a termcuts table", lines[2])
    return version, series or rest, settings


def _fields(path, k, line):
    """(program, i, j, threshold text, threshold, kept, dropped text, dropped),
    the fields of cuts_dtype after line."""
    parts = line.split()
    if len(parts) != 6:
        _fail(path, k, f"{len(parts)} fields, not the six of a row "
                       f"(program, I, J, threshold, kept, dropped)", line)
    program, i, j, threshold, kept, dropped = parts
    if program not in PROGRAMS:
        _fail(path, k, f"{program!r} is not one of {', '.join(PROGRAMS)}", line)
    if not (re.fullmatch(r"[1-8]", i) and re.fullmatch(r"[1-8]", j) and i != j):
        _fail(path, k, f"I {i} and J {j} are not a pair of planets 1..8", line)
    if threshold == "-":
        value = np.nan
    elif _DECIMAL.fullmatch(threshold) and 0 < float(threshold) < np.inf:
        value = float(threshold)
    else:
        _fail(path, k, f"the threshold {threshold!r} is not a positive number or -", line)
    if not re.fullmatch(r"\d{1,18}", kept):
        _fail(path, k, f"kept {kept!r} is not a count", line)
    if dropped == "-":
        lost = np.nan
    elif _AMPLITUDE.fullmatch(dropped):
        lost = float(dropped)
    else:
        _fail(path, k, f"dropped {dropped!r} is neither d.dddddddddddddddde+dd nor -", line)
    if (threshold == "-") != (dropped == "-"):
        _fail(path, k, "a threshold of - goes with dropped - and only with it", line)
    return program, int(i), int(j), threshold, value, int(kept), dropped, lost


def read_cuts(path: str | os.PathLike) -> tuple[np.ndarray, CutsInfo]:
    """Reads the table that termcuts writes (docs/FORMATS.md section 8).

    Returns (rows, info): rows a structured array (cuts_dtype), one
    record per row line in file order, with the fields line, program, i,
    j, threshold_text, threshold (its value; nan for "-"), kept,
    dropped_text and dropped (its value; nan for "-"); info a CutsInfo. Every program's rows must be
    complete: its 56 pairs in order, each with the thresholds of pair 1-2
    in the same order (one line with "-" for a program without amplitude
    test), the programs one after the other in the order of PROGRAMS. Raises ValueError naming the
    file and the line otherwise.
    """
    path = os.fspath(path)
    lines = _lines(path)
    version, series, settings = _head(path, lines)
    if len(lines) == 3:
        _fail(path, 4, "no row line after the head lines")
    records = [(k,) + _fields(path, k, line) for k, line in enumerate(lines[3:], 4)]
    thresholds = {}
    start = 0
    while start < len(records):
        program = records[start][1]
        k = records[start][0]
        if program in thresholds:
            _fail(path, k, f"the rows of {program} are not together", lines[k - 1])
        order = list(PROGRAMS)
        if thresholds and order.index(program) < order.index(list(thresholds)[-1]):
            _fail(path, k, f"{program} after {list(thresholds)[-1]}: the programs come "
                           f"in the order {', '.join(order)}", lines[k - 1])
        end = start
        while end < len(records) and records[end][1] == program:
            end += 1
        thresholds[program] = _check_program(path, lines, records[start:end])
        start = end
    width_p = max(9, max(len(r[1]) for r in records))
    width_t = max(17, max(len(r[4]) for r in records))
    rows = np.zeros(len(records), cuts_dtype(width_p, width_t))
    for name, column in zip(rows.dtype.names, zip(*records)):
        rows[name] = column
    info = CutsInfo(path, version, series, settings, tuple(thresholds),
                    {p: () if t == ("-",) else t for p, t in thresholds.items()})
    return rows, info


def _check_program(path, lines, block):
    """The threshold texts of one program's records, checked: its 56 pairs
    in order, each with the thresholds of the first in the same order."""
    program = block[0][1]
    texts = []
    for rec in block:
        if (rec[2], rec[3]) != PAIRS[0]:
            break
        if rec[4] in texts:
            _fail(path, rec[0], f"the threshold {rec[4]} twice for pair 1-2", lines[rec[0] - 1])
        texts.append(rec[4])
    if not texts:
        k = block[0][0]
        _fail(path, k, f"the rows of {program} begin with pair {block[0][2]}-{block[0][3]}, "
                       f"not 1-2", lines[k - 1])
    if "-" in texts and len(texts) > 1:
        k = block[texts.index("-")][0]
        _fail(path, k, "a threshold of - beside others", lines[k - 1])
    for n, rec in enumerate(block):
        pair, slot = divmod(n, len(texts))
        k, line = rec[0], lines[rec[0] - 1]
        if pair >= len(PAIRS):
            _fail(path, k, f"a row after the 56 pairs of {program}", line)
        if (rec[2], rec[3]) != PAIRS[pair] or rec[4] != texts[slot]:
            want = f"pair {PAIRS[pair][0]}-{PAIRS[pair][1]}, threshold {texts[slot]}"
            _fail(path, k, f"pair {rec[2]}-{rec[3]}, threshold {rec[4]} where {want} "
                           f"is expected", line)
    if len(block) < len(PAIRS) * len(texts):
        n = len(block)
        pair = PAIRS[n // len(texts)]
        k = block[-1][0] + 1
        _fail(path, k, f"the rows of {program} end before pair {pair[0]}-{pair[1]}, "
                       f"threshold {texts[n % len(texts)]}",
              lines[k - 1] if k <= len(lines) else None)
    return tuple(texts)

