// pairjob: the programs of one pairterms job at once: their settings, their
// runs writing (or comparing) each in an output folder of its own, the
// console of each in its console.txt, and the pass that makes them all
// (unrunall) after what every program does first.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "unrunall.hpp"

// What a job makes: the programs, in the order of the table, and the cuts
// of each.
struct TJOBPLAN {
  std::vector<const TVARIANT*> PROGRAMS;
  std::vector<TCUTS> CUTS;
};

class TJOB {
 public:
  // The runs of S, the outputs of program X in the folder open on
  // FOLDERS[X]; written, or compared with the files there when COMPARE is
  // given, what each comparison of program X found into (*COMPARE)[X] (see
  // TPROGRUN::COMPAREINTO). The process becomes the job's: fatal errors
  // throw, the gate classes are those of its bounds.
  TJOB(const TJOBPLAN& S, const std::vector<int>& FOLDERS, std::vector<TTEXTOUT::TRESULTS>* COMPARE);
  // Makes the outputs: what each program does before its first pair (the
  // settings file, the row tables, the planets' factors), then the pairs.
  // A.RUNS, A.REPORTS as RUNALL sets them; A.PROGRESS and A.STOP as given.
  void MAKE(TRUNALL& A, const char* VERSION);

  std::vector<std::unique_ptr<TPROGRUN>> RUNS;

 private:
  TJOBPLAN PLAN;
  TSHAREDTABLES TABLES;
  bool COMPARES;
};

// The settings of S as a manifest records them: the cut options of the
// programs of S, each once, as given or by default.
std::vector<std::pair<std::string, std::string>> SETTINGSOF(const TJOBPLAN& S);
