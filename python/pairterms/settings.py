"""The settings file PREFIX.settings of a run with other settings than the
defaults (docs/FORMATS.md section 6), and the MANIFEST of a pairterms run
folder (section 9)."""

import os
import re
from fractions import Fraction

from ._exact import ext_round
from ._programs import PROGRAM_TABLE

#: The names of the settings file's lines, in their order.
SETTING_NAMES = ("program", "version", "threshold", "period-cut", "max-order",
                 "order-bound", "estimates")
#: The value of each cut setting where none was given.
DEFAULTS = {"threshold": "1.0E-16", "period-cut": "200", "max-order": "8", "order-bound": "10"}


_DECIMAL = re.compile(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE]([+-]?\d+))?")


def is_default(name: str, value: str) -> bool:
    """Whether value, as given for the cut setting name, is its default: the
    same extended value for a threshold or a period cut (1e-16 and
    0.0000000000000001 are the default threshold, 2e2 the default period
    cut), the same integer for an order."""
    default = DEFAULTS[name]
    if value == default:
        return True
    if name in ("max-order", "order-bound"):
        return re.fullmatch(r"[+-]?\d{1,4}", value) is not None and int(value) == int(default)
    m = _DECIMAL.fullmatch(value)
    if not m or value.startswith("-") or (m[1] and abs(int(m[1])) > 10000):
        return False
    f, d = Fraction(value), Fraction(default)
    return ext_round(f.numerator, f.denominator) == ext_round(d.numerator, d.denominator)


def _lines(path):
    with open(path, "rb") as f:
        raw = f.read()
    if not raw.endswith(b"\n"):
        n = raw.count(b"\n") + 1
        raise ValueError(f"{path} line {n}: the file ends inside this line (no line end)")
    return [line[:-1] if line.endswith("\r") else line
            for line in raw.decode("latin-1").split("\n")[:-1]]


def _fail(path, k, what, line=None):
    raise ValueError(f"{path} line {k + 1}: {what}" + (f": {line!r}" if line is not None else ""))


def read_settings(path: "str | os.PathLike") -> "dict[str, str]":
    """Reads a settings file (roho.settings, roco.settings, robo.settings).

    Returns {name: value} for each of its lines after the first, values as
    written (the threshold is the decimal text given). Raises ValueError
    naming the file and the line when it is damaged.
    """
    path = os.fspath(path)
    lines = _lines(path)
    if not lines or lines[0] != "pairterms settings":
        _fail(path, 0, "not the first line of a settings file", lines[0] if lines else "")
    settings, last = {}, -1
    for k, line in enumerate(lines[1:], 1):
        m = re.fullmatch(r"([a-z-]+) (\S+)", line)
        if not m or m[1] not in SETTING_NAMES:
            _fail(path, k, "not a setting NAME VALUE", line)
        order = SETTING_NAMES.index(m[1])
        if order <= last:
            _fail(path, k, f"the setting {m[1]} out of its order or twice", line)
        last = order
        settings[m[1]] = m[2]
    if "program" not in settings or settings["program"] not in PROGRAM_TABLE:
        _fail(path, 1 if len(lines) > 1 else 0, "no program line naming a known program")
    if settings.get("estimates", "yes") != "yes":
        _fail(path, len(lines) - 1, "the estimates line says other than yes")
    return settings


def _unescape(text):
    def one(m):
        c = m[1]
        return {"n": "\n", "t": "\t", "\\": "\\"}.get(c) or chr(int(c[1:], 16))
    return re.sub(r"\\(x[0-9a-fA-F]{2}|n|t|\\)", one, text)


def read_manifest(path: "str | os.PathLike") -> dict:
    """Reads the MANIFEST of a pairterms run folder.

    Returns a dict: version (str), platform (the text after "platform"),
    settings ({name: value as given}), programs (list of names), series
    (the series folder, unescaped), hashes ({series file name: SHA-256
    hex}), sizes ({"PROGRAM/NAME": bytes}, in the order written). Raises
    ValueError naming the file and the line when it is damaged.
    """
    path = os.fspath(path)
    lines = _lines(path)
    heads = [("pairterms", r"pairterms (\S+)"), ("platform", r"platform (.+)"),
             ("settings", r"settings (.+)"), ("programs", r"programs( [a-z]+)+"),
             ("series", r"series (.+)")]
    out = {}
    for k, (name, pattern) in enumerate(heads):
        line = lines[k] if k < len(lines) else None
        if line is None:
            _fail(path, max(0, len(lines) - 1), f"the manifest ends before its {name} line")
        m = re.fullmatch(pattern, line)
        if not m:
            _fail(path, k, f"not the {name} line", line)
        out[name] = m[1]
    manifest = {"version": out["pairterms"], "platform": out["platform"]}
    settings = {}
    for part in out["settings"].split(", "):
        m = re.fullmatch(r"([a-z-]+) (\S+)", part)
        known = m and (m[1] in DEFAULTS or (m[1] == "estimates" and m[2] in ("yes", "no")))
        if not known or m[1] in settings:
            _fail(path, 2, "not a list of settings NAME VALUE", lines[2])
        settings[m[1]] = m[2]
    manifest["settings"] = settings
    programs = lines[3].split()[1:]
    if any(p not in PROGRAM_TABLE for p in programs) or len(set(programs)) != len(programs):
        _fail(path, 3, "not a list of the programs", lines[3])
    manifest["programs"] = programs
    manifest["series"] = _unescape(out["series"])
    hashes, sizes = {}, {}
    for k, line in enumerate(lines[5:], 5):
        m = re.fullmatch(r"([0-9a-f]{64})  (puf\d\d\.txt)", line)
        if m and not sizes and m[2] not in hashes:
            hashes[m[2]] = m[1]
            continue
        m = re.fullmatch(r"size (\d{1,18}) ([a-z]+/[^/]+)", line)
        if m and m[2].split("/")[0] in programs and m[2] not in sizes:
            sizes[m[2]] = int(m[1])
            continue
        _fail(path, k, "not a series hash line or a size line", line)
    manifest["hashes"], manifest["sizes"] = hashes, sizes
    return manifest
