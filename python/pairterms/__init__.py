"""Reading the tables of termshort, termsecul and termall into numpy, and
taking them on to pandas, astropy and FITS."""

from ._version import __version__
from ._programs import PROGRAM_TABLE
from .columns import ROW_COLUMNS, Column, row_columns
from .cuts import CutsInfo, read_cuts
from .exact import exact_amplitudes
from .export import to_pandas, to_table
from .fits import write_fits
from .folder import read_folder
from .planets import NAMES, MEAN_MOTIONS, frequencies, periods
from .reader import (BLOCK_DTYPE, PROGRAMS, PairInfo, check_name, read_counts, read_pair,
                     row_dtype)
from .settings import read_manifest, read_settings

__all__ = ["NAMES", "MEAN_MOTIONS", "BLOCK_DTYPE", "PROGRAMS", "PROGRAM_TABLE", "PairInfo",
           "ROW_COLUMNS", "Column", "row_columns", "check_name", "exact_amplitudes",
           "frequencies", "periods", "read_counts", "read_folder", "read_manifest",
           "read_pair", "read_settings", "row_dtype", "__version__", "to_pandas", "to_table",
           "write_fits", "CutsInfo", "read_cuts"]
