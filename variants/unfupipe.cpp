#include "unfupipe.hpp"

#include <algorithm>
#include <cfloat>
#include <climits>
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

// Whether the terms of each period entry are kept in the pair in hand,
// one byte each, so that the pass over the rows finds it close at hand:
// 0 not yet known, else 1 + KEEP.
TBIGARRAY<uint8_t> KEEPS;

// The entries of the previous pair are void from here on.
void NEWPAIRPERIODS() {
  constexpr size_t ENTRIES = size_t{2} << 16;
  if (PERIODS.size() == 0 && (!PERIODS.OBTAIN(ENTRIES) || !KEEPS.OBTAIN(ENTRIES)))
    MEMORYERROR("the period table", ENTRIES * (sizeof(TPERIODENTRY) + 1));
  if (++PERIODSTAMP == 0) {
    for (size_t K = 0; K < PERIODS.size(); ++K) PERIODS[K].STAMP = 0;
    PERIODSTAMP = 1;
  }
  std::memset(KEEPS.data(), 0, ENTRIES);
}

// Notes in KEEPS whether the terms of (NPA, NPB, MAR[1], MAR[4]) are kept
// in the pair in hand, filling the period entry on the way.
void FILLKEEP(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  KEEPS[PERIODINDEX(NPA, NPB, MAR1, MAR4)] = static_cast<uint8_t>(1 + PERIODOF(V, NPA, NPB, MAR1, MAR4).KEEP);
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

// What the amplitude test of a pair takes: the axis powers of NPA and NPB,
// the mass factor of the perturbing planet and the bound of the halving
// factor.
struct TGATING {
  const TAXIROW* XA;
  const TAXIROW* XB;
  TEXTENDED FJ;
  int BOUND;
};

// Finds the gate of class C for the pair in hand. A class holds exponents
// within the tables and an order within the shortint range, so no check
// can fail; its power is the order when that lies in 1..MAXHALF, and a
// power above BOUND halves nothing, as in the test.
void CLASSGATE(uint16_t C, const TGATING& G) {
  const TCLASSPARTS P = CLASSPARTS(C);
  FILLGATE(C, P.MEC5, P.MEC6, P.H, *G.XA, *G.XB, G.FJ, G.BOUND);
}

// The test of a row outside the gate classes, with its range checks.
[[gnu::noinline]] unsigned CHECKEDTEST(const TSERIESFILE& S, int32_t ROW, const TGATING& G) {
  CURTERM = ROW;
  const unsigned PASS = GATEDTEST(S.ROWS.AMPS[static_cast<size_t>(ROW)], S.ROWS.PACKS[static_cast<size_t>(ROW)],
                                  *G.XA, *G.XB, G.FJ, G.BOUND);
  CURTERM = -1;
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

// A term to be written by the fused pipeline: its row in the series file
// and the PERIODINDEX of its planets and multipliers. The planets of a
// mirror image are (I, J) with I > J, of any other term (NPA, NPB) with
// NPA < NPB, so the orientation bit of the index tells the mirror images.
struct TOUTROW {
  int32_t ROW;
  uint32_t PERIOD;
};
constexpr uint32_t MIRRORBIT = uint32_t{1} << 16;
std::vector<TOUTROW> OUTLIST;  // the terms of a block, in order

// The rows of a block, OUT[0..NO-1]: as many lines at a time as surely fit
// in the output buffer, so the buffer is handed over at the same lines as
// when room is made line by line. SELECTS: the program selects terms by
// their period entries, which hold the end of each line.
template <bool SELECTS>
void WRITEROWS(const TVARIANT& V, const TSERIESFILE& S, const TPLANETS* PLANETS, const TOUTROW* OUT, size_t NO) {
  const TTAIL* TAILS = S.ROWS.TAILS.data();
  const bool SWAP = V.SELECT == TSELECT::SHORTPERIOD;
  size_t K = 0;
  while (K < NO) {
    char* const O = F.RESERVE(MAXROWTEXT);
    const size_t END = K + std::min(NO - K, std::max<size_t>(1, F.ROOM() / MAXROWTEXT));
    char* Q = O;
    for (; K < END; ++K) {
      if (K + 12 < NO) {
        const char* P = reinterpret_cast<const char*>(&TAILS[OUT[K + 12].ROW]);
        __builtin_prefetch(P);
        __builtin_prefetch(P + sizeof(TTAIL) - 1);
      }
      const TOUTROW R = OUT[K];
      const bool MIRROR = (R.PERIOD & MIRRORBIT) != 0;
      const TTAIL& T = TAILS[R.ROW];
      const uint8_t FL = T.FLAGS;
      const bool SINE = (FL & CODESINE) != 0;
      // A mirror image has -A; the short-period terms take A sin -> -A cos,
      // A cos -> A sin.
      const bool NEG = (((FL & AMPNEG) != 0) != MIRROR) != (SWAP && SINE);
      Q = PUTROW(Q, PLANETS[MIRROR].C, NEG ? '-' : ' ', T, SINE != SWAP ? 'S' : 'C',
                 SELECTS ? &PERIODS[R.PERIOD] : nullptr);
    }
    F.COMMIT(static_cast<size_t>(Q - O));
  }
}

// The candidate rows CAND[0..C-1] of a block that go to the output, in
// order, as terms of planets (NPA, NPB) into OUT: those that pass the
// amplitude test (when GATED) and are of the kind the program writes
// (when SELECTS); returns their number. The gates of their classes and
// the selection of their MARS are known (see PREPARE). Gathered without a
// branch on the outcome; a row is mostly decided by its key and its
// gate's key alone. A row outside the gate classes takes the test's own
// range checks, in its place.
template <bool GATED, bool SELECTS>
[[gnu::noinline]] size_t GATHER(const TSERIESFILE& S, const TGATING& G, const TFAST* CAND, size_t C, uint8_t NPA,
                                uint8_t NPB, TOUTROW* OUT) {
  // Kept in locals: the stores into OUT could otherwise alias them.
  const TGATEKEY* const GATEKEY = GATEKEYS.data();
  const uint8_t* const KEEP = KEEPS.data();
  const uint32_t BASE = static_cast<uint32_t>(PERIODINDEX(NPA, NPB, 0, 0));
  size_t NO = 0;
  for (size_t K = 0; K < C; ++K) {
    const TFAST R = CAND[K];
    unsigned PASS = 1;
    if constexpr (GATED) {
      if (R.CLASS != NOCLASS) [[likely]] {
        const uint32_t GK = GATEKEY[R.CLASS].KEY;
        PASS = R.KEY > GK;
        if (R.KEY == GK) [[unlikely]]
          PASS = ATGATE(S.ROWS.AMPS[static_cast<size_t>(R.ROW)], GATES[R.CLASS]);
      } else {
        PASS = CHECKEDTEST(S, R.ROW, G);
      }
    }
    const uint32_t PI = BASE | R.MARS;
    if constexpr (SELECTS) PASS &= KEEP[PI] - 1u;
    OUT[NO] = TOUTROW{R.ROW, PI};
    NO += PASS;
  }
  return NO;
}

// Makes known, for the pair in hand, the gates of the classes of file S's
// candidates (when GATED) and whether the terms of their MARS are kept
// with planets (NPA, NPB) (when SELECTS). Nothing here can fail, so the
// order in which they are found is of no account.
void PREPARE(const TVARIANT& V, const TSERIESFILE& S, const TGATING& G, bool GATED, uint8_t NPA, uint8_t NPB) {
  if (GATED)
    for (uint16_t C : S.CLASSES)
      if (GATEKEYS[C].STAMP != GATESTAMP) CLASSGATE(C, G);
  if (V.SELECT != TSELECT::ALLTERMS)
    for (uint16_t M : S.MARSUSED)
      if (KEEPS[PERIODINDEX(NPA, NPB, MAR1OF(M), MAR4OF(M))] == 0) FILLKEEP(V, NPA, NPB, MAR1OF(M), MAR4OF(M));
}

size_t GATHERANY(bool GATED, const TVARIANT& V, const TSERIESFILE& S, const TGATING& G, const TFAST* CAND, size_t C,
                 uint8_t NPA, uint8_t NPB, TOUTROW* OUT) {
  PREPARE(V, S, G, GATED, NPA, NPB);
  const bool SELECTS = V.SELECT != TSELECT::ALLTERMS;
  if (GATED)
    return SELECTS ? GATHER<true, true>(S, G, CAND, C, NPA, NPB, OUT) : GATHER<true, false>(S, G, CAND, C, NPA, NPB, OUT);
  return SELECTS ? GATHER<false, true>(S, G, CAND, C, NPA, NPB, OUT) : GATHER<false, false>(S, G, CAND, C, NPA, NPB, OUT);
}

// Notes in S the gate classes and the MARS of CAND[0..C-1], each once.
void NOTEUSED(TSERIESFILE& S, const TFAST* CAND, size_t C, int BOUND) {
  static std::vector<bool> SEENCLASS(GATECLASSES), SEENMARS(size_t{1} << 16);
  S.CLASSES.clear();
  S.MARSUSED.clear();
  for (size_t K = 0; K < C; ++K) {
    const TFAST& R = CAND[K];
    if (R.CLASS != NOCLASS && !SEENCLASS[R.CLASS]) {
      SEENCLASS[R.CLASS] = true;
      S.CLASSES.push_back(R.CLASS);
    }
    if (!SEENMARS[R.MARS]) {
      SEENMARS[R.MARS] = true;
      S.MARSUSED.push_back(R.MARS);
    }
  }
  for (uint16_t X : S.CLASSES) SEENCLASS[X] = false;
  for (uint16_t X : S.MARSUSED) SEENMARS[X] = false;
  S.CANDBOUND = BOUND;
}

// The same block in one pass over the parsed rows of the file: no row is
// copied between tables; the terms that pass the amplitude test and the
// selection are gathered as references. Every check happens on the same
// row and in the same order as in the stages, so a failure comes at the
// same point.
void FUSEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N) {
  TSERIESFILE& S = LOADEDSERIES(N);
  static_assert(MAXSHORTORDER <= MAXHALF && MAXALLORDER <= MAXHALF);
  // The rows that go on: those of order at most MAXSUM, or all.
  const TFAST* CAND = S.ROWS.FAST.data();
  size_t C = static_cast<size_t>(S.COUNT);
  if (V.ORDERFILTER) {
    if (S.ORDERBOUND != MAXSUM) {
      // Room for every row, obtained at once in large pages.
      const size_t BYTES = C * sizeof(TFAST);
      if (S.ORDERBLOCK.SIZE() < BYTES && !S.ORDERBLOCK.OBTAIN(BYTES, true))
        MEMORYERROR("the rows of the order filter", BYTES);
      const TPACK* PACKS = S.ROWS.PACKS.data();
      TFAST* KEPT = S.ORDERFAST();
      size_t NK = 0;
      for (int32_t M = 0; M < S.COUNT; ++M) {
        CURTERM = M;
        if (ORDEROF(PACKS[M].ORDER) <= MAXSUM) KEPT[NK++] = CAND[M];
      }
      CURTERM = -1;
      S.ORDERKEPT = NK;
      S.ORDERBOUND = MAXSUM;
    }
    CAND = S.ORDERFAST();
    C = S.ORDERKEPT;
  }
  const int BOUND = V.ORDERFILTER ? MAXSUM : INT_MAX;
  if (S.CANDBOUND != BOUND) NOTEUSED(S, CAND, C, BOUND);
  MECONE = static_cast<int32_t>(C);
  BLOCKLINE(I, J, N);

  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const TPLANETS PLANETS[2] = {PLANETSTEXT(A, B), PLANETSTEXT(I, J)};

  // The terms of the block: those of file 1 and their mirror images (or
  // none), or the rows of a later file that pass the amplitude test (if
  // the program has one); of these, the kind the program writes.
  if (OUTLIST.size() < 2 * C) OUTLIST.resize(2 * C);
  TOUTROW* OUT = OUTLIST.data();
  size_t NO = 0;
  const TGATING G{&AXIPO[A], &AXIPO[B], FAMUS[J], V.AMPTEST == TAMPTEST::TOMAXSUM ? MAXSUM : MAXALLORDER};
  if (N == 1) {
    if (I > J) {
      // Rows and their mirror images: twice the rows must fit a table.
      if (2 * static_cast<long>(C) > MAXARR) {
        CURTERM = CAND[static_cast<size_t>(MAXARR) - C].ROW;
        (void)(*ROWTWO)[MAXARR + 1];
      }
      NO = GATHERANY(false, V, S, G, CAND, C, A, B, OUT);
      NO += GATHERANY(false, V, S, G, CAND, C, I, J, OUT + NO);
    }
  } else {
    NO = GATHERANY(V.AMPTEST != TAMPTEST::COPYALL, V, S, G, CAND, C, A, B, OUT);
  }

  const int32_t COUNT = static_cast<int32_t>(NO);
  if (V.SELECT == TSELECT::ALLTERMS) {
    MECTWO = COUNT;
    COUNTLINES(MECTWO);
    WRITEROWS<false>(V, S, PLANETS, OUT, NO);
  } else {
    MECTRE = COUNT;
    COUNTLINES(MECTRE);
    WRITEROWS<true>(V, S, PLANETS, OUT, NO);
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
