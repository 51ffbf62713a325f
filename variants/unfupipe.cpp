// unfupipe: the per-planet driver, the pair body, the count lines of a
// block and the count table (see unfupipe.hpp).
#include "unfupipe.hpp"

#include <string>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unfufuse.hpp"
#include "unfugate.hpp"
#include "unfuperi.hpp"
#include "unfustag.hpp"
#include "unsercac.hpp"

TTEXTOUT F;
TTEXTOUT CONSOLE;
int32_t K = 0, L = 0;
TCOUNTTAB Z{};
TPIPEPLACE HERE;
bool QUIET = false;
TPIPELINEMODE PIPELINEMODE = TPIPELINEMODE::FUSED;

namespace {

std::string WHERE() {
  if (HERE.I == 0) return {};
  std::string W = "pair " + std::to_string(HERE.I) + "-" + std::to_string(HERE.J);
  if (HERE.N != 0) {
    W += ", " + SERIESNAME(HERE.N);
    if (HERE.TERM >= 0) {
      const TSERIESFILE& S = SERIESFILE(HERE.N);
      W += ", term " + std::to_string(HERE.TERM + 1);
      if (HERE.TERM < static_cast<long>(S.ROWS.LINES.size()))
        W += " at line " + std::to_string(S.ROWS.LINES[static_cast<size_t>(HERE.TERM)]);
    }
  }
  return W;
}

void PLANETLINE(TTEXTOUT& T, int NUM, const char* TEXT, int PLANET) {
  T.PUTINT(NUM, 4);
  T.PUT(TEXT);
  T.PUT(NAMEOFPLANET[PLANET]);
  T.ENDLINE();
}

}  // namespace

void COUNTLINES(int32_t N) {
  L = ADDCOUNT(L, N, "term count L of the planet");
  K = ADDCOUNT(K, N, "term count K of the pair");
  F.PUTINT(N, 10);
  F.PUTINT(K, 12);
  F.PUT("         terms number");
  F.ENDLINE();
  F.PUTINT(N, 10);
  F.PUTINT(L, 12);
  F.PUT("  after  terms number");
  F.ENDLINE();
}

void BLOCKLINE(uint8_t I, uint8_t J, int N) {
  F.PUTINT(MECONE, 10);
  F.PUTINT(I, 4);
  F.PUTINT(J, 4);
  F.PUTINT(N, 4);
  F.PUT("  before terms number");
  F.ENDLINE();
}

void PAIRBODY(const TVARIANT& V, uint8_t I, uint8_t J) {
  if (!QUIET) PLANETLINE(CONSOLE, J, "  perturbing planet is ", J);
  PLANETLINE(F, J, "  perturbing planet is ", J);
  for (int N = 1; N <= NUMSERIES; ++N) {
    HERE.N = N;
    if (PIPELINEMODE == TPIPELINEMODE::FUSED)
      FUSEDBLOCK(V, I, J, N);
    else
      STAGEDBLOCK(V, I, J, N);
  }
  HERE.N = 0;
  if (QUIET) return;
  CONSOLE.PUTINT(I, 4);
  CONSOLE.PUTINT(J, 4);
  CONSOLE.PUTINT(K, 15);
  CONSOLE.PUT(V.OURTEXT);
  CONSOLE.ENDLINE();
  CONSOLE.PUTINT(I, 4);
  CONSOLE.PUTINT(J, 4);
  CONSOLE.PUTINT(L, 15);
  CONSOLE.PUT(V.ALLTEXT);
  CONSOLE.ENDLINE();
}

void PLANETDRIVER(const TVARIANT& V, uint8_t I) {
  PARSEAHEAD();
  SETWHERE(WHERE);
  if (V.ORDERFILTER) MAXSUM = MAXSHORTORDER;
  L = 0;
  for (int J = 1; J <= MAXIPA; ++J) {
    Z[I][J] = 0;
    if (J == I) continue;
    HERE.I = I;
    HERE.J = J;
    NEWPAIRPERIODS();
    NEWPAIRGATES();
    F.CREATE(V.PREFIX + BYTETOFIXSTR(I, 2) +
             BYTETOFIXSTR(static_cast<uint8_t>(J), 2) + ".txt");
    if (!QUIET) PLANETLINE(CONSOLE, I, "  perturbed  planet is ", I);
    PLANETLINE(F, I, "  perturbed  planet is ", I);
    K = 0;
    PAIRBODY(V, I, static_cast<uint8_t>(J));
    F.PUTINT(K, 10);
    F.PUTINT(I, 4);
    F.PUTINT(J, 4);
    F.PUT(V.CLOSETEXT);
    F.ENDLINE();
    Z[I][J] = K;
    F.CLOSE();
  }
  HERE.I = 0;
  COUNTTABLE(V);
}

void COUNTTABLE(const TVARIANT& V) {
  F.CREATE(V.TABLENAME);
  F.PUT(std::string(static_cast<size_t>(V.TA), ' '));
  for (int Y = 1; Y <= MAXIPA; ++Y) {
    F.PUTINT(Y, V.TB);
    F.PUT(std::string(static_cast<size_t>(V.TC), ' '));
  }
  F.ENDLINE();
  for (int X = 1; X <= MAXIPA; ++X) {
    F.PUTINT(X, V.TD);
    F.PUT("  ");
    for (int Y = 1; Y <= MAXIPA; ++Y) {
      F.PUTINT(Z[X][Y], V.TE);
      F.PUTCH(' ');
    }
    int32_t R = 0;
    for (int Y = 1; Y <= MAXIPA; ++Y) R = ADDCOUNT(R, Z[X][Y], "row total");
    F.PUTINT(R, V.TG);
    F.ENDLINE();
  }
  F.CLOSE();
}

void RESETPIPELINE() {
  RESETSERIES();
  for (int X = 1; X <= MAXIPA; ++X)
    for (int Y = 1; Y <= MAXIPA; ++Y) Z[X][Y] = 0;
  K = L = 0;
  HERE = TPIPEPLACE{};
  QUIET = false;
}
