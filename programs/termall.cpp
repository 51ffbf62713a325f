// termall: every term of every ordered planet pair whose amplitude estimate
// is not negligible, unchanged, without periods.
#include "progbody.hpp"
#include "unfuplan.hpp"

int main(int argc, char** argv) { return RUNPROGRAM(argc, argv, PROGRAMNAMED("termall"), FUNBODY); }
