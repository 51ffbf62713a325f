// The program body of termshort, termsecul and termall: the command line,
// the check of the floating-point mode, then the row tables, the planet
// factors and power tables, the driver for the perturbed planets 1 to 8,
// and the release of the tables.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "progopts.hpp"
#include "termvariant.hpp"
#include "unfurun.hpp"

using TDRIVER = void (*)(TPROGRUN& R, uint8_t I);

// Returns the exit status: 0 after a complete run (a fatal error ends the
// process with 217 on its own), 0 for --help and --version, 2 for a bad
// command line.
int RUNPROGRAM(int ARGC, char** ARGV, const TVARIANT& V, TDRIVER DRIVER);
