"""The reading of rows of the usual shape against the general reading that
it stands in for: on row lines with generated amplitudes (halves between
neighbouring float64 values among them) and on the same lines
damaged a byte at a time, either the fast way declines and writes nothing,
or both read the chunk and give the same records bit for bit."""

import glob
import os
import random

import numpy as np

from conftest import DATA
from test_exact import generated_texts

from pairterms import _fastrows, _rows
from pairterms._programs import PROGRAM_TABLE

_DAMAGE = b"0123456789 -+.eE:SCx\x00\xff"


def _usual(text):
    """The amplitude as the programs write it (sign place, 17 digits, a
    two-digit exponent below +16), or None."""
    text = text if text.startswith("-") else " " + text.strip()
    if len(text) != 23 or text[1] == "0" or (text[20] == "+" and int(text[21:]) >= 16):
        return None
    return text.encode()


def _template_rows(program, lay):
    """Row lines of that program's layout from the conformance sets."""
    rows = []
    for path in sorted(glob.glob(os.path.join(DATA, "*", "expected", program, "ro??[0-9]*.txt"))):
        with open(path, "rb") as f:
            rows += [ln.rstrip(b"\r\n") for ln in f if len(ln.rstrip(b"\r\n")) == lay.width
                     and ln[2:3].isdigit()]
    return rows


def _read(a, lay, fast):
    n = len(a)
    out = np.zeros(n, _rows.row_dtype(bool(lay.period)))
    lo = np.minimum(a[:, 2], a[:, 5]) - np.uint8(48)
    hi = np.maximum(a[:, 2], a[:, 5]) - np.uint8(48)
    files = np.where(a[:, 2] > a[:, 5], 1, 2).astype(np.uint8)   # the pair turned: file 1
    if fast:
        return _fastrows.chunk(a.copy(), _fastrows.plan(lay), out, slice(0, n), lo, hi, files), out
    return _rows._chunk(a.copy(), lay, out, slice(0, n), lo, hi, files) is None, out


def test_fast_rows_are_the_general_reading_or_decline():
    rnd = random.Random(5)
    amps = [t for t in map(_usual, generated_texts()) if t]
    assert len(amps) > 2000
    # Halves between neighbouring float64 values: 5r / 10 for r odd of 54 bits.
    for _ in range(500):
        m = 5 * (rnd.randrange(2 ** 52, 2 ** 53) * 2 + 1) + rnd.choice((0, 0, 1, -1))
        amps.append(f"{rnd.choice(' -')}{m // 10 ** 16}.{m % 10 ** 16:016d}e+15".encode())
    rnd.shuffle(amps)
    for program, p in PROGRAM_TABLE.items():
        lay = _rows.layout(p.period_width, False)
        plan = _fastrows.plan(lay)
        assert plan is not None, program
        templates = _template_rows(program, lay)
        a0, a1 = lay.amp
        lines = []
        for k, amp in enumerate(amps):
            line = bytearray(templates[k % len(templates)])
            line[a0:a1] = amp
            lines.append(bytes(line))
        a = np.frombuffer(b"".join(lines), np.uint8).reshape(len(lines), lay.width)
        took, fast = _read(a, lay, True)
        read, slow = _read(a, lay, False)
        assert took and read, program
        assert fast.tobytes() == slow.tobytes(), program
        declined = 0
        for _ in range(600):
            first = rnd.randrange(len(a) - 40)
            chunk = a[first:first + 40].copy()
            chunk[rnd.randrange(40), rnd.randrange(lay.width)] = rnd.choice(_DAMAGE)
            took, fast = _read(chunk, lay, True)
            read, slow = _read(chunk, lay, False)
            if took:
                assert read and fast.tobytes() == slow.tobytes(), (program, chunk)
            else:
                assert not fast.tobytes().strip(b"\0"), program
                declined += 1
        assert declined > 100, program
