// unrunall: several programs in one pass, as pairterms run makes them:
// one parse of the series files and, for each pair, one set of per-pair
// tables (gates, periods) shared by the programs whose cuts agree, every
// program's pair written after the other's. Each program's run (its
// TPROGRUN, its own output folder and console) does and writes exactly
// what the program alone does: the same steps in the same order, its
// fatal errors met at the same points. A fatal error stops that program
// alone: its outputs are left as the program alone leaves them (the
// complete lines written out, the report the last line of its console),
// and the others go on.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "unfurun.hpp"

struct TRUNALL {
  std::vector<TPROGRUN*> RUNS;  // in the order of the table of the programs
  // Each run's fatal report, empty while it goes on or when complete.
  std::vector<std::string> REPORTS;
  // After each pair: the pairs done (1..56) and the bytes put out so far.
  std::function<void(int, uint64_t)> PROGRESS;
  // Looked at before each pair: a signal that asks the runs to stop; they
  // stop there, each left as it stands, with no report.
  volatile std::sig_atomic_t* STOP = nullptr;
  bool STOPPED = false;
};

// Runs A.RUNS to their end or their failure. The runs' fatal errors must
// throw (SETFATALTHROWS); the gate and period tables of the runs are of
// the same pair at once (shared where their cuts agree, see SHARETABLES).
void RUNALL(TRUNALL& A);

// Run R has failed with REPORT: its open output and its console keep their
// complete lines, and the report ends the console, as the program alone
// leaves them.
void ABANDON(TPROGRUN& R, const std::string& REPORT);

// The per-pair tables of runs with cuts C (one per program of V, in the
// table's order): one table of periods for all, and gate tables shared by
// the programs whose halving agrees on the rows they test.
struct TSHAREDTABLES {
  std::vector<std::unique_ptr<TGATETABLE>> GATES;
  std::vector<std::unique_ptr<TPERIODTABLE>> PERIODS;
  std::vector<TGATETABLE*> GATEOF;      // [run]
  std::vector<TPERIODTABLE*> PERIODOF;  // [run]
};
TSHAREDTABLES SHARETABLES(const std::vector<const TVARIANT*>& V, const std::vector<TCUTS>& C, int SLOTS);
