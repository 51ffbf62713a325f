// pairrun: the subcommands of pairterms that make and check a folder of
// tables: run (the programs asked for at once, into a fresh folder that
// takes the place of the old one as a whole, with a MANIFEST) and verify
// (the outputs made again in memory and compared with the files).
#pragma once

#include <string>

#include "pairjob.hpp"

struct TRUNOPTIONS {
  std::string SERIES;            // empty: the current folder
  std::string OUTPUT = "tables"; // the run's folder
  TJOBPLAN PLAN;
  bool QUIET = false;
};

// pairterms run; returns the exit status.
int PAIRRUN(const TRUNOPTIONS& O);
// pairterms verify DIR, the series in SERIES (empty: where the manifest
// says); returns the exit status.
int PAIRVERIFY(const std::string& DIR, const std::string& SERIES);

// One line on standard error, "pairterms: WHY", and status 2.
int PAIRREFUSE(const std::string& WHY);
