// termsecul: the secular terms of every ordered planet pair (period over
// 200 Julian years, frequency zero included), unchanged, with their periods.
#include "progbody.hpp"
#include "unfuplas.hpp"

int main(int argc, char** argv) { return RUNPROGRAM(argc, argv, PROGRAMNAMED("termsecul"), FUNSECU); }
