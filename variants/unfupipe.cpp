#include "unfupipe.hpp"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unsercac.hpp"
#include "unvarpow.hpp"

TTEXTOUT F;
TTEXTOUT CONSOLE;
int32_t K = 0, L = 0;
TCOUNTTAB Z{};

namespace {

// Where the pipeline is, for fatal reports: pair, series file, and the
// place (0-based) of the term in hand in its file, or -1.
int CURI = 0, CURJ = 0, CURN = 0;
long CURTERM = -1;

std::string WHERE() {
  if (CURI == 0) return {};
  std::string W = "pair " + std::to_string(CURI) + "-" + std::to_string(CURJ);
  if (CURN != 0) {
    W += ", " + SERIESNAME(CURN);
    if (CURTERM >= 0) {
      const TSERIESFILE& S = SERIESFILE(CURN);
      W += ", term " + std::to_string(CURTERM + 1);
      if (CURTERM < static_cast<long>(S.LINES.size()))
        W += " at line " + std::to_string(S.LINES[static_cast<size_t>(CURTERM)]);
    }
  }
  return W;
}

// The amplitude estimate of a row and its test, with the axis powers of
// planets NPA (XA) and NPB (XB) and the mass factor FJ of the perturbing
// planet: A = AMP * FJ; A = (XB[MEC6] * XA[MEC5]) * A; A = A * 2^-S for
// orders S in 1..BOUND; |A| > 1.0E-16.
inline bool AMPTEST(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, const TAXIROW& XA, const TAXIROW& XB,
                    TEXTENDED FJ, int BOUND) {
  TEXTENDED A = AMP * FJ;
  const TEXTENDED PB = XB[MEC6];
  const TEXTENDED PA = XA[MEC5];
  A = (PB * PA) * A;
  const int S = ORDEROF(ORDERSUM);
  if (S > 0 && S < BOUND + 1) A = A * POWAR[S];
  return std::fabs(A) > AMPLIMIT;
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
  char TXT[42];  // "  ", the period, CR LF; or CR LF alone
};

std::vector<TPERIODENTRY> PERIODS;  // [orientation][MAR1][MAR4]
uint32_t PERIODSTAMP = 0;

size_t PERIODINDEX(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return (static_cast<size_t>(NPA < NPB ? 0 : 1) << 16) | (static_cast<size_t>(static_cast<uint8_t>(MAR1)) << 8) |
         static_cast<uint8_t>(MAR4);
}

// Computes the entry of (NPA, NPB, MAR[1], MAR[4]) for the pair in hand.
[[gnu::noinline]] void FILLPERIOD(TPERIODENTRY& E, const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1,
                                  int8_t MAR4) {
  const TEXTENDED Q = FREQUENCYOF(NPA, NPB, MAR1, MAR4);
  E.KEEP = V.SELECT == TSELECT::SHORTPERIOD ? std::fabs(Q) > THRESHOLD : std::fabs(Q) < THRESHOLD;
  std::string T;
  if (E.KEEP && V.PERIODWIDTH > 0) T = "  " + FIXEDTEXT(PERIOD(Q), V.PERIODWIDTH);
  if (T.size() > sizeof E.TXT - 2) T.resize(sizeof E.TXT - 2);  // |P| < 2e17
  T += "\r\n";
  std::memcpy(E.TXT, T.data(), T.size());
  E.LEN = static_cast<uint8_t>(T.size());
  E.STAMP = PERIODSTAMP;
}

inline const TPERIODENTRY& PERIODOF(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  TPERIODENTRY& E = PERIODS[PERIODINDEX(NPA, NPB, MAR1, MAR4)];
  if (E.STAMP != PERIODSTAMP) [[unlikely]]
    FILLPERIOD(E, V, NPA, NPB, MAR1, MAR4);
  return E;
}

const TPERIODENTRY& PERIODOF(const TVARIANT& V, const TROWVAR& R) {
  return PERIODOF(V, R.NPA, R.NPB, R.MAR[1], R.MAR[4]);
}

// The entries of the previous pair are void from here on.
void NEWPAIRPERIODS() {
  if (PERIODS.empty()) PERIODS.assign(size_t{2} << 16, TPERIODENTRY{});
  if (++PERIODSTAMP == 0) {
    for (TPERIODENTRY& E : PERIODS) E.STAMP = 0;
    PERIODSTAMP = 1;
  }
}

// ---------------------------------------------------------------------------
// The amplitude test as a gate on |AMP|. For a pair, the estimate of a row
// depends on the row only through AMP, MEC[5], MEC[6] and the halving
// factor of its order, and for fixed exponents it is a chain of correctly
// rounded products of |AMP| with positive factors: it never decreases as
// |AMP| grows. So for each (MEC[5], MEC[6], halving factor) the test passes
// exactly for |AMP| at or above the least extended value that passes it,
// found once per pair by bisection over the ordered extended values with
// the test itself. A row is then tested by comparing the exponent and
// significand of |AMP| with that gate.

struct TGATE {
  uint32_t STAMP;
  uint16_t EXP;   // biased exponent of the least passing value
  uint64_t MANT;  // its significand
  bool NEVER;     // no finite value passes
};

constexpr int AXISSPAN = 2 * MAXAXIEXP + 1;
std::vector<TGATE> GATES;  // [MEC[5]][MEC[6]][halving power or 0]
uint32_t GATESTAMP = 0;

// The non-negative extended values in order: exponent and significand.
using TORDINAL = unsigned __int128;

TORDINAL ORDINALOF(TEXTENDED X) {
  uint64_t MANT;
  uint16_t SE;
  std::memcpy(&MANT, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  const unsigned EXP = SE & 0x7FFFu;
  return EXP == 0 ? TORDINAL(MANT) : (TORDINAL(EXP - 1) << 63) + MANT;
}

TEXTENDED VALUEOF(TORDINAL O) {
  uint64_t MANT;
  uint16_t EXP;
  if (O < (TORDINAL(1) << 63)) {
    EXP = 0;
    MANT = static_cast<uint64_t>(O);
  } else {
    EXP = static_cast<uint16_t>((O >> 63) & 0x7FFF);
    MANT = static_cast<uint64_t>(O - (TORDINAL(EXP - 1) << 63));
  }
  TEXTENDED X = 0.0L;
  std::memcpy(&X, &MANT, 8);
  std::memcpy(reinterpret_cast<char*>(&X) + 8, &EXP, 2);
  return X;
}

void NEWPAIRGATES() {
  if (GATES.empty()) GATES.assign(static_cast<size_t>(AXISSPAN * AXISSPAN * (MAXALLORDER + 1)), TGATE{});
  if (++GATESTAMP == 0) {
    for (TGATE& G : GATES) G.STAMP = 0;
    GATESTAMP = 1;
  }
}

void FILLGATE(TGATE& G, int MEC5, int MEC6, int S, const TAXIROW& XA, const TAXIROW& XB, TEXTENDED FJ, int BOUND) {
  auto PASSES = [&](TORDINAL O) { return AMPTEST(VALUEOF(O), MEC5, MEC6, S, XA, XB, FJ, BOUND); };
  TORDINAL LO = 0, HI = ORDINALOF(LDBL_MAX);
  G.NEVER = !PASSES(HI);
  if (!G.NEVER && !PASSES(LO)) {
    // PASSES(LO) is false, PASSES(HI) true.
    while (HI - LO > 1) {
      const TORDINAL MID = LO + (HI - LO) / 2;
      (PASSES(MID) ? HI : LO) = MID;
    }
  } else {
    HI = LO;
  }
  uint64_t MANT;
  uint16_t SE;
  const TEXTENDED X = VALUEOF(HI);
  std::memcpy(&MANT, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  G.EXP = SE & 0x7FFF;
  G.MANT = MANT;
  G.STAMP = GATESTAMP;
}

// The amplitude test of one row through the gates: the same range checks
// in the same order as the test itself, then a comparison of integers.
inline bool GATEDTEST(TEXTENDED AMP, const TPACK& P, const TAXIROW& XA, const TAXIROW& XB, TEXTENDED FJ,
                      int BOUND) {
  const int MEC6 = P.MEC[6], MEC5 = P.MEC[5];
  if (MEC6 < -MAXAXIEXP || MEC6 > MAXAXIEXP) (void)XB[MEC6];
  if (MEC5 < -MAXAXIEXP || MEC5 > MAXAXIEXP) (void)XA[MEC5];
  const int S = ORDEROF(P.ORDER);
  const int H = S > 0 && S < BOUND + 1 ? S : 0;
  TGATE& G = GATES[static_cast<size_t>(((MEC5 + MAXAXIEXP) * AXISSPAN + (MEC6 + MAXAXIEXP)) * (MAXALLORDER + 1) + H)];
  if (G.STAMP != GATESTAMP) [[unlikely]]
    FILLGATE(G, MEC5, MEC6, S, XA, XB, FJ, BOUND);
  if (G.NEVER) return false;
  uint64_t MANT;
  uint16_t SE;
  std::memcpy(&MANT, &AMP, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&AMP) + 8, 2);
  const unsigned EXP = SE & 0x7FFFu;
  return EXP > G.EXP || (EXP == G.EXP && MANT >= G.MANT);
}

// A term to be written by the fused pipeline: the row in its series file,
// whether it is the mirror image, and what the pipeline made of it.
struct TOUTROW {
  int32_t ROW;
  bool MIRROR;
  char SIGN;
  char FCS;
  const TPERIODENTRY* PERIOD;
};
using TOUTLIST = std::vector<TOUTROW>;
TOUTLIST OUTLIST;

// One row line: planets, amplitude text, exponents, multipliers, code and,
// where the program has one, the period. PLANETS is the text of columns 1
// to 8 (both planet numbers and the two blanks before the amplitude).
void WRITEROW(const char* PLANETS, char SIGN, const TTAIL& T, char FCS, const TPERIODENTRY* E) {
  char* O = F.RESERVE(8 + 1 + sizeof T.C + 1 + sizeof E->TXT);
  std::memcpy(O, PLANETS, 8);
  O[8] = SIGN;
  std::memcpy(O + 9, T.C, sizeof T.C);
  char* Q = O + 9 + T.LEN;
  *Q++ = FCS;
  if (E != nullptr) {
    std::memcpy(Q, E->TXT, sizeof E->TXT);
    Q += E->LEN;
  } else {
    *Q++ = '\r';
    *Q++ = '\n';
  }
  F.COMMIT(static_cast<size_t>(Q - O));
}

struct TPLANETS {
  char C[8];
};

TPLANETS PLANETSTEXT(uint8_t NPA, uint8_t NPB) {
  char B[48];
  int N = FORMATINT(B, NPA, 3);
  N += FORMATINT(B + N, NPB, 3);
  TPLANETS P;
  std::memcpy(P.C, B, 6);  // planet numbers are 1..8
  P.C[6] = P.C[7] = ' ';
  return P;
}

void WRITEROW(const TVARIANT& V, const TROWVAR& R) {
  WRITEROW(PLANETSTEXT(R.NPA, R.NPB).C, std::signbit(R.AMP) ? '-' : ' ',
           SERIESFILE(CURN).TAILS[static_cast<size_t>(R.TXT)], R.FCS,
           V.PERIODWIDTH > 0 ? &PERIODOF(V, R) : nullptr);
}

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

void PLANETLINE(TTEXTOUT& T, int NUM, const char* TEXT, int PLANET) {
  T.PUTINT(NUM, 4);
  T.PUT(TEXT);
  T.PUT(NAMEOFPLANET[PLANET]);
  T.ENDLINE();
}

}  // namespace

// ---------------------------------------------------------------------------

int ORDEROF(long ORDERSUM) { return TOSHORTINT(ORDERSUM, "order MEC[1]+MEC[2]+MEC[3]+MEC[4]"); }

int ORDEROF(const TROWVAR& R) {
  return ORDEROF(static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4]);
}

TEXTENDED FREQUENCYOF(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return static_cast<TEXTENDED>(MAR1) * VALAN[NPA] + static_cast<TEXTENDED>(MAR4) * VALAN[NPB];
}

TEXTENDED FREQUENCY(const TROWVAR& R) { return FREQUENCYOF(R.NPA, R.NPB, R.MAR[1], R.MAR[4]); }

bool AMPPASSES(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, uint8_t NPA, uint8_t NPB, uint8_t J,
               int BOUND) {
  return AMPTEST(AMP, MEC5, MEC6, ORDERSUM, AXIPO[NPA], AXIPO[NPB], FAMUS[J], BOUND);
}

TEXTENDED PERIOD(TEXTENDED Q) {
  if (std::fabs(Q) < MINFREQ) return 0.0L;
  return TWOPIEXT / (Q * YEARDAYS);
}

void READSERIES(uint8_t N) {
  const TSERIESFILE& S = LOADEDSERIES(N);
  MECONE = S.COUNT;
  for (int32_t M = 1; M <= MECONE; ++M) {
    TROWVAR& R = (*ROWONE)[M];
    const TPACK& P = S.PACKS[static_cast<size_t>(M - 1)];
    R = RECNUL;
    R.AMP = S.AMPS[static_cast<size_t>(M - 1)];
    R.MEC = P.MEC;
    R.MAR = P.MAR;
    R.FCS = P.FCS;
    R.TXT = M - 1;
  }
}

void ORDERFILTER() {
  MECAUX = MECONE;
  COPYROWS(*ROWAUX, *ROWONE, MECAUX);
  MECONE = 0;
  for (int32_t M = 1; M <= MECAUX; ++M) {
    const TROWVAR& R = (*ROWAUX)[M];
    CURTERM = R.TXT;
    if (ORDEROF(R) <= MAXSUM) {
      MECONE = ADDCOUNT(MECONE, 1, "MECONE");
      (*ROWONE)[MECONE] = R;
    }
  }
  CURTERM = -1;
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
    CURTERM = R.TXT;
    (*ROWTWO)[MECTWO] = R;
  }
  CURTERM = -1;
}

void AMPLTEST(uint8_t J, int BOUND) {
  MECTWO = 0;
  for (int32_t M = 1; M <= MECONE; ++M) {
    const TROWVAR& R = (*ROWONE)[M];
    CURTERM = R.TXT;
    if (AMPPASSES(R.AMP, R.MEC[5], R.MEC[6], static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4],
                  R.NPA, R.NPB, J, BOUND)) {
      MECTWO = ADDCOUNT(MECTWO, 1, "MECTWO");
      (*ROWTWO)[MECTWO] = R;
    }
  }
  CURTERM = -1;
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
  COUNTLINES(N);
  for (int32_t M = 1; M <= N; ++M) WRITEROW(V, (*TAB)[M]);
}

namespace {

// One series file of a pair, stage by stage through the row tables.
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

// The same block in one pass over the parsed rows of the file: no row is
// copied between tables; the terms written are gathered as references.
// Every check happens on the same row and in the same order as in the
// stages, so a failure comes at the same point.
void FUSEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N) {
  TSERIESFILE& S = LOADEDSERIES(N);
  const TEXTENDED* AMPS = S.AMPS.data();
  const TPACK* PACKS = S.PACKS.data();
  const int32_t* IDX = nullptr;  // rows that go on, or all
  int32_t CNT = S.COUNT;
  if (V.ORDERFILTER) {
    if (S.ORDERBOUND != MAXSUM) {
      S.ORDERKEEP.clear();
      for (int32_t M = 0; M < S.COUNT; ++M) {
        CURTERM = M;
        if (ORDEROF(PACKS[M].ORDER) <= MAXSUM) S.ORDERKEEP.push_back(M);
      }
      CURTERM = -1;
      S.ORDERBOUND = MAXSUM;
    }
    IDX = S.ORDERKEEP.data();
    CNT = static_cast<int32_t>(S.ORDERKEEP.size());
  }
  MECONE = CNT;
  BLOCKLINE(I, J, N);

  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const TPLANETS PLANETS[2] = {PLANETSTEXT(A, B), PLANETSTEXT(I, J)};
  TOUTLIST& OUT = OUTLIST;
  OUT.clear();
  const bool SELECT = V.SELECT != TSELECT::ALLTERMS;
  // A prepared term goes to the selection (or straight out in termall).
  auto TAKE = [&](int32_t M, bool MIRROR) {
    const TPACK& P = PACKS[M];
    const TPERIODENTRY* E = nullptr;
    if (SELECT) {
      E = MIRROR ? &PERIODOF(V, I, J, P.MAR[1], P.MAR[4]) : &PERIODOF(V, A, B, P.MAR[1], P.MAR[4]);
      if (!E->KEEP) return;
    }
    bool NEG = std::signbit(AMPS[M]) != MIRROR;
    char FCS = P.FCS;
    if (V.SELECT == TSELECT::SHORTPERIOD) {
      if (FCS == 'S') {
        NEG = !NEG;
        FCS = 'C';
      } else {
        FCS = 'S';
      }
    }
    OUT.push_back(TOUTROW{M, MIRROR, NEG ? '-' : ' ', FCS, E});
  };
  auto ROW = [&](int32_t K) { return IDX != nullptr ? IDX[K] : K; };

  if (N == 1) {
    if (I > J) {
      // Rows and their mirror images: twice the rows must fit a table.
      if (2 * static_cast<long>(CNT) > MAXARR) {
        CURTERM = ROW(MAXARR - CNT);
        (void)(*ROWTWO)[MAXARR + 1];
      }
      for (int32_t K = 0; K < CNT; ++K) TAKE(ROW(K), false);
      for (int32_t K = 0; K < CNT; ++K) TAKE(ROW(K), true);
    }
  } else if (V.AMPTEST == TAMPTEST::COPYALL) {
    for (int32_t K = 0; K < CNT; ++K) TAKE(ROW(K), false);
  } else {
    const int BOUND = V.AMPTEST == TAMPTEST::TOMAXSUM ? MAXSUM : MAXALLORDER;
    const TAXIROW& XA = AXIPO[A];
    const TAXIROW& XB = AXIPO[B];
    const TEXTENDED FJ = FAMUS[J];
    for (int32_t K = 0; K < CNT; ++K) {
      const int32_t M = ROW(K);
      const TPACK& P = PACKS[M];
      CURTERM = M;
      if (GATEDTEST(AMPS[M], P, XA, XB, FJ, BOUND)) TAKE(M, false);
    }
    CURTERM = -1;
  }

  const int32_t NOUT = static_cast<int32_t>(OUT.size());
  if (SELECT) MECTRE = NOUT; else MECTWO = NOUT;
  COUNTLINES(NOUT);
  const TTAIL* TAILS = S.TAILS.data();
  const size_t NO = OUT.size();
  for (size_t K = 0; K < NO; ++K) {
    if (K + 16 < NO) __builtin_prefetch(&TAILS[OUT[K + 16].ROW]);
    const TOUTROW& O = OUT[K];
    WRITEROW(PLANETS[O.MIRROR].C, O.SIGN, TAILS[O.ROW], O.FCS, O.PERIOD);
  }
}

}  // namespace

TPIPELINEMODE PIPELINEMODE = TPIPELINEMODE::FUSED;

void PAIRBODY(const TVARIANT& V, uint8_t I, uint8_t J) {
  PLANETLINE(CONSOLE, J, "  perturbing planet is ", J);
  PLANETLINE(F, J, "  perturbing planet is ", J);
  for (int N = 1; N <= NUMSERIES; ++N) {
    CURN = N;
    if (PIPELINEMODE == TPIPELINEMODE::FUSED)
      FUSEDBLOCK(V, I, J, N);
    else
      STAGEDBLOCK(V, I, J, N);
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
    NEWPAIRGATES();
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
  RESETSERIES();
  for (int X = 1; X <= MAXIPA; ++X)
    for (int Y = 1; Y <= MAXIPA; ++Y) Z[X][Y] = 0;
  K = L = 0;
  CURI = CURJ = CURN = 0;
  CURTERM = -1;
}
