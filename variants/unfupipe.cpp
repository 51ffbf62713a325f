#include "unfupipe.hpp"

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unrowtxt.hpp"
#include "unvarpow.hpp"

TTEXTOUT F;
TTEXTOUT CONSOLE;
int32_t K = 0, L = 0;
TCOUNTTAB Z{};

namespace {

// ---------------------------------------------------------------------------
// Series files, each parsed once per run: the first pair reads them in
// order 1 to 27, so every failure of the reader comes at the same point as
// if each pair read them anew; later pairs take the rows from here.

// Text of a row line from column 10 to column 83: the amplitude's digits
// and exponent, the six exponents and the six multipliers with their
// separators. The sign (column 9) and the code (column 84) come from the
// row itself, which the pipeline may have changed.
struct TROWTAIL {
  char C[79];
  uint8_t LEN;
};

struct TSERIESFILE {
  bool LOADED = false;
  int32_t COUNT = 0;
  std::vector<TROWVAR> ROWS;
  std::vector<TROWTAIL> TAILS;
  std::vector<int32_t> LINES;
};

TARRAY<TSERIESFILE, 1, NUMSERIES, "series file"> SERIES;

// Where the pipeline is, for fatal reports.
int CURI = 0, CURJ = 0, CURN = 0;
const TROWVAR* CURROW = nullptr;

std::string SERIESNAME(int N) { return "puf" + BYTETOFIXSTR(static_cast<uint8_t>(N), 2) + ".txt"; }

std::string WHERE() {
  if (CURI == 0) return {};
  std::string W = "pair " + std::to_string(CURI) + "-" + std::to_string(CURJ);
  if (CURN != 0) {
    W += ", " + SERIESNAME(CURN);
    if (CURROW != nullptr) {
      const TSERIESFILE& S = SERIES[CURN];
      long T = CURROW->TXT;
      W += ", term " + std::to_string(T + 1);
      if (T >= 0 && T < static_cast<long>(S.LINES.size()))
        W += " at line " + std::to_string(S.LINES[static_cast<size_t>(T)]);
    }
  }
  return W;
}

void MAKETAIL(const TROWVAR& R, const TAMPTEXT& A, TROWTAIL& T) {
  char* P = T.C;
  std::memcpy(P, A.C, A.LEN);
  P += A.LEN;
  *P++ = ' ';
  for (int I = 1; I <= NUMSEL; ++I) P += FORMATINT(P, R.MEC[I], 4);
  *P++ = ' ';
  for (int I = 1; I <= MAXARG; ++I) P += FORMATINT(P, R.MAR[I], 4);
  *P++ = ' ';
  *P++ = ' ';
  T.LEN = static_cast<uint8_t>(P - T.C);
}

void LOADSERIES(int N) {
  TSERIESFILE& S = SERIES[N];
  TSERIESREADER IN(SERIESNAME(N));
  S.COUNT = IN.READCOUNT();
  try {
    S.ROWS.resize(static_cast<size_t>(S.COUNT));
    S.TAILS.resize(static_cast<size_t>(S.COUNT));
    S.LINES.resize(static_cast<size_t>(S.COUNT));
  } catch (const std::bad_alloc&) {
    MEMORYERROR("the rows of a series file",
                static_cast<unsigned long long>(S.COUNT) *
                    (sizeof(TROWVAR) + sizeof(TROWTAIL) + sizeof(int32_t)));
  }
  TAMPTEXT A;
  for (int32_t M = 0; M < S.COUNT; ++M) {
    TROWVAR& R = S.ROWS[static_cast<size_t>(M)];
    R = RECNUL;
    IN.READTERM(R, &A);
    R.TXT = M;
    S.LINES[static_cast<size_t>(M)] = static_cast<int32_t>(IN.TERMLINE());
    MAKETAIL(R, A, S.TAILS[static_cast<size_t>(M)]);
  }
  IN.CLOSE();
  S.LOADED = true;
}

// Whole-row copy of rows 1..N between tables, N already within 0..MAXARR.
void COPYROWS(TROWDIM& TO, const TROWDIM& FROM, int32_t N) {
  if (N > 0) {
    (void)TO[N];
    (void)FROM[N];
    std::memcpy(TO.DATA(), FROM.DATA(), static_cast<size_t>(N) * sizeof(TROWVAR));
  }
}

// ---------------------------------------------------------------------------
// Periods: for the pair in hand the frequency, the selection and the
// period text depend only on (NPA, NPB, MAR[1], MAR[4]); each is computed
// once per pair.

struct TPERIODENTRY {
  uint32_t STAMP;
  bool KEEP;
  uint8_t LEN;
  char TXT[26];
};

std::vector<TPERIODENTRY> PERIODS;  // [orientation][MAR1][MAR4]
uint32_t PERIODSTAMP = 0;

const TPERIODENTRY& PERIODOF(const TVARIANT& V, const TROWVAR& R) {
  const int O = R.NPA < R.NPB ? 0 : 1;
  const size_t IDX = (static_cast<size_t>(O) << 16) |
                     (static_cast<size_t>(static_cast<uint8_t>(R.MAR[1])) << 8) |
                     static_cast<uint8_t>(R.MAR[4]);
  TPERIODENTRY& E = PERIODS[IDX];
  if (E.STAMP != PERIODSTAMP) {
    const TEXTENDED Q = FREQUENCY(R);
    E.KEEP = V.SELECT == TSELECT::SHORTPERIOD ? std::fabs(Q) > THRESHOLD
                                               : std::fabs(Q) < THRESHOLD;
    E.LEN = 0;
    if (E.KEEP && V.PERIODWIDTH > 0) {
      std::string T = FIXEDTEXT(PERIOD(Q), V.PERIODWIDTH);
      if (T.size() > sizeof E.TXT) T = T.substr(0, sizeof E.TXT);  // |P| < 2e17
      std::memcpy(E.TXT, T.data(), T.size());
      E.LEN = static_cast<uint8_t>(T.size());
    }
    E.STAMP = PERIODSTAMP;
  }
  return E;
}

void NEWPAIRPERIODS() {
  if (PERIODS.empty()) PERIODS.assign(size_t{2} << 16, TPERIODENTRY{});
  if (++PERIODSTAMP == 0) {
    for (TPERIODENTRY& E : PERIODS) E.STAMP = 0;
    PERIODSTAMP = 1;
  }
}

// One row line: planets, amplitude text, exponents, multipliers, code and,
// where the program has one, the period.
void WRITEROW(const TVARIANT& V, const TROWVAR& R) {
  const TROWTAIL& T = SERIES[CURN].TAILS[static_cast<size_t>(R.TXT)];
  char* P = F.RESERVE(160);
  int N = FORMATINT(P, R.NPA, 3);
  N += FORMATINT(P + N, R.NPB, 3);
  P[N++] = ' ';
  P[N++] = ' ';
  P[N++] = std::signbit(R.AMP) ? '-' : ' ';
  std::memcpy(P + N, T.C, T.LEN);
  N += T.LEN;
  P[N++] = R.FCS;
  if (V.PERIODWIDTH > 0) {
    const TPERIODENTRY& E = PERIODOF(V, R);
    P[N++] = ' ';
    P[N++] = ' ';
    std::memcpy(P + N, E.TXT, E.LEN);
    N += E.LEN;
  }
  P[N++] = '\r';
  P[N++] = '\n';
  F.COMMIT(static_cast<size_t>(N));
}

void PLANETLINE(TTEXTOUT& T, int NUM, const char* TEXT, int PLANET) {
  T.PUTINT(NUM, 4);
  T.PUT(TEXT);
  T.PUT(NAMEOFPLANET[PLANET]);
  T.ENDLINE();
}

}  // namespace

// ---------------------------------------------------------------------------

int ORDEROF(const TROWVAR& R) {
  const long long S = static_cast<long long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4];
  return TOSHORTINT(S, "order MEC[1]+MEC[2]+MEC[3]+MEC[4]");
}

TEXTENDED FREQUENCY(const TROWVAR& R) {
  return static_cast<TEXTENDED>(R.MAR[1]) * VALAN[R.NPA] +
         static_cast<TEXTENDED>(R.MAR[4]) * VALAN[R.NPB];
}

TEXTENDED PERIOD(TEXTENDED Q) {
  if (std::fabs(Q) < MINFREQ) return 0.0L;
  return TWOPIEXT / (Q * YEARDAYS);
}

void READSERIES(uint8_t N) {
  if (!SERIES[N].LOADED) LOADSERIES(N);
  const TSERIESFILE& S = SERIES[N];
  MECONE = S.COUNT;
  if (MECONE > 0) {
    (void)(*ROWONE)[MECONE];
    std::memcpy(ROWONE->DATA(), S.ROWS.data(), S.ROWS.size() * sizeof(TROWVAR));
  }
}

void ORDERFILTER() {
  MECAUX = MECONE;
  COPYROWS(*ROWAUX, *ROWONE, MECAUX);
  MECONE = 0;
  for (int32_t M = 1; M <= MECAUX; ++M) {
    const TROWVAR& R = (*ROWAUX)[M];
    CURROW = &R;
    if (ORDEROF(R) <= MAXSUM) {
      MECONE = ADDCOUNT(MECONE, 1, "MECONE");
      (*ROWONE)[MECONE] = R;
    }
  }
  CURROW = nullptr;
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
    CURROW = &R;
    (*ROWTWO)[MECTWO] = R;
  }
  CURROW = nullptr;
}

void AMPLTEST(uint8_t J, int BOUND) {
  MECTWO = 0;
  for (int32_t M = 1; M <= MECONE; ++M) {
    const TROWVAR& R = (*ROWONE)[M];
    CURROW = &R;
    TEXTENDED A = R.AMP * FAMUS[J];
    A = (AXIPO[R.NPB][R.MEC[6]] * AXIPO[R.NPA][R.MEC[5]]) * A;
    const int S = ORDEROF(R);
    if (S > 0 && S < BOUND + 1) A = A * POWAR[S];
    if (std::fabs(A) > AMPLIMIT) {
      MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
      (*ROWTWO)[MECTWO] = R;
    }
  }
  CURROW = nullptr;
}

void COPYALL() {
  MECTWO = MECONE;
  COPYROWS(*ROWTWO, *ROWONE, MECONE);
}

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
  for (int32_t M = 1; M <= N; ++M) WRITEROW(V, (*TAB)[M]);
}

void PAIRBODY(const TVARIANT& V, uint8_t I, uint8_t J) {
  PLANETLINE(CONSOLE, J, "  perturbing planet is ", J);
  PLANETLINE(F, J, "  perturbing planet is ", J);
  for (int N = 1; N <= NUMSERIES; ++N) {
    CURN = N;
    READSERIES(static_cast<uint8_t>(N));
    if (V.ORDERFILTER) ORDERFILTER();
    F.PUTINT(MECONE, 10);
    F.PUTINT(I, 4);
    F.PUTINT(J, 4);
    F.PUTINT(N, 4);
    F.PUT("  before terms number");
    F.ENDLINE();
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
  CURN = 0;
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
  SETWHERE(WHERE);
  if (V.ORDERFILTER) MAXSUM = MAXSHORTORDER;
  L = 0;
  for (int J = 1; J <= MAXIPA; ++J) {
    Z[I][J] = 0;
    if (J == I) continue;
    CURI = I;
    CURJ = J;
    NEWPAIRPERIODS();
    F.CREATE(V.PREFIX + BYTETOFIXSTR(I, 2) +
             BYTETOFIXSTR(static_cast<uint8_t>(J), 2) + ".txt");
    PLANETLINE(CONSOLE, I, "  perturbed  planet is ", I);
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
  CURI = 0;
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
  for (int N = 1; N <= NUMSERIES; ++N) SERIES[N] = TSERIESFILE{};
  for (int X = 1; X <= MAXIPA; ++X)
    for (int Y = 1; Y <= MAXIPA; ++Y) Z[X][Y] = 0;
  K = L = 0;
  CURI = CURJ = CURN = 0;
  CURROW = nullptr;
}
