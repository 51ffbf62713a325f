// unfustag: the pipeline stage by stage (see unfustag.hpp).
#include "unfustag.hpp"

#include <cmath>
#include <cstring>
#include <string>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfucnt.hpp"
#include "unfugate.hpp"
#include "unfuline.hpp"
#include "unfuordr.hpp"
#include "unfuperi.hpp"
#include "ungetmem.hpp"
#include "unsercac.hpp"

void READSERIES(uint8_t N) {
  const TSERIESFILE& S = LOADEDSERIES(N);
  MECONE = S.COUNT;
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& ROW = (*ROWONE)[M];
    const TROWFIELDS& P = S.ROWS.FIELDS[static_cast<size_t>(M - 1)];
    ROW = RECNUL;
    ROW.AMP = S.ROWS.AMPS[static_cast<size_t>(M - 1)];
    ROW.MEC = P.MEC;
    ROW.MAR = P.MAR;
    ROW.FCS = P.FCS;
    ROW.TXT = M - 1;
  }
}

void PAIRTAG(uint8_t I, uint8_t J) {
  const uint8_t A = I < J ? I : J;
  const uint8_t B = I < J ? J : I;
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& ROW = (*ROWONE)[M];
    ROW.NPA = A;
    ROW.NPB = B;
  }
}

void FIRSTFILE(TPROGRUN& R, uint8_t I, uint8_t J) {
  if (I < J) {
    MECTWO = 0;
    return;
  }
  MECTWO = MECONE;
  COPYROWS(*ROWTWO, *ROWONE, MECONE);
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& ROW = (*ROWONE)[M];
    ROW.AMP = -ROW.AMP;
    ROW.NPA = I;
    ROW.NPB = J;
    MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
    R.HERE.TERM = ROW.TXT;
    (*ROWTWO)[MECTWO] = ROW;
  }
  R.HERE.TERM = -1;
}

void AMPLPREP(TPROGRUN& R, uint8_t J) {
  MECTWO = 0;
  for (int32_t M = 1; M <= MECONE; ++M) {
    const TROWVAR& ROW = (*ROWONE)[M];
    R.HERE.TERM = ROW.TXT;
    const TGATING G{&AXIPO[ROW.NPA], &AXIPO[ROW.NPB], FAMUS[J], R.BOUND(), R.CUTS.THRESHOLD};
    if (AMPTEST(ROW.AMP, ROW.MEC[5], ROW.MEC[6], static_cast<long>(ROW.MEC[1]) + ROW.MEC[2] + ROW.MEC[3] + ROW.MEC[4],
                G)) {
      MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
      (*ROWTWO)[MECTWO] = ROW;
    }
  }
  R.HERE.TERM = -1;
}

void COPYALL() {
  MECTWO = MECONE;
  COPYROWS(*ROWTWO, *ROWONE, MECONE);
}

namespace {

// The row line of term ROW, made the plain way; with the estimate for the
// pair, from the row as it stands, when the run asks for it.
void WRITETERM(TPROGRUN& R, const TROWVAR& ROW) {
  const TLINEEND* E = nullptr;
  if (R.V.PERIODWIDTH > 0) E = &R.PERIODS->ENTRY(ROW.NPA, ROW.NPB, ROW.MAR[1], ROW.MAR[4]).END;
  std::string ESTIMATE;
  if (R.CUTS.ESTIMATES) {
    const long S = static_cast<long>(ROW.MEC[1]) + ROW.MEC[2] + ROW.MEC[3] + ROW.MEC[4];
    const bool FORMS = ESTIMATEFORMS(ROW.MEC[5], ROW.MEC[6], S);
    const TGATING G{&AXIPO[ROW.NPA], &AXIPO[ROW.NPB], FAMUS[R.HERE.J], R.BOUND(), R.CUTS.THRESHOLD};
    ESTIMATE = PLAINESTIMATE(FORMS, FORMS ? AMPESTIMATE(ROW.AMP, ROW.MEC[5], ROW.MEC[6], S, G) : 0.0_EXT);
  }
  PUTPLAINROW(R.F, PLANETSTEXT(ROW.NPA, ROW.NPB).C, EXTSIGNBIT(ROW.AMP) ? '-' : ' ', ROW, ROW.FCS, E, ESTIMATE);
}

}  // namespace

void SELECTWRITE(TPROGRUN& R) {
  const TROWDIM* TAB = ROWTWO;
  int32_t N = MECTWO;
  if (R.V.SELECT != TSELECT::ALLTERMS) {
    const uint8_t KEEPS = SIDEOF(R.V);
    MECTRE = 0;
    for (int32_t M = 1; M <= MECTWO; ++M) {
      TROWVAR ROW = (*ROWTWO)[M];
      if ((R.PERIODS->SIDE(ROW.NPA, ROW.NPB, ROW.MAR[1], ROW.MAR[4]) & KEEPS) == 0) continue;
      if (R.V.SELECT == TSELECT::SHORTPERIOD) {
        // A sin -> -A cos, A cos -> A sin.
        if (ROW.FCS == 'S') {
          ROW.AMP = -ROW.AMP;
          ROW.FCS = 'C';
        } else {
          ROW.FCS = 'S';
        }
      }
      MECTRE = ADDCOUNT(MECTRE, 1, "MECTRE");
      (*ROWTRE)[MECTRE] = ROW;
    }
    TAB = ROWTRE;
    N = MECTRE;
  }
  COUNTLINES(R, N);
  for (int32_t M = 1; M <= N; ++M) WRITETERM(R, (*TAB)[M]);
}

void STAGEDBLOCK(TPROGRUN& R, uint8_t I, uint8_t J, int N) {
  READSERIES(static_cast<uint8_t>(N));
  if (R.V.ORDERFILTER) ORDERFILTER(R.MAXSUM, R.HERE);
  BLOCKLINE(R, I, J, N, MECONE);
  PAIRTAG(I, J);
  if (N == 1)
    FIRSTFILE(R, I, J);
  else if (R.V.HASAMPTEST)
    AMPLPREP(R, J);
  else
    COPYALL();
  SELECTWRITE(R);
}
