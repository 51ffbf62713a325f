"""The rows of read_pair and read_folder as a pandas DataFrame or an astropy
Table: one plain column per value, MEC and MAR split into mec1..mec6 and
mar1..mar6, texts as str, the period in Julian years.

pandas and astropy are optional (Debian's python3-pandas and
python3-astropy): they are imported when these functions are called, and
their absence is an ImportError that names the Debian package.
"""

from __future__ import annotations

import importlib
from collections.abc import Mapping
from typing import TYPE_CHECKING, Any

import numpy as np

from ._version import __version__

if TYPE_CHECKING:
    import astropy.table
    import pandas

#: Debian's package of each optional module.
DEBIAN_PACKAGES = {"pandas": "python3-pandas", "astropy": "python3-astropy",
                   "fitsio": "python3-fitsio", "matplotlib": "python3-matplotlib"}

#: Fields whose values are in Julian years.
YEAR_FIELDS = ("period",)


def need(module: str, what: str) -> Any:
    """Imports module (a dotted name) for what, or raises an ImportError
    that names the Debian package to install."""
    top = module.split(".")[0]
    try:
        return importlib.import_module(module)
    except ImportError as e:
        raise ImportError(f"{what} needs {top}, which this Python does not have "
                          f"(Debian: apt-get install {DEBIAN_PACKAGES.get(top, top)})") from e


def describe(rows: np.ndarray, info: Any = None, settings: Mapping[str, str] | None = None,
             program: str | None = None) -> tuple[str | None, dict[str, str]]:
    """(program, settings) of rows: the program named, else the settings',
    else info's; the settings given, else info's (PairInfo.settings)."""
    if settings is None:
        settings = getattr(info, "settings", None) or {}
    settings = {str(k): str(v) for k, v in settings.items()}
    program = program or settings.get("program") or getattr(info, "program", None)
    return program, settings


def flat_columns(rows: np.ndarray, info: Any = None) -> list[tuple[str, np.ndarray]]:
    """The columns of rows as (name, 1-D array), in the order of the fields:
    a field of several values (mec, mar) as name1, name2, ...; i and j
    first, from info when rows have no such fields."""
    names = rows.dtype.names
    if names is None:
        raise TypeError("rows must be a structured array from read_pair or read_folder")
    out = []
    if "i" not in names and "j" not in names and info is not None:
        n = len(rows)
        out += [("i", np.full(n, info.i, np.uint8)), ("j", np.full(n, info.j, np.uint8))]
    for name in names:
        values = rows[name]
        if values.ndim == 1:
            out.append((name, values))
        else:
            out += [(f"{name}{k + 1}", np.ascontiguousarray(values[:, k]))
                    for k in range(values.shape[1])]
    return out


def _text(values: np.ndarray) -> np.ndarray:
    """bytes of ASCII text as str, without a Python loop."""
    return values.astype(f"U{values.dtype.itemsize}")


def to_pandas(rows: np.ndarray, info: Any = None, settings: Mapping[str, str] | None = None,
              program: str | None = None) -> "pandas.DataFrame":
    """The rows as a pandas DataFrame, one row per row line.

    Columns: i and j when the rows have them (read_folder) or info gives
    them (the PairInfo of read_pair), then line, file, npa, npb, amp (and
    amp_lo, est where read), amp_text, mec1..mec6, mar1..mar6, code and
    period (Julian years) where the program writes one; texts as str.
    DataFrame.attrs holds "program", "settings" and "version", the
    version of pairterms.
    """
    pd = need("pandas", "to_pandas")
    program, settings = describe(rows, info, settings, program)
    data = {}
    for name, values in flat_columns(rows, info):
        data[name] = _text(values) if values.dtype.kind == "S" else values
    frame = pd.DataFrame(data, copy=True)
    frame.attrs.update(program=program, settings=settings, version=__version__)
    return frame


def to_table(rows: np.ndarray, info: Any = None, settings: Mapping[str, str] | None = None,
             program: str | None = None) -> "astropy.table.Table":
    """The rows as an astropy Table, with the columns of to_pandas: the
    period in Julian years (unit yr), the planets and the exponents plain
    integer columns. Table.meta holds "program" (when known), "version"
    (of pairterms) and "settings", the settings file's values (when
    given, or info.settings)."""
    table_module = need("astropy.table", "to_table")
    units = need("astropy.units", "to_table")
    program, settings = describe(rows, info, settings, program)
    table = table_module.Table()
    for name, values in flat_columns(rows, info):
        if values.dtype.kind == "S":
            values = _text(values)
        table[name] = table_module.Column(np.array(values, copy=True), name=name,
                                          unit=units.yr if name in YEAR_FIELDS else None)
    if program:
        table.meta["program"] = program
    table.meta["version"] = __version__
    if settings:
        table.meta["settings"] = dict(settings)
    return table
