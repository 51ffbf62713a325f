// unfurun: the state of one program's run, the record that the pipeline's
// procedures take: the program (V) and its cuts, its output file F, its
// console, the pair's term count K, the planet's term count L, the count
// table Z, termshort's order limit MAXSUM, where the run stands (HERE, for
// reports), whether the progress lines are left out, and the per-pair
// tables of gates and periods, which runs of one process may share.
// Several runs may live in one process at once: a run is the fatal scope
// (see unfatal) while it works, so that a report says where it stood and
// writes out its own outputs.
#pragma once

#include <fcntl.h>

#include <cstdint>
#include <string>

#include "termvariant.hpp"
#include "unalltyp.hpp"
#include "unfatal.hpp"
#include "unfucuts.hpp"
#include "unfugate.hpp"
#include "unfuperi.hpp"
#include "untxtout.hpp"

using TCOUNTROW = TARRAY<int32_t, 1, MAXIPA, "perturbing planet">;
using TCOUNTTAB = TARRAY<TCOUNTROW, 1, MAXIPA, "perturbed planet">;

// Where the pipeline is, for fatal reports: the pair (I 0 outside a pair),
// the series file (N 0 outside one) and the place (0-based) of the term in
// hand in its file, or -1.
struct TPIPEPLACE {
  int I = 0, J = 0, N = 0;
  long TERM = -1;
};

// The place as a report gives it: "pair 1-2, puf05.txt, term 9 at line
// 12", or less of it.
std::string PLACETEXT(const TPIPEPLACE& HERE);

// How a pair runs its 27 files: stage by stage through the row tables, as
// the programs describe it, or fused into one pass over the parsed rows of
// each file (what runs). Both write the same bytes and fail at the same
// points.
enum class TPIPELINEMODE { STAGED, FUSED };

class TPROGRUN final : public TFATALSCOPE {
 public:
  // A run of program V with cuts C, its per-pair tables GATES (for a program
  // with the amplitude test) and PERIODS (for one that selects by period).
  TPROGRUN(const TVARIANT& V, const TCUTS& C, TGATETABLE* GATES, TPERIODTABLE* PERIODS);
  TPROGRUN(const TPROGRUN&) = delete;
  TPROGRUN& operator=(const TPROGRUN&) = delete;

  const TVARIANT& V;
  const TCUTS CUTS;
  TGATETABLE* const GATES;
  TPERIODTABLE* const PERIODS;
  TTEXTOUT F;        // the open output file
  TTEXTOUT CONSOLE;  // the progress lines
  int32_t K = 0;     // terms written for the pair in hand
  int32_t L = 0;     // terms written for the perturbed planet in hand
  TCOUNTTAB Z{};     // [perturbed planet][perturbing planet]
  int8_t MAXSUM = 0; // the highest order termshort keeps (its cut)
  TPIPEPLACE HERE;
  bool QUIET = false;
  TPIPELINEMODE MODE = TPIPELINEMODE::FUSED;
  TOUTLOCK* LOCK = nullptr;  // the output folder's lock, when the run takes one
  int DIRFD = AT_FDCWD;      // the output folder (AT_FDCWD: the current one)
  // When given, the outputs are compared with the files there instead of
  // written, and what each comparison found goes here (pairterms verify).
  TTEXTOUT::TRESULTS* COMPAREINTO = nullptr;

  // The halving bound of the amplitude test.
  int BOUND() const { return CUTS.ORDERBOUND; }

  std::string WHERE() override;
  bool FAILEDBEFORE(std::string& KIND, std::string& WHY, std::string& WHERE) noexcept override;
  void FLUSHBEFOREEXIT() noexcept override;
};

// Creates the output NAME of run R and makes it T's: in R's folder, with
// R's lock; or opened to be compared, when R compares.
void MAKEOUTPUT(TPROGRUN& R, TTEXTOUT& T, const std::string& NAME);
