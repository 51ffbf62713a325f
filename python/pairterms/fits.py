"""The rows of read_pair and read_folder as a FITS file: one binary table
per program, for TOPCAT, astropy.io.fits, fitsio and the like.

Each table has the columns of to_pandas (export.py), the amplitude as two
D columns, amp and amp_lo (their sum, a double-double, is the exact
extended value), beside its text amp_text. Its header holds the program,
the settings of the run that wrote the tables and the version of
pairterms, in keywords of at most 8 characters. Written with astropy
(Debian's python3-astropy), with checksums (CHECKSUM, DATASUM) and
without the date, so that the same rows give the same file.
"""

from __future__ import annotations

import os
from collections.abc import Mapping
from typing import Any

import numpy as np

from ._version import __version__
from .export import YEAR_FIELDS, describe, flat_columns, need

#: Setting of the settings file: (keyword, comment).
SETTING_KEYWORDS = {
    "program": ("PROGRAM", "the program that wrote the rows"),
    "version": ("TABVERS", "the version of the program that wrote them"),
    "threshold": ("THRESHLD", "amplitude threshold, as given"),
    "period-cut": ("PERCUT", "period cut, Julian years, as given"),
    "max-order": ("MAXORDER", "termshort's order limit"),
    "order-bound": ("ORDBOUND", "order bound of the amplitude estimate"),
    "estimates": ("ESTIMATE", "rows carry the estimate column"),
}

#: numpy type (kind, size): FITS format letter and zero point of unsigned ones.
_FORMATS = {
    ("u", 1): ("B", None), ("i", 2): ("I", None), ("u", 2): ("I", 1 << 15),
    ("i", 4): ("J", None), ("u", 4): ("J", 1 << 31), ("i", 8): ("K", None),
    ("f", 4): ("E", None), ("f", 8): ("D", None), ("b", 1): ("L", None),
}

_COMMENTS = {
    "i": "perturbed planet I", "j": "perturbing planet J",
    "line": "line number in the per-pair file", "file": "series file N",
    "npa": "NPA", "npb": "NPB", "amp": "amplitude, nearest float64",
    "amp_lo": "amp + amp_lo is the exact extended value",
    "amp_text": "amplitude as written", "code": "S or C as written",
    "period": "period, Julian years", "est": "amplitude estimate |A|",
    "est_text": "|A| as written",
}


def _column(fits: Any, name: str, values: np.ndarray) -> Any:
    kind, size = values.dtype.kind, values.dtype.itemsize
    if kind == "S":
        return fits.Column(name=name, format=f"{max(size, 1)}A", array=values)
    if (kind, size) not in _FORMATS:
        raise TypeError(f"column {name}: no FITS format for {values.dtype}")
    letter, zero = _FORMATS[kind, size]
    unit = "yr" if name in YEAR_FIELDS else None
    return fits.Column(name=name, format=letter, bzero=zero, unit=unit, array=values)


def _settings_cards(settings: Mapping[str, str]) -> list[tuple[str, str, str]]:
    cards, other = [], 0
    for name, value in settings.items():
        if name in SETTING_KEYWORDS:
            key, comment = SETTING_KEYWORDS[name]
            cards.append((key, value, comment))
        else:
            other += 1
            cards.append((f"SETTNG{other}", f"{name} {value}", "a setting: name value"))
    return cards


def write_fits(path: str | os.PathLike, rows: np.ndarray | Mapping[str, np.ndarray],
               info: Any = None, settings: Mapping[str, Any] | None = None,
               overwrite: bool = False) -> list[str]:
    """Writes rows into a FITS file at path: one binary table per program.

    rows is one structured array (from read_folder, with its i and j
    columns, or from read_pair with its PairInfo as info), or a dict
    program -> array, as read_folder gives for a run's folder. settings:
    the settings file's values (a dict name -> value, or for a dict of
    rows a dict program -> such a dict); by default info.settings. Each
    table is named by its program (EXTNAME), has the columns of to_pandas
    with i and j, the amplitude as the D columns amp and amp_lo and the
    text amp_text, and the keywords PROGRAM, PTVERS (this version of
    pairterms) and one per setting (THRESHLD, PERCUT, MAXORDER, ORDBOUND,
    TABVERS, ESTIMATE). Returns the names of the tables written.
    Raises ValueError for rows without i and j and no info, FileExistsError
    (an OSError) when path exists and overwrite is false.
    """
    fits = need("astropy.io.fits", "write_fits")
    parts = dict(rows) if isinstance(rows, Mapping) else {None: rows}
    primary = fits.PrimaryHDU()
    primary.header["ORIGIN"] = ("pairterms", "written by pairterms.write_fits")
    primary.header["PTVERS"] = (__version__, "version of pairterms")
    hdus, names = [primary], []
    for key, part in parts.items():
        given = settings
        if isinstance(rows, Mapping) and settings is not None:
            given = settings.get(key)
        program, values = describe(part, info, given, key)
        columns = flat_columns(part, info)
        if not {"i", "j"} <= {name for name, _ in columns}:
            raise ValueError("rows without i and j columns: give the PairInfo of "
                             "read_pair as info, or rows from read_folder")
        table = fits.BinTableHDU.from_columns(
            [_column(fits, name, data) for name, data in columns],
            name=(program or "TERMS").upper())
        header = table.header
        for n, (name, _) in enumerate(columns, 1):
            if name in _COMMENTS:
                header.comments[f"TTYPE{n}"] = _COMMENTS[name]
        if program and "program" not in values:
            header["PROGRAM"] = (program, SETTING_KEYWORDS["program"][1])
        for card in _settings_cards(values):
            header[card[0]] = card[1:]
        header["PTVERS"] = (__version__, "version of pairterms")
        hdus.append(table)
        names.append(table.name)
    for hdu in hdus:
        # Checksums without the time of writing: the same rows give the
        # same file.
        hdu.add_checksum(when="checksum, as FITS defines it")
    fits.HDUList(hdus).writeto(os.fspath(path), overwrite=overwrite, checksum=False)
    return names
