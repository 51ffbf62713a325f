"""The amplitudes of rows exactly: their text, and the extended value it
stands for."""

import numpy as np

from . import _exact
from ._columns import decimals

#: Whether numpy's longdouble is the x87 extended type here.
LONGDOUBLE_IS_X87 = _exact.IS_X87


def exact_amplitudes(rows: np.ndarray, field: str = "amp") -> "tuple[list[str], np.ndarray | None]":
    """The exact amplitudes of rows (records of read_pair or read_folder).

    Returns (texts, values): texts the amplitudes as written (with their
    sign), the exact record; values a numpy longdouble array of the
    extended values nearest to them (the values the programs read back),
    where numpy's longdouble is the x87 type, else None. For the estimate
    column, field="est" (its none and inf markers give nan and inf).
    """
    texts = [t.decode("ascii") for t in rows[f"{field}_text"]]
    if not LONGDOUBLE_IS_X87:
        return texts, None
    hi, lo = rows[field], rows[f"{field}_lo"] if field == "amp" else np.zeros(len(rows))
    # Where hi is normal and not tiny, lo is exact and the sum of the two
    # in the x87 type is the extended value itself.
    simple = np.isfinite(hi) & (np.abs(hi) >= 2.0 ** -958) if field == "amp" else np.zeros(len(rows), bool)
    values = hi.astype(np.longdouble) + lo.astype(np.longdouble)
    for r in np.flatnonzero(~simple):
        text = texts[r]
        if text in ("none", "inf"):
            values[r] = np.nan if text == "none" else np.inf
            continue
        f = np.frombuffer(text.rjust(len(text) + (text[0] != "-")).encode(), np.uint8)[None, :]
        m, q, neg, ok = decimals(f, np.ascontiguousarray(f.T))
        ext = _exact.exact_pair(int(m[0]), int(q[0]), bool(neg[0]))[2]
        values[r] = _exact.ext_value(ext, bool(neg[0]))
    return texts, values
