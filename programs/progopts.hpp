// progopts: the command line of the programs that make per-pair tables:
// the folders, the progress lines, and the cuts the program has (see
// unfucuts), each option at most once; the usage text; and the one-line
// refusals (status 2) of what cannot be used, before anything is read or
// written.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "termvariant.hpp"
#include "unfucuts.hpp"

// What the command line asks for.
struct TOPTIONS {
  std::string SERIES, OUTPUT;  // empty: the current folder
  bool QUIET = false;
  TCUTS CUTS;
};

// Reads ARGV[1..ARGC-1] into O: -1 to go on; or the status to end with,
// after --help or --version (0, or 2 when they could not be written), or
// after a refusal on standard error (2).
int PARSEOPTIONS(int ARGC, char** ARGV, const TVARIANT& V, TOPTIONS& O);

// S in quotes, as a report shows a text from outside (see SHOWTEXT).
std::string QUOTED(std::string_view S);

// One line on standard error, "PROGRAM: WHY", and status 2.
int REFUSE(const TVARIANT& V, const std::string& WHY);

// Writes TEXT to STREAM with every line ended by CR LF, as all the
// programs' output; true when it was written.
bool PUTLINES(std::FILE* STREAM, const std::string& TEXT);
