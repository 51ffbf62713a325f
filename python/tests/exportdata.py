"""Rows of the conformance sets as read_folder gives them (i and j added),
with amp_lo, for the export tests, and the checks of their round trips."""

import glob
import os
import re

import numpy as np

import pairterms
from conftest import DATA

#: Optional modules and, when the tests are run by tools/run-tests (which
#: names PAIRTERMS_BUILD and installs them), whether they must be there.
REQUIRED = bool(os.environ.get("PAIRTERMS_BUILD"))


def amp_lo_of(amp, text):
    """amp_lo as the reader gives it: the extended value of text minus amp,
    where both are float64 normal numbers (0 elsewhere), taken from
    numpy's longdouble where it is the x87 type; 0 on other machines."""
    if (np.finfo(np.longdouble).nmant != 63 or not np.isfinite(amp)
            or abs(amp) < np.finfo(np.float64).tiny):
        return 0.0
    return float(np.longdouble(text.decode()) - np.longdouble(amp))


def with_amp_lo(rows):
    """rows with an amp_lo field after amp (computed here when the reader
    gives none)."""
    if "amp_lo" in rows.dtype.names:
        return rows
    fields = []
    for name in rows.dtype.names:
        fields.append((name, rows.dtype.fields[name][0]))
        if name == "amp":
            fields.append(("amp_lo", "f8"))
    out = np.zeros(len(rows), fields)
    for name in rows.dtype.names:
        out[name] = rows[name]
    out["amp_lo"] = [amp_lo_of(a, t) for a, t in zip(rows["amp"], rows["amp_text"])]
    return out


def folder_rows(folder):
    """The per-pair files of one program's folder in one array, i and j
    first, as read_folder gives them; settings of its settings file."""
    parts = []
    for path in sorted(glob.glob(os.path.join(folder, "r???[0-9][0-9][0-9][0-9].txt"))):
        rows, info = pairterms.read_pair(path)
        rows = with_amp_lo(rows)
        both = np.zeros(len(rows), [("i", "u1"), ("j", "u1")] + rows.dtype.descr)
        both["i"], both["j"] = info.i, info.j
        for name in rows.dtype.names:
            both[name] = rows[name]
        parts.append(both)
    return np.concatenate(parts)


def conformance_sets():
    """{set: {program: rows}} for every conformance set."""
    sets = {}
    for folder in sorted(glob.glob(os.path.join(DATA, "*", "expected", "*"))):
        if re.fullmatch(r"term\w+", os.path.basename(folder)):
            name = os.path.basename(os.path.dirname(os.path.dirname(folder)))
            sets.setdefault(name, {})[os.path.basename(folder)] = folder_rows(folder)
    return sets


def same_rows(got, want):
    """Every field of got holds the bits of want's (field by field, so that
    -0.0 and nan compare by their bits)."""
    assert got.dtype.names == want.dtype.names
    assert len(got) == len(want)
    for name in want.dtype.names:
        a, b = np.ascontiguousarray(got[name]), np.ascontiguousarray(want[name])
        assert a.dtype == b.dtype, name
        assert a.tobytes() == b.tobytes(), name


def rebuild(columns, dtype):
    """A structured array of dtype from flat columns (name -> 1-D array):
    name1..nameN into a field of N values, str back to bytes. Refuses a
    column whose values the field's type does not hold as they are."""
    out = np.zeros(len(next(iter(columns.values()))), dtype)
    for name in dtype.names:
        kind = dtype.fields[name][0]
        if kind.shape:
            values = np.stack([np.asarray(columns[f"{name}{k + 1}"])
                               for k in range(kind.shape[0])], 1)
        else:
            values = np.asarray(columns[name])
            if values.dtype.kind in "OU":
                values = np.char.encode(np.array(values.tolist(), "U"), "ascii")
        assert values.dtype.kind == kind.base.kind, (name, values.dtype, kind)
        out[name] = values
        if kind.base.kind != "f":
            assert np.array_equal(out[name], values), name
    return out
