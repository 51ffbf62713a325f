"""Hand-made tables of termcuts (docs/FORMATS.md section 8) and settings
files (section 6), laid out field by field as the layouts say."""

PAIRS = [(i, j) for i in range(1, 9) for j in range(1, 9) if i != j]
THRESHOLDS = ("1e-20", "1.0E-18", "1e-16", "1e-14", "0.000000000001")

HEAD = ("# termcuts 1.0.0: terms kept and the sum of the |estimates| dropped, "
        "by pair and threshold",
        "# series /home/user/series; period-cut 200, max-order 8, order-bound 10",
        "# program   I   J        threshold       kept                   dropped")


def row(program, i, j, threshold, kept, dropped):
    """One row line: program in 9 left-aligned, I and J in 4, the
    threshold in 17, kept in 11 and dropped in 26, right-aligned."""
    return f"{program:<9}{i:4d}{j:4d}{threshold:>17}{kept:>11}{dropped:>26}"


def kept_of(program, i, j, slot):
    """A made-up count that falls as the threshold grows."""
    base = 40 * i + 17 * j + (300 if program == "termall" else 0)
    return base >> (2 * slot)


def dropped_of(program, i, j, slot):
    return f"{(i + j) * 1.25e-18 * 10 ** (2 * slot):.16e}"


def lines(thresholds=THRESHOLDS, programs=("termshort", "termsecul", "termall")):
    """The lines of a whole table, without their line ends."""
    out = list(HEAD)
    order = sorted(range(len(thresholds)), key=lambda n: float(thresholds[n]))
    for program in programs:
        for i, j in PAIRS:
            if program == "termsecul":
                out.append(row(program, i, j, "-", 5 * i + j, "-"))
                continue
            for n, text in enumerate(thresholds):
                slot = order.index(n)
                out.append(row(program, i, j, text, kept_of(program, i, j, slot),
                               dropped_of(program, i, j, slot)))
    return out


def write(path, text_lines, end="\r\n"):
    with open(path, "w", newline="") as f:
        f.write("".join(line + end for line in text_lines))
    return path


def settings(program, threshold):
    """The lines of a settings file of program with that threshold."""
    out = ["pairterms settings", f"program {program}", "version 1.0.0",
           f"threshold {threshold}"]
    out += {"termshort": ["period-cut 200", "max-order 8"],
            "termall": ["order-bound 10"]}[program]
    return out
