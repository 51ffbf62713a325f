"""A whole output folder in one array: the 56 per-pair files of a program,
checked against the folder's count table, its settings file and, in the
folder of a pairterms run, its MANIFEST."""

import os

import numpy as np

from . import _lines, _pairrows, _structure
from ._programs import PROGRAM_TABLE, by_prefix
from ._rows import row_dtype
from . import reader
from .reader import _has_estimates, check_name, read_counts, walked
from .settings import DEFAULTS, is_default, read_manifest, read_settings

PAIRS = [(i, j) for i in range(1, 9) for j in range(1, 9) if i != j]


def _fail(path, line, what):
    raise ValueError(f"{path} line {line}: {what}" if line else f"{path}: {what}")


def expected_settings(program, cuts):
    """The settings file that a run of program with the cut settings cuts
    ({name: value as given}, as in a MANIFEST) writes: its settings beyond
    program and version, or None when they are all the defaults."""
    p = PROGRAM_TABLE[program]
    names = (["threshold"] if p.amptest else []) + (["period-cut"] if p.select != "all" else [])
    names += ["max-order"] if p.orderfilter else ["order-bound"] if p.orderbound else []
    values = {n: cuts.get(n, DEFAULTS[n]) for n in names}
    return None if all(is_default(n, values[n]) for n in names) else values


def _check_settings(folder, program, settings, manifest):
    name = os.path.join(folder, PROGRAM_TABLE[program].settings_file)
    want = expected_settings(program, manifest["settings"])
    have = {k: v for k, v in settings.items() if k not in ("program", "version", "estimates")}
    estimates = manifest["settings"].get("estimates") == "yes" and PROGRAM_TABLE[program].amptest
    if (settings.get("estimates") == "yes") != bool(estimates):
        _fail(name, 0, "settings of another run: the MANIFEST gives "
                       f"{'' if estimates else 'no '}estimate column")
    if want is None and not estimates and settings:
        _fail(name, 0, "settings of another run: the MANIFEST gives the defaults")
    if want is not None and have != want:
        _fail(name, 0, f"settings of another run: the MANIFEST gives {want}"
              if settings else f"missing, the MANIFEST gives {want}")
    for key, size in manifest["sizes"].items():
        sub, base = key.split("/", 1)
        path = os.path.join(folder, base)
        if sub == program and os.path.exists(path) and os.path.getsize(path) != size:
            _fail(path, 0, f"{os.path.getsize(path)} bytes, the MANIFEST says {size}: "
                           f"a file of another run")


def read_program_folder(folder: str, program: str, manifest: "dict | None" = None) -> np.ndarray:
    """The rows of the 56 per-pair files of program in folder, in the order
    the program writes them (I = 1..8, J = 1..8), with the pair's i and j."""
    prog = PROGRAM_TABLE[program]
    table = os.path.join(folder, prog.table)
    if not os.path.exists(table):
        _fail(folder, 0, f"no count table {prog.table}")
    counts, _ = read_counts(table)
    sname = os.path.join(folder, prog.settings_file)
    settings = read_settings(sname) if os.path.exists(sname) else {}
    if settings and settings["program"] != program:
        _fail(sname, 2, f"the settings of {settings['program']} in a folder of {program}")
    if manifest is not None:
        _check_settings(folder, program, settings, manifest)
    out = batch = est = None
    base, width = 0, 23
    buffer = [bytearray()]      # the bytes of large files, one after the other
    for i, j in PAIRS:
        path = os.path.join(folder, f"{prog.prefix}{i:02d}{j:02d}.txt")
        if not os.path.exists(path):
            _fail(path, 0, "missing from the folder")
        lines, found = walked(path, reader.read_into(path, buffer))
        if found.program is None:
            _fail(path, lines.count, "no closing line: the run that wrote it failed")
        if found.program != program:
            _fail(path, lines.count, f"a file of {found.program} in a folder of {program}")
        check_name(path, program, found.i, found.j)
        k = int(found.blocks[-1][3])
        if k != counts[i - 1, j - 1]:
            _fail(path, lines.count, f"{k} rows, the count table {prog.table} says "
                                     f"{counts[i - 1, j - 1]}: a file of another run")
        if found.blocks[-1][4] != counts[i - 1, :j].sum():
            _fail(path, lines.count - 1, f"the planet's count {found.blocks[-1][4]} does not "
                                         f"follow the count table {prog.table}")
        file_est = _has_estimates(lines, found, program, settings)
        if est is None:
            est = file_est
            out = np.zeros(int(counts.sum()), row_dtype(prog.period_width > 0, width, est, True))
            batch = _pairrows.Batch(out, program, est)
        elif file_est != est:
            _fail(path, found.rows[0][0] + 1, "rows with and without the estimate column "
                                              "in one folder: files of different runs")
        lines.base = base
        while True:
            try:
                _pairrows.read_rows(lines, found, program, est, out.dtype,
                                    into=out[base:base + k], batch=batch)
                break
            except _lines.NeedExact:
                lines = _lines.Lines(path, lines.raw)
                found = _structure.walk(lines, _structure.Walk())
                lines.base = base
            except _pairrows.Wider as wider:
                batch.flush()
                width = wider.width
                out = out.astype(row_dtype(prog.period_width > 0, width, est, True))
                batch.out = out
        out["i"][base:base + k], out["j"][base:base + k] = i, j
        base += k
    batch.flush()
    return out


def read_folder(path: "str | os.PathLike", program: "str | None" = None
                ) -> "np.ndarray | dict[str, np.ndarray]":
    """Reads a whole output folder.

    A folder of one program (its 56 per-pair files and count table, and its
    settings file if any) gives one structured array: the records of
    read_pair with the pair's i and j (uint8) first, the files in the order
    I = 1..8, J = 1..8. The folder of a pairterms run (subfolders
    termshort/, termsecul/, termall/ and a MANIFEST), or a folder with the
    files of several programs, gives {program: array} for each program
    present; program= picks one of them.

    Raises ValueError naming the file (and the line) when a file is missing,
    damaged or left by a failed run, or when the folder mixes runs: a count
    table that disagrees with a per-pair file, a settings file that
    disagrees with the MANIFEST, a file whose size is not the MANIFEST's.
    """
    path = os.fspath(path)
    manifest_path = os.path.join(path, "MANIFEST")
    subs = [p for p in PROGRAM_TABLE if os.path.isdir(os.path.join(path, p))]
    if os.path.exists(manifest_path) or subs:
        manifest = read_manifest(manifest_path) if os.path.exists(manifest_path) else None
        if manifest is not None:
            for p in manifest["programs"]:
                if p not in subs:
                    _fail(os.path.join(path, p), 0, "missing: the MANIFEST lists it")
            for p in subs:
                if p not in manifest["programs"]:
                    _fail(os.path.join(path, p), 0, "not in the MANIFEST's programs")
        wanted = [program] if program else subs
        result = {p: read_program_folder(os.path.join(path, p), p, manifest) for p in wanted}
        return result[program] if program else result
    present = sorted({by_prefix(name) for name in os.listdir(path)} - {None},
                     key=list(PROGRAM_TABLE).index)
    if not present:
        _fail(path, 0, "no per-pair files or count table of termshort, termsecul or termall")
    if program:
        return read_program_folder(path, program)
    if len(present) == 1:
        return read_program_folder(path, present[0])
    return {p: read_program_folder(path, p) for p in present}
