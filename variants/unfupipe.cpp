#include "unfupipe.hpp"

#include <algorithm>
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
      if (CURTERM < static_cast<long>(S.ROWS.LINES.size()))
        W += " at line " + std::to_string(S.ROWS.LINES[static_cast<size_t>(CURTERM)]);
    }
  }
  return W;
}

// The power of two that halves the estimate of a row of order S: S for
// orders 1..BOUND, else 0 (none; POWAR[0] is 1).
inline int HALVINGPOWER(int S, int BOUND) { return S > 0 && S < BOUND + 1 ? S : 0; }

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
  const int H = HALVINGPOWER(ORDEROF(ORDERSUM), BOUND);
  if (H > 0) A = A * POWAR[H];
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

TBIGARRAY<TPERIODENTRY> PERIODS;  // [orientation][MAR1][MAR4], zeros until used
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
  if (PERIODS.size() == 0 && !PERIODS.OBTAIN(size_t{2} << 16))
    MEMORYERROR("the period table", (size_t{2} << 16) * sizeof(TPERIODENTRY));
  if (++PERIODSTAMP == 0) {
    for (size_t K = 0; K < PERIODS.size(); ++K) PERIODS[K].STAMP = 0;
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

// What every row looks at, apart from the rest, so that the gates in use
// stay close at hand.
struct TGATEKEY {
  uint32_t STAMP;
  uint32_t KEY;  // AMPKEY of the least passing value; all ones if NEVER
};
struct TGATE {
  uint64_t MANT;  // significand of the least passing value
  uint16_t EXP;   // its biased exponent
  bool NEVER;     // no finite value passes
};

TBIGARRAY<TGATEKEY> GATEKEYS;  // [gate class], zeros until used
TBIGARRAY<TGATE> GATES;        // [gate class], zeros until used
uint32_t GATESTAMP = 0;

// The non-negative extended values in order: exponent and significand.
using TORDINAL = unsigned __int128;

TORDINAL ORDINALOF(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return M.EXP == 0 ? TORDINAL(M.MANT) : (TORDINAL(M.EXP - 1) << 63) + M.MANT;
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
  if (GATES.size() == 0 && (!GATES.OBTAIN(GATECLASSES) || !GATEKEYS.OBTAIN(GATECLASSES)))
    MEMORYERROR("the gate table", GATECLASSES * (sizeof(TGATE) + sizeof(TGATEKEY)));
  if (++GATESTAMP == 0) {
    for (size_t K = 0; K < GATEKEYS.size(); ++K) GATEKEYS[K].STAMP = 0;
    GATESTAMP = 1;
  }
}

[[gnu::noinline]] void FILLGATE(size_t CLASS, int MEC5, int MEC6, int S, const TAXIROW& XA, const TAXIROW& XB,
                                TEXTENDED FJ, int BOUND) {
  auto PASSES = [&](TORDINAL O) { return AMPTEST(VALUEOF(O), MEC5, MEC6, S, XA, XB, FJ, BOUND); };
  TGATE& G = GATES[CLASS];
  const TORDINAL TOP = ORDINALOF(LDBL_MAX);
  TORDINAL LO = 0, HI = TOP;
  G.NEVER = !PASSES(HI);
  if (!G.NEVER && !PASSES(LO)) {
    // PASSES(LO) is false, PASSES(HI) true. The gate lies near the limit
    // divided by the factors: steps of growing size from there bracket it
    // within a few values, then bisection finds it.
    TEXTENDED EST = AMPLIMIT / (FJ * (XB[MEC6] * XA[MEC5]) * POWAR[HALVINGPOWER(S, BOUND)]);
    EST = std::fabs(EST);
    if (std::isfinite(EST) && EST > 0.0L) {
      const TORDINAL O = std::min(std::max(ORDINALOF(EST), TORDINAL(1)), TOP - 1);
      TORDINAL STEP = 1;
      if (PASSES(O)) {
        HI = O;
        for (;;) {
          const TORDINAL C = HI > LO + STEP ? HI - STEP : LO;
          if (C == LO || !PASSES(C)) {
            LO = C;
            break;
          }
          HI = C;
          STEP *= 2;
        }
      } else {
        LO = O;
        for (;;) {
          const TORDINAL C = HI - LO > STEP ? LO + STEP : HI;
          if (C == HI || PASSES(C)) {
            HI = C;
            break;
          }
          LO = C;
          STEP *= 2;
        }
      }
    }
    while (HI - LO > 1) {
      const TORDINAL MID = LO + (HI - LO) / 2;
      (PASSES(MID) ? HI : LO) = MID;
    }
  } else {
    HI = LO;
  }
  const TEXTENDED X = VALUEOF(HI);
  const TMAGNITUDE M = MAGNITUDEOF(X);
  G.EXP = static_cast<uint16_t>(M.EXP);
  G.MANT = M.MANT;
  GATEKEYS[CLASS] = TGATEKEY{GATESTAMP, G.NEVER ? UINT32_MAX : AMPKEY(X)};
}

// Whether AMP is at or above the gate, by its full exponent and significand.
inline bool ATGATE(TEXTENDED AMP, const TGATE& G) {
  if (G.NEVER) return false;
  const TMAGNITUDE M = MAGNITUDEOF(AMP);
  return M.EXP > G.EXP || (M.EXP == G.EXP && M.MANT >= G.MANT);
}

// The amplitude test of one row through the gates: the same range checks
// in the same order as the test itself, then a comparison of integers.
inline bool GATEDTEST(TEXTENDED AMP, const TPACK& P, const TAXIROW& XA, const TAXIROW& XB, TEXTENDED FJ,
                      int BOUND) {
  const int MEC6 = P.MEC[6], MEC5 = P.MEC[5];
  if (MEC6 < -MAXAXIEXP || MEC6 > MAXAXIEXP) (void)XB[MEC6];
  if (MEC5 < -MAXAXIEXP || MEC5 > MAXAXIEXP) (void)XA[MEC5];
  const int S = ORDEROF(P.ORDER);
  const size_t C = static_cast<size_t>(CLASSINDEX(MEC5, MEC6, HALVINGPOWER(S, BOUND)));
  if (GATEKEYS[C].STAMP != GATESTAMP) [[unlikely]]
    FILLGATE(C, MEC5, MEC6, S, XA, XB, FJ, BOUND);
  return ATGATE(AMP, GATES[C]);
}

// The same test for a row of a gate class (see GATECLASS): the class
// holds exponents within the tables and an order within the shortint
// range, so no check can fail; its power is the order when that lies in
// 1..MAXHALF, and a power above BOUND halves nothing, as in the test.
inline unsigned CLASSTEST(const TEXTENDED& AMP, TFAST R, const TAXIROW& XA, const TAXIROW& XB, TEXTENDED FJ,
                          int BOUND) {
  TGATEKEY G = GATEKEYS[R.CLASS];
  if (G.STAMP != GATESTAMP) [[unlikely]] {
    const TCLASSPARTS C = CLASSPARTS(R.CLASS);
    FILLGATE(R.CLASS, C.MEC5, C.MEC6, C.H, XA, XB, FJ, BOUND);
    G = GATEKEYS[R.CLASS];
  }
  // Mostly decided by the keys alone, without a branch.
  unsigned PASS = R.KEY > G.KEY;
  if (R.KEY == G.KEY) [[unlikely]]
    PASS = ATGATE(AMP, GATES[R.CLASS]);
  return PASS;
}

// One row line: planets, amplitude text, exponents, multipliers, code and,
// where the program has one, the period, put at O; returns its end.
// PLANETS is the text of columns 1 to 8 (both planet numbers and the two
// blanks before the amplitude).
constexpr size_t MAXROWTEXT = 8 + 1 + sizeof(TTAIL::C) + 1 + sizeof(TPERIODENTRY::TXT);

inline char* PUTROW(char* O, const char* PLANETS, char SIGN, const TTAIL& T, char FCS, const TPERIODENTRY* E) {
  std::memcpy(O, PLANETS, 8);
  O[8] = SIGN;
  std::memcpy(O + 9, T.C, sizeof T.C);
  char* Q = O + 9 + T.LEN;
  *Q++ = FCS;
  if (E != nullptr) {
    std::memcpy(Q, E->TXT, sizeof E->TXT);
    return Q + E->LEN;
  }
  Q[0] = '\r';
  Q[1] = '\n';
  return Q + 2;
}

void WRITEROW(const char* PLANETS, char SIGN, const TTAIL& T, char FCS, const TPERIODENTRY* E) {
  char* O = F.RESERVE(MAXROWTEXT);
  F.COMMIT(static_cast<size_t>(PUTROW(O, PLANETS, SIGN, T, FCS, E) - O));
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
           SERIESFILE(CURN).ROWS.TAILS[static_cast<size_t>(R.TXT)], R.FCS,
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
    const TPACK& P = S.ROWS.PACKS[static_cast<size_t>(M - 1)];
    R = RECNUL;
    R.AMP = S.ROWS.AMPS[static_cast<size_t>(M - 1)];
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

// A term to be written by the fused pipeline: its row in the series file,
// whether it is the mirror image, and its period entry (none in termall).
struct TOUTROW {
  int32_t ROW;
  bool MIRROR;
  const TPERIODENTRY* PERIOD;
};
std::vector<TOUTROW> OUTLIST;   // the terms selected in a block
std::vector<int32_t> PASSLIST;  // the rows that pass the amplitude test

// The rows of a block, ROWAT(K) for K = 0..NO-1, each a TOUTROW: as many
// lines at a time as surely fit in the output buffer, so the buffer is
// handed over at the same lines as when room is made line by line.
template <typename ROWOF>
void WRITEROWS(const TVARIANT& V, const TSERIESFILE& S, const TPLANETS* PLANETS, size_t NO, ROWOF ROWAT) {
  const TTAIL* TAILS = S.ROWS.TAILS.data();
  const bool SWAP = V.SELECT == TSELECT::SHORTPERIOD;
  size_t K = 0;
  while (K < NO) {
    char* const O = F.RESERVE(MAXROWTEXT);
    const size_t END = K + std::min(NO - K, std::max<size_t>(1, F.ROOM() / MAXROWTEXT));
    char* Q = O;
    for (; K < END; ++K) {
      if (K + 12 < NO) {
        const char* P = reinterpret_cast<const char*>(&TAILS[ROWAT(K + 12).ROW]);
        __builtin_prefetch(P);
        __builtin_prefetch(P + sizeof(TTAIL) - 1);
      }
      const TOUTROW R = ROWAT(K);
      const TTAIL& T = TAILS[R.ROW];
      const uint8_t FL = T.FLAGS;
      const bool SINE = (FL & CODESINE) != 0;
      // A mirror image has -A; the short-period terms take A sin -> -A cos,
      // A cos -> A sin.
      const bool NEG = (((FL & AMPNEG) != 0) != R.MIRROR) != (SWAP && SINE);
      Q = PUTROW(Q, PLANETS[R.MIRROR].C, NEG ? '-' : ' ', T, SINE != SWAP ? 'S' : 'C', R.PERIOD);
    }
    F.COMMIT(static_cast<size_t>(Q - O));
  }
}

// The same block in one pass over the parsed rows of the file: no row is
// copied between tables; the rows that pass the amplitude test and the
// terms selected are gathered as references. Every check happens on the
// same row and in the same order as in the stages, so a failure comes at
// the same point.
void FUSEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N) {
  TSERIESFILE& S = LOADEDSERIES(N);
  static_assert(MAXSHORTORDER <= MAXHALF && MAXALLORDER <= MAXHALF);
  const TEXTENDED* AMPS = S.ROWS.AMPS.data();
  const TPACK* PACKS = S.ROWS.PACKS.data();
  const TFAST* FAST = S.ROWS.FAST.data();
  const int32_t* IDX = nullptr;  // rows that go on, or all
  int32_t CNT = S.COUNT;
  if (V.ORDERFILTER) {
    if (S.ORDERBOUND != MAXSUM) {
      S.ORDERKEEP.clear();
      S.ORDERKEEP.reserve(static_cast<size_t>(S.COUNT));
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
  auto ROW = [&](size_t K) { return IDX != nullptr ? IDX[K] : static_cast<int32_t>(K); };

  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const TPLANETS PLANETS[2] = {PLANETSTEXT(A, B), PLANETSTEXT(I, J)};

  // The rows that go to the selection: file 1 with its mirror images (or
  // nothing), all rows, or those that pass the amplitude test.
  const size_t C = static_cast<size_t>(CNT);
  size_t NC = 0;
  const bool GATED = N != 1 && V.AMPTEST != TAMPTEST::COPYALL;
  if (N == 1) {
    if (I > J) {
      // Rows and their mirror images: twice the rows must fit a table.
      if (2 * static_cast<long>(CNT) > MAXARR) {
        CURTERM = ROW(static_cast<size_t>(MAXARR - CNT));
        (void)(*ROWTWO)[MAXARR + 1];
      }
      NC = 2 * C;
    }
  } else if (!GATED) {
    NC = C;
  } else {
    const int BOUND = V.AMPTEST == TAMPTEST::TOMAXSUM ? MAXSUM : MAXALLORDER;
    const TAXIROW& XA = AXIPO[A];
    const TAXIROW& XB = AXIPO[B];
    const TEXTENDED FJ = FAMUS[J];
    // Gathered without a branch on the outcome.
    if (PASSLIST.size() < C) PASSLIST.resize(C);
    int32_t* PL = PASSLIST.data();
    for (size_t K = 0; K < C; ++K) {
      const int32_t M = ROW(K);
      const TFAST R = FAST[M];
      unsigned PASS;
      if (R.CLASS != NOCLASS) [[likely]] {
        PASS = CLASSTEST(AMPS[M], R, XA, XB, FJ, BOUND);
      } else {
        CURTERM = M;
        PASS = GATEDTEST(AMPS[M], PACKS[M], XA, XB, FJ, BOUND);
        CURTERM = -1;
      }
      PL[NC] = M;
      NC += PASS;
    }
  }
  const int32_t* PL = PASSLIST.data();
  auto CANDIDATE = [&](size_t K) -> TOUTROW {
    if (GATED) return {PL[K], false, nullptr};
    if (K < C) return {ROW(K), false, nullptr};
    return {ROW(K - C), true, nullptr};
  };

  if (V.SELECT == TSELECT::ALLTERMS) {
    MECTWO = static_cast<int32_t>(NC);
    COUNTLINES(MECTWO);
    WRITEROWS(V, S, PLANETS, NC, CANDIDATE);
    return;
  }
  // The terms of the kind the program writes, by the period entry of
  // (NPA, NPB, MAR[1], MAR[4]).
  std::vector<TOUTROW>& OUT = OUTLIST;
  OUT.clear();
  OUT.reserve(NC);
  for (size_t K = 0; K < NC; ++K) {
    TOUTROW R = CANDIDATE(K);
    const TFAST& P = FAST[R.ROW];
    R.PERIOD = R.MIRROR ? &PERIODOF(V, I, J, P.MAR1, P.MAR4) : &PERIODOF(V, A, B, P.MAR1, P.MAR4);
    if (R.PERIOD->KEEP) OUT.push_back(R);
  }
  MECTRE = static_cast<int32_t>(OUT.size());
  COUNTLINES(MECTRE);
  WRITEROWS(V, S, PLANETS, OUT.size(), [&](size_t K) { return OUT[K]; });
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
  PARSEAHEAD();
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
