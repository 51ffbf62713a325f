"""The columns of a row line (docs/FORMATS.md section 3, and section 7 for
the estimate): ROW_COLUMNS is the one table of the row line's layout, and
every reader of row lines takes its columns from it."""

from typing import NamedTuple


class Column(NamedTuple):
    """Columns first..last (counted from 1) of a row line whose fields all
    fit, and what they hold."""
    name: str
    first: int
    last: int
    kind: str       # planet, blank, amplitude, int, code, period, estimate


def _integers(part, first):
    return tuple(Column(f"{part}{k + 1}", first + 4 * k, first + 4 * k + 3, "int")
                 for k in range(6))


#: The row line of every program, up to its code letter.
ROW_COLUMNS = (
    Column("npa", 1, 3, "planet"),
    Column("npb", 4, 6, "planet"),
    Column("gap", 7, 7, "blank"),
    Column("amp", 8, 31, "amplitude"),      # blank, sign, d.(16 digits), e, sign, 2 digits
    Column("gap", 32, 32, "blank"),
    *_integers("mec", 33),
    Column("gap", 57, 57, "blank"),
    *_integers("mar", 58),
    Column("gap", 82, 83, "blank"),
    Column("code", 84, 84, "code"),
)
#: After the code: the period (programs with a period column, its width
#: from programs.tsv), then the estimate (section 7), each after two blanks.
PERIOD_GAP = 2
ESTIMATE_WIDTH = 24             # two blanks, then d.(16 digits)e+dd, or none/inf


def row_columns(period_width, estimates=False):
    """The columns of a row line with a period of period_width (0: none)
    and with or without the estimate column."""
    cols = list(ROW_COLUMNS)
    end = cols[-1].last
    if period_width:
        cols += [Column("gap", end + 1, end + PERIOD_GAP, "blank"),
                 Column("period", end + PERIOD_GAP + 1, end + PERIOD_GAP + period_width, "period")]
        end = cols[-1].last
    if estimates:
        cols.append(Column("est", end + 1, end + ESTIMATE_WIDTH, "estimate"))
    return tuple(cols)


def column(name, cols=ROW_COLUMNS):
    """The Column of that name."""
    return next(c for c in cols if c.name == name)
