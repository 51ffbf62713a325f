"""The programs that write per-pair tables, read from programs.tsv, the one
list of them and of everything in which they differ."""

from dataclasses import dataclass
from importlib import resources
from typing import NamedTuple


@dataclass(frozen=True)
class Program:
    """One row of programs.tsv (its head comment says what each field is)."""
    name: str
    key: str
    unit: str
    prefix: str           # per-pair files PREFIXIIJJ.txt
    table: str            # the count table's file name
    closing: str          # the text of the closing line after K, I, J
    pairtotal: str
    planettotal: str
    orderfilter: bool
    amptest: bool         # series files 2..27 pass the amplitude test
    orderbound: int       # the estimate's order bound; 0: none
    select: str
    period_width: int     # the width of the period column; 0: none
    layout: tuple         # count table: heading indent, heading number,
                          # blanks after it, row number, count, total
    purpose: str

    @property
    def settings_file(self):
        """The name of the settings file of a run with other settings."""
        return self.prefix + ".settings"

    def row_width(self, estimates=False):
        """The length of a row line whose fields all fit."""
        return 84 + (self.period_width + 2 if self.period_width else 0) + (24 if estimates else 0)


class Files(NamedTuple):
    """What the readers need of a program: PROGRAMS[name]."""
    prefix: str
    closing: str
    period_width: int


def _fields(line):
    out = []
    for field in line.rstrip("\r\n").split("\t"):
        if len(field) >= 2 and field[0] == field[-1] == '"':
            field = field[1:-1]
        out.append(field)
    return out


def _load(text):
    rows = [line for line in text.splitlines() if line.strip() and not line.startswith("#")]
    head = _fields(rows[0])
    table = {}
    for line in rows[1:]:
        values = dict(zip(head, _fields(line), strict=True))
        program = Program(
            name=values["program"], key=values["key"], unit=values["unit"],
            prefix=values["prefix"], table=values["table"], closing=values["closing"],
            pairtotal=values["pairtotal"], planettotal=values["planettotal"],
            orderfilter=values["orderfilter"] == "yes", amptest=values["amptest"] == "yes",
            orderbound=0 if values["orderbound"] == "-" else int(values["orderbound"]),
            select=values["select"], period_width=int(values["periodwidth"]),
            layout=tuple(int(v) for v in values["layout"].split(",")),
            purpose=values["purpose"])
        table[program.name] = program
    return table


#: program name: Program, in the order of programs.tsv.
PROGRAM_TABLE = _load(resources.files(__package__).joinpath("programs.tsv")
                      .read_text(encoding="utf-8"))

#: program name: (file name prefix, closing text, period width; 0: none).
PROGRAMS = {name: Files(p.prefix, p.closing, p.period_width) for name, p in PROGRAM_TABLE.items()}


def by_prefix(name):
    """The program whose per-pair files or count table the file name is
    (the name without its folder), or None."""
    for program in PROGRAM_TABLE.values():
        k = len(program.prefix)
        if name == program.table or (name.startswith(program.prefix) and len(name) == k + 8
                                     and name[k:k + 4].isdigit() and name.endswith(".txt")):
            return program.name
    return None


def by_row_width(width):
    """The programs (with or without the estimate column) whose row lines
    are width long when every field fits: a list of (name, estimates)."""
    return [(p.name, est) for p in PROGRAM_TABLE.values()
            for est in ((False, True) if p.amptest else (False,)) if p.row_width(est) == width]
