// unfustag: the pipeline stage by stage (see unfustag.hpp).
#include "unfustag.hpp"

#include <cmath>
#include <cstring>

#include "unallvar.hpp"
#include "unfatal.hpp"
#include "unfugate.hpp"
#include "unfuline.hpp"
#include "unfuordr.hpp"
#include "unfuperi.hpp"
#include "unfupipe.hpp"
#include "unsercac.hpp"

void COPYROWS(TROWDIM& TO, const TROWDIM& FROM, int32_t N) {
  if (N > 0) {
    TO.CHECKINDEX(N);
    FROM.CHECKINDEX(N);
    std::memcpy(TO.DATA(), FROM.DATA(), static_cast<size_t>(N) * sizeof(TROWVAR));
  }
}

void READSERIES(uint8_t N) {
  const TSERIESFILE& S = LOADEDSERIES(N);
  MECONE = S.COUNT;
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& R = (*ROWONE)[M];
    const TROWFIELDS& P = S.ROWS.FIELDS[static_cast<size_t>(M - 1)];
    R = RECNUL;
    R.AMP = S.ROWS.AMPS[static_cast<size_t>(M - 1)];
    R.MEC = P.MEC;
    R.MAR = P.MAR;
    R.FCS = P.FCS;
    R.TXT = M - 1;
  }
}

void PAIRTAG(uint8_t I, uint8_t J) {
  const uint8_t A = I < J ? I : J;
  const uint8_t B = I < J ? J : I;
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& R = (*ROWONE)[M];
    R.NPA = A;
    R.NPB = B;
  }
}

void FIRSTFILE(uint8_t I, uint8_t J) {
  if (I < J) {
    MECTWO = 0;
    return;
  }
  MECTWO = MECONE;
  COPYROWS(*ROWTWO, *ROWONE, MECONE);
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& R = (*ROWONE)[M];
    R.AMP = -R.AMP;
    R.NPA = I;
    R.NPB = J;
    MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
    HERE.TERM = R.TXT;
    (*ROWTWO)[MECTWO] = R;
  }
  HERE.TERM = -1;
}

void AMPLTEST(uint8_t J, int BOUND) {
  MECTWO = 0;
  for (int32_t M = 1; M <= MECONE; ++M) {
    const TROWVAR& R = (*ROWONE)[M];
    HERE.TERM = R.TXT;
    if (AMPPASSES(R.AMP, R.MEC[5], R.MEC[6], static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4],
                  R.NPA, R.NPB, J, BOUND)) {
      MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
      (*ROWTWO)[MECTWO] = R;
    }
  }
  HERE.TERM = -1;
}

void COPYALL() {
  MECTWO = MECONE;
  COPYROWS(*ROWTWO, *ROWONE, MECONE);
}

namespace {

// The row line of R.
void WRITEROW(const TVARIANT& V, const TROWVAR& R) {
  WRITEROW(PLANETSTEXT(R.NPA, R.NPB).C, EXTSIGNBIT(R.AMP) ? '-' : ' ', R, R.FCS,
           V.PERIODWIDTH > 0 ? &PERIODOF(V, R).END : nullptr);
}

}  // namespace

void SELECTWRITE(const TVARIANT& V) {
  const TROWDIM* TAB = ROWTWO;
  int32_t N = MECTWO;
  if (V.SELECT != TSELECT::ALLTERMS) {
    MECTRE = 0;
    for (int32_t M = 1; M <= MECTWO; ++M) {
      TROWVAR R = (*ROWTWO)[M];
      if (!PERIODOF(V, R).KEEP) continue;
      if (V.SELECT == TSELECT::SHORTPERIOD) {
        // A sin -> -A cos, A cos -> A sin.
        if (R.FCS == 'S') {
          R.AMP = -R.AMP;
          R.FCS = 'C';
        } else {
          R.FCS = 'S';
        }
      }
      MECTRE = ADDCOUNT(MECTRE, 1, "MECTRE");
      (*ROWTRE)[MECTRE] = R;
    }
    TAB = ROWTRE;
    N = MECTRE;
  }
  COUNTLINES(N);
  for (int32_t M = 1; M <= N; ++M) WRITEROW(V, (*TAB)[M]);
}

void STAGEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N) {
  READSERIES(static_cast<uint8_t>(N));
  if (V.ORDERFILTER) ORDERFILTER();
  BLOCKLINE(I, J, N);
  PAIRTAG(I, J);
  if (N == 1) {
    FIRSTFILE(I, J);
  } else {
    switch (V.AMPTEST) {
      case TAMPTEST::COPYALL:
        COPYALL();
        break;
      case TAMPTEST::TOMAXSUM:
        AMPLTEST(J, MAXSUM);
        break;
      case TAMPTEST::TOTEN:
        AMPLTEST(J, MAXALLORDER);
        break;
    }
  }
  SELECTWRITE(V);
}
