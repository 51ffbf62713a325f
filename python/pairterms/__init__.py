"""Reading the tables of termshort, termsecul and termall into numpy, and
taking them on to pandas, astropy and FITS."""

from ._version import __version__
from .cuts import CutsInfo, read_cuts
from .export import to_pandas, to_table
from .fits import write_fits
from .planets import NAMES, MEAN_MOTIONS, frequencies, periods
from .reader import BLOCK_DTYPE, PROGRAMS, PairInfo, read_counts, read_pair, row_dtype

__all__ = ["NAMES", "MEAN_MOTIONS", "BLOCK_DTYPE", "PROGRAMS", "PairInfo",
           "frequencies", "periods", "read_counts", "read_pair", "row_dtype",
           "__version__", "to_pandas", "to_table", "write_fits", "CutsInfo", "read_cuts"]
