"""The version of pairterms: the one in the project() line of the top
CMakeLists.txt, which the programs print with --version (a test checks
that they agree)."""

__version__ = "1.0.0"
