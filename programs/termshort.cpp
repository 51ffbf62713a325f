// termshort: the short-period terms of every ordered planet pair (period
// under 200 Julian years), sine and cosine exchanged, with their periods.
#include "progbody.hpp"
#include "unfuplat.hpp"

int main(int argc, char** argv) { return RUNPROGRAM(argc, argv, PROGRAMNAMED("termshort"), FUSHORT); }
