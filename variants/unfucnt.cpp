// unfucnt: the count lines and the count table (see unfucnt.hpp).
#include "unfucnt.hpp"

#include <string>

#include "unahead.hpp"

void BLOCKLINE(TPROGRUN& R, uint8_t I, uint8_t J, int N, int32_t ROWS) {
  TTEXTOUT& F = R.F;
  F.PUTINT(ROWS, 10);
  F.PUTINT(I, 4);
  F.PUTINT(J, 4);
  F.PUTINT(N, 4);
  F.PUT("  before terms number");
  F.ENDLINE();
}

void COUNTLINES(TPROGRUN& R, int32_t N) {
  R.L = ADDCOUNT(R.L, N, "term count L of the planet");
  R.K = ADDCOUNT(R.K, N, "term count K of the pair");
  TTEXTOUT& F = R.F;
  F.PUTINT(N, 10);
  F.PUTINT(R.K, 12);
  F.PUT("         terms number");
  F.ENDLINE();
  F.PUTINT(N, 10);
  F.PUTINT(R.L, 12);
  F.PUT("  after  terms number");
  F.ENDLINE();
}

void COUNTTABLE(TPROGRUN& R) {
  const TTABLELAYOUT& T = R.V.LAYOUT;
  TTEXTOUT& F = R.F;
  CREATEOUTPUT(F, R.V.TABLENAME);
  F.PUT(std::string(static_cast<size_t>(T.HEADINDENT), ' '));
  for (int Y = 1; Y <= MAXIPA; ++Y) {
    F.PUTINT(Y, T.HEADFIELD);
    F.PUT(std::string(static_cast<size_t>(T.HEADGAP), ' '));
  }
  F.ENDLINE();
  for (int X = 1; X <= MAXIPA; ++X) {
    F.PUTINT(X, T.ROWFIELD);
    F.PUT("  ");
    for (int Y = 1; Y <= MAXIPA; ++Y) {
      F.PUTINT(R.Z[X][Y], T.COUNTFIELD);
      F.PUTCH(' ');
    }
    int32_t TOTAL = 0;
    for (int Y = 1; Y <= MAXIPA; ++Y) TOTAL = ADDCOUNT(TOTAL, R.Z[X][Y], "row total");
    F.PUTINT(TOTAL, T.TOTALFIELD);
    F.ENDLINE();
  }
  F.CLOSE();
}
