"""Reading the tables of termshort, termsecul and termall into numpy."""

from .planets import NAMES, MEAN_MOTIONS, frequencies, periods
from .reader import BLOCK_DTYPE, PROGRAMS, PairInfo, read_counts, read_pair, row_dtype

__all__ = ["NAMES", "MEAN_MOTIONS", "BLOCK_DTYPE", "PROGRAMS", "PairInfo",
           "frequencies", "periods", "read_counts", "read_pair", "row_dtype"]
