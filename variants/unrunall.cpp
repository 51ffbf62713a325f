// unrunall: several programs in one pass (see unrunall.hpp).
#include "unrunall.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "unfucnt.hpp"
#include "unfupipe.hpp"
#include "unsercac.hpp"
#include "unwrite.hpp"

namespace {

bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

// Whether programs P and Q, with bounds BP and BQ, halve alike every gate
// class that both test (a class of halving power H in 1..SLOTS-1, or 0).
bool HALVEALIKE(const TVARIANT& P, int BP, const TVARIANT& Q, int BQ, int SLOTS) {
  for (int H = 0; H < SLOTS; ++H) {
    const bool BOTH = (!P.ORDERFILTER || H <= BP) && (!Q.ORDERFILTER || H <= BQ);
    if (BOTH && HALVINGPOWER(H, BP) != HALVINGPOWER(H, BQ)) return false;
  }
  return true;
}

// The widths of the period columns of the sides the programs keep, or
// false when two programs keep one side with different widths.
bool SIDEWIDTHS(const std::vector<const TVARIANT*>& V, int (&W)[2]) {
  W[0] = W[1] = 0;
  for (const TVARIANT* P : V) {
    const uint8_t S = SIDEOF(*P);
    if (S == 0) continue;
    int& X = W[S == SHORTSIDE ? 0 : 1];
    if (X != 0 && X != P->PERIODWIDTH) return false;
    X = P->PERIODWIDTH;
  }
  return true;
}

}  // namespace

void ABANDON(TPROGRUN& R, const std::string& REPORT) {
  R.FLUSHBEFOREEXIT();
  const std::string LINE = REPORT + "\r\n";
  for (size_t DONE = 0; DONE < LINE.size();) {
    const ssize_t W = WRITEWAIT(R.CONSOLE.DESCRIPTOR(), LINE.data() + DONE, LINE.size() - DONE);
    if (W <= 0) break;
    DONE += static_cast<size_t>(W);
  }
}

namespace {

// The report of failure E as the program of run R gives it.
std::string REPORTOF(const TPROGRUN& R, const TFATAL& E) {
  const std::string TAIL = ": fatal error 217: ";
  const size_t AT = E.REPORT.find(TAIL);
  return std::string(R.V.PROGRAM) + (AT == std::string::npos ? TAIL + E.KIND : E.REPORT.substr(AT));
}

}  // namespace

TSHAREDTABLES SHARETABLES(const std::vector<const TVARIANT*>& V, const std::vector<TCUTS>& C, int SLOTS) {
  TSHAREDTABLES T;
  T.GATEOF.assign(V.size(), nullptr);
  T.PERIODOF.assign(V.size(), nullptr);
  std::vector<size_t> OWNER;  // the first run of each gate table
  for (size_t X = 0; X < V.size(); ++X) {
    for (size_t G = 0; G < T.GATES.size() && T.GATEOF[X] == nullptr; ++G) {
      bool FITS = true;
      for (size_t Y = 0; Y < X; ++Y)
        if (T.GATEOF[Y] == T.GATES[G].get())
          FITS = FITS && SAMEBITS(C[X].THRESHOLD, C[Y].THRESHOLD) &&
                 HALVEALIKE(*V[X], C[X].ORDERBOUND, *V[Y], C[Y].ORDERBOUND, SLOTS);
      if (FITS) T.GATEOF[X] = T.GATES[G].get();
    }
    if (T.GATEOF[X] == nullptr) {
      T.GATES.push_back(std::make_unique<TGATETABLE>(SLOTS));
      T.GATEOF[X] = T.GATES.back().get();
    }
  }
  // One table of periods when the period cuts agree and so do the widths
  // of the sides; else one per run.
  int W[2];
  bool ONE = SIDEWIDTHS(V, W);
  for (size_t X = 1; X < V.size(); ++X) ONE = ONE && SAMEBITS(C[X].PERIODCUT, C[0].PERIODCUT);
  for (size_t X = 0; X < V.size(); ++X) {
    if (X == 0 || !ONE) {
      const std::vector<const TVARIANT*> ALONE{V[X]};
      if (!ONE) SIDEWIDTHS(ALONE, W);
      T.PERIODS.push_back(std::make_unique<TPERIODTABLE>(C[X].THRESHOLDFREQUENCY(), W[0], W[1]));
    }
    T.PERIODOF[X] = T.PERIODS.back().get();
  }
  return T;
}

void RUNALL(TRUNALL& A) {
  const size_t N = A.RUNS.size();
  A.REPORTS.assign(N, {});
  std::vector<bool> LIVE(N, true);
  // Runs R's step; a fatal error ends R alone.
  auto STEP = [&](size_t X, auto&& WORK) {
    if (!LIVE[X]) return;
    TPROGRUN& R = *A.RUNS[X];
    SETPROGRAMNAME(R.V.PROGRAM);
    SETFATALSCOPE(&R);
    try {
      WORK(R);
    } catch (const TFATAL& E) {
      LIVE[X] = false;
      A.REPORTS[X] = REPORTOF(R, E);
      ABANDON(R, A.REPORTS[X]);
    } catch (const std::bad_alloc&) {
      // No storage even for the report's texts.
      LIVE[X] = false;
      A.REPORTS[X] = std::string(R.V.PROGRAM) + ": fatal error 217: " + MEMORYTEXT +
                     ": working storage cannot be obtained";
      ABANDON(R, A.REPORTS[X]);
    }
  };
  // The tables shared among the runs, each made new once per pair.
  std::vector<void*> SEEN;
  int DONE = 0;
  for (int I = 1; I <= MAXIPA; ++I) {
    for (size_t X = 0; X < N; ++X)
      STEP(X, [&](TPROGRUN& R) {
        PARSEAHEAD();
        if (R.V.ORDERFILTER) R.MAXSUM = static_cast<int8_t>(R.CUTS.ORDERBOUND);
        R.L = 0;
      });
    for (int J = 1; J <= MAXIPA; ++J) {
      if (A.STOP != nullptr && *A.STOP != 0) {
        A.STOPPED = true;
        return;
      }
      for (size_t X = 0; X < N; ++X) STEP(X, [&](TPROGRUN& R) { R.Z[I][J] = 0; });
      if (J == I) continue;
      SEEN.clear();
      for (size_t X = 0; X < N; ++X)
        STEP(X, [&](TPROGRUN& R) {
          R.HERE.I = I;
          R.HERE.J = J;
          for (void* T : {static_cast<void*>(R.PERIODS), static_cast<void*>(R.GATES)}) {
            if (T == nullptr || std::find(SEEN.begin(), SEEN.end(), T) != SEEN.end()) continue;
            if (T == R.PERIODS)
              R.PERIODS->NEWPAIR();
            else
              R.GATES->NEWPAIR();
            SEEN.push_back(T);
          }
        });
      for (size_t X = 0; X < N; ++X)
        STEP(X, [&](TPROGRUN& R) { RUNPAIR(R, static_cast<uint8_t>(I), static_cast<uint8_t>(J)); });
      if (A.PROGRESS) {
        uint64_t BYTES = 0;
        for (TPROGRUN* R : A.RUNS) BYTES += R->F.PRODUCED() + R->CONSOLE.PRODUCED();
        A.PROGRESS(++DONE, BYTES);
      }
    }
    for (size_t X = 0; X < N; ++X) STEP(X, [&](TPROGRUN& R) { COUNTTABLE(R, I == MAXIPA); });
  }
  for (size_t X = 0; X < N; ++X) STEP(X, [&](TPROGRUN& R) { R.CONSOLE.CLOSE(); });
  SETFATALSCOPE(nullptr);
}
