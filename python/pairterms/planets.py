"""The eight planets as the programs know them, and the period of a row."""

import numpy as np

#: Planet names, index 1..8 (index 0 unused).
NAMES = ("", "Mercury", "Venus", "Earth-Moon", "Mars",
         "Jupiter", "Saturn", "Uranus", "Neptune")

#: Mean motions n(1..8) in rad/day (index 0 unused), as the programs compute
#: them in extended precision, rounded to float64.
MEAN_MOTIONS = np.array([
    0.0,
    0.071424807174420326443,
    0.027962490621571292881,
    0.017202178546625391088,
    0.0091461546457695952367,
    0.0014503467173604593369,
    0.00058358777698044380543,
    0.0002046978183559194756,
    0.00010438805727172949499,
])

#: Julian year in days.
YEAR_DAYS = 365.25
#: Frequencies of smaller magnitude (rad/day) count as zero: period 0.
ZERO_FREQUENCY = 1e-19
#: The period that divides short-period from secular terms, in years.
THRESHOLD_YEARS = 200.0


def frequencies(rows):
    """Frequency Q = MAR[1]·n(NPA) + MAR[4]·n(NPB) of each row, rad/day."""
    mar = rows["mar"]
    return (mar[:, 0] * MEAN_MOTIONS[rows["npa"]]
            + mar[:, 3] * MEAN_MOTIONS[rows["npb"]])


def periods(rows):
    """Period of each row in Julian years, in full float64 precision.

    The sign is the frequency's; a frequency below 1e-19 rad/day in
    magnitude gives 0, as in the programs' period column (which holds the
    same value rounded to two decimals). Works for rows of every program,
    termall's included.
    """
    q = frequencies(rows)
    zero = np.abs(q) < ZERO_FREQUENCY
    with np.errstate(divide="ignore"):
        p = 2.0 * np.pi / (YEAR_DAYS * q)
    p[zero] = 0.0
    return p
