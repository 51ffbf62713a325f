// unfupipe: the per-planet driver and the pair body (see unfupipe.hpp).
#include "unfupipe.hpp"

#include <string>

#include "unahead.hpp"
#include "unelmini.hpp"
#include "unforstr.hpp"
#include "unfucnt.hpp"
#include "unfufuse.hpp"
#include "unfustag.hpp"
#include "unsercac.hpp"

namespace {

void PLANETLINE(TTEXTOUT& T, int NUM, const char* TEXT, int PLANET) {
  T.PUTINT(NUM, 4);
  T.PUT(TEXT);
  T.PUT(NAMEOFPLANET[PLANET]);
  T.ENDLINE();
}

void TOTALLINE(TTEXTOUT& T, uint8_t I, uint8_t J, int32_t N, const char* TEXT) {
  T.PUTINT(I, 4);
  T.PUTINT(J, 4);
  T.PUTINT(N, 15);
  T.PUT(TEXT);
  T.ENDLINE();
}

}  // namespace

void PAIRBODY(TPROGRUN& R, uint8_t I, uint8_t J) {
  if (!R.QUIET) PLANETLINE(R.CONSOLE, J, "  perturbing planet is ", J);
  PLANETLINE(R.F, J, "  perturbing planet is ", J);
  for (int N = 1; N <= NUMSERIES; ++N) {
    R.HERE.N = N;
    if (R.MODE == TPIPELINEMODE::FUSED)
      FUSEDBLOCK(R, I, J, N);
    else
      STAGEDBLOCK(R, I, J, N);
  }
  R.HERE.N = 0;
  if (R.QUIET) return;
  TOTALLINE(R.CONSOLE, I, J, R.K, R.V.OURTEXT);
  TOTALLINE(R.CONSOLE, I, J, R.L, R.V.ALLTEXT);
}

void RUNPAIR(TPROGRUN& R, uint8_t I, uint8_t J) {
  R.HERE.I = I;
  R.HERE.J = J;
  MAKEOUTPUT(R, R.F, PAIRFILENAME(R.V, I, J));
  if (!R.QUIET) PLANETLINE(R.CONSOLE, I, "  perturbed  planet is ", I);
  PLANETLINE(R.F, I, "  perturbed  planet is ", I);
  R.K = 0;
  PAIRBODY(R, I, J);
  R.F.PUTINT(R.K, 10);
  R.F.PUTINT(I, 4);
  R.F.PUTINT(J, 4);
  R.F.PUT(R.V.CLOSETEXT);
  R.F.ENDLINE();
  R.Z[I][J] = R.K;
  R.F.CLOSE();
  R.HERE.I = 0;
}

void PLANETDRIVER(TPROGRUN& R, uint8_t I) {
  PARSEAHEAD();
  SETFATALSCOPE(&R);
  if (R.V.ORDERFILTER) R.MAXSUM = static_cast<int8_t>(R.CUTS.ORDERBOUND);
  R.L = 0;
  for (int J = 1; J <= MAXIPA; ++J) {
    R.Z[I][J] = 0;
    if (J == I) continue;
    R.HERE.I = I;
    R.HERE.J = J;
    if (R.PERIODS != nullptr) R.PERIODS->NEWPAIR();
    if (R.GATES != nullptr) R.GATES->NEWPAIR();
    RUNPAIR(R, I, static_cast<uint8_t>(J));
  }
  COUNTTABLE(R);
}
