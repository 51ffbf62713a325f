// unserchk: the check of one series file (see unserchk.hpp).
#include "unserchk.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "termvariant.hpp"
#include "unchkord.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unrowtxt.hpp"
#include "unserdir.hpp"
#include "unvarpow.hpp"

namespace {

static_assert(NUMPROGRAMS <= 32, "a set of programs is the bits of an unsigned");
constexpr unsigned EVERYPROGRAM = (1u << NUMPROGRAMS) - 1;

int MAXORDER = -1000;  // set by SETCHECKMAXORDER; else the table's

// The order bound program V filters by.
int FILTERBOUND(const TVARIANT& V) { return MAXORDER != -1000 ? MAXORDER : V.ORDERBOUND; }

// A term read whole: the order, and the term's fields in three words for
// the search for repeated terms.
struct TGOODROW {
  uint64_t W[3];
  int32_t LINE;
  int16_t ORDER;
};

bool AXISOUTSIDE(int E) { return E < -MAXAXIEXP || E > MAXAXIEXP; }
bool ORDEROUTSIDE(long S) { return S < -128 || S > 127; }

// Whether program V stops on a term of file N with order S and axis
// exponents MEC5 and MEC6: the order filter takes the order of every row as
// a shortint; the amplitude test of files 2..27 indexes the axis powers by
// MEC[6] and MEC[5] and takes the order as a shortint, for the rows the
// order filter keeps.
bool STOPSON(const TVARIANT& V, int N, long S, int MEC5, int MEC6) {
  if (V.ORDERFILTER && ORDEROUTSIDE(S)) return true;
  if (N == 1 || !V.HASAMPTEST) return false;
  if (V.ORDERFILTER && S > FILTERBOUND(V)) return false;
  return AXISOUTSIDE(MEC6) || AXISOUTSIDE(MEC5) || ORDEROUTSIDE(S);
}

// The check of one file, as it is read. The findings made at the end of a
// reading but placed before its end, the mixed line ends and the mirror
// images of file 1, are made before it: the line ends counted first, and
// file 1, when it may hold too many terms, read once before (SILENT: a
// reading whose findings go nowhere but those made at its end, into
// LATEFOUND).
class TCHECKER {
 public:
  TCHECKER(int FILENUM, TFILECHECK& CHECK, TFINDINGSINK& SINK, bool QUIETLY)
      : N(FILENUM), C(CHECK), SILENT(QUIETLY), ORDER(SINK, CHECK), COLUMNS(SERIESNAME(FILENUM)) {}

  void RUN() {
    C.NAME = SERIESNAME(N);
    if (!SILENT) KNOWNFIRST();
    try {
      TSERIESREADER IN(C.NAME, true);
      C.OPENED = true;
      READALL(IN);
      IN.DRAIN();
    } catch (const TSERIESDEFECT& D) {
      // The file cannot be opened or read on; the report may name the
      // folder.
      DEFECT({D.KIND, D.WHAT, D.LINE, D.COLUMN});  // the folder escaped in MISSINGHINT
    }
    LATE = SILENT;
    if (!MIRRORSKNOWN) MIRRORS();
    ORDER.FINISH();
  }
  std::vector<TFINDING> LATEFOUND;

 private:
  // The findings made at the end of a reading, made before it.
  void KNOWNFIRST() {
    LATE = true;
    const bool SCANNED = SCANLINEENDS(C.NAME, ENDS);
    if (SCANNED) MIXEDENDS();
    if (N == 1 && MAYHOLDHALF(C.NAME, SCANNED ? &ENDS : nullptr)) {
      TFILECHECK X;
      TFINDINGLIST NONE(nullptr);
      TCHECKER FIRST(N, X, NONE, true);
      FIRST.RUN();
      for (TFINDING& F : FIRST.LATEFOUND) LATEFOUND.push_back(std::move(F));
      MIRRORSKNOWN = true;
    }
    LATE = false;
    ORDER.KNOWN(std::move(LATEFOUND));
    LATEFOUND.clear();
  }
  // A reading before goes on to its end for what it finds there alone.
  void ADD(TFINDING F) {
    if (LATE)
      LATEFOUND.push_back(std::move(F));
    else if (!SILENT)
      ORDER.PUT(std::move(F));
  }
  void DEFECT(const TSERIESDEFECT& D) {
    if (SILENT) return;
    TFINDING& F = ORDER.NEXT(D.LINE);
    F.ERROR = true;
    F.COLUMN = D.COLUMN;
    F.KIND = D.KIND;
    F.WHAT = D.WHAT;
    F.STOPS.clear();
  }
  void WARN(long LINE, long COLUMN, std::string KIND, std::string WHAT, unsigned STOPS = 0) {
    ADD({false, LINE, COLUMN, std::move(KIND), std::move(WHAT), PROGRAMLIST(STOPS)});
  }

  void READALL(TSERIESREADER& IN) {
    const int32_t M = COUNTED(IN);
    long L, COL;
    if (M >= 0 && IN.MORETEXT(L, COL)) {
      // What follows the counted terms, read as terms until it fails.
      long MORE = 0;
      TROWVAR R{};
      for (long L2, C2; IN.MORETEXT(L2, C2) && IN.TRYTERM(R, nullptr);) ++MORE;
      if (MORE > 0)
        WARN(L, COL, "Count too small",
             "after the " + std::to_string(M) + " terms that line 2 counts, the text reads as " +
                 std::to_string(MORE) + " more term" + (MORE == 1 ? "" : "s") +
                 ", which no program reads");
    }
  }

  // The count and the terms it counts (all the text without one).
  int32_t COUNTED(TSERIESREADER& IN) {
    struct TSINK {
      TCHECKER& K;
      void DEFECT(const TSERIESDEFECT& D, bool INTERM) {
        K.C.TERMS += INTERM;
        K.DEFECT(D);
      }
      void TAKE(const TROWVAR& R, long LINE) {
        ++K.C.TERMS;
        K.TAKE(R, LINE);
      }
    } SINK{*this};
    return READKEPTTERMS(IN, SINK);
  }

  // A term read whole: its ranges, the checks of the pipeline, repeats.
  void TAKE(const TROWVAR& R, long LINE) {
    const long S = static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4];
    const TEXTENDED A = EXTABS(R.AMP);
    if (C.GOOD == 0) {
      C.MINORDER = C.MAXORDER = static_cast<int>(S);
      C.MINAMP = C.MAXAMP = A;
    }
    ++C.GOOD;
    C.MINORDER = std::min(C.MINORDER, static_cast<int>(S));
    C.MAXORDER = std::max(C.MAXORDER, static_cast<int>(S));
    C.MINAMP = std::min(C.MINAMP, A);
    C.MAXAMP = std::max(C.MAXAMP, A);
    unsigned STOPS = 0;
    for (int P = 0; P < NUMPROGRAMS; ++P)
      if (STOPSON(PROGRAMTABLE[P], N, S, R.MEC[5], R.MEC[6])) STOPS |= 1u << P;
    if (STOPS != 0) PIPELINEWARNING(R, S, LINE, STOPS);
    TGOODROW G{};
    std::memcpy(&G.W[0], &R.AMP, 8);
    uint16_t EXP;
    std::memcpy(&EXP, reinterpret_cast<const char*>(&R.AMP) + 8, 2);
    uint64_t MECS = 0, MARS = 0;
    for (int I = 1; I <= 6; ++I) {
      MECS = MECS << 8 | static_cast<uint8_t>(R.MEC[I]);
      MARS = MARS << 8 | static_cast<uint8_t>(R.MAR[I]);
    }
    G.W[1] = MECS << 16 | EXP;
    G.W[2] = MARS << 8 | static_cast<uint8_t>(R.FCS);
    G.LINE = static_cast<int32_t>(LINE);
    G.ORDER = static_cast<int16_t>(S);
    // File 1 keeps every term for its mirror images; the others only the
    // first of each for the search for repeats.
    const bool NEW = SILENT || REPEATS(G);
    if (NEW || N == 1) ROWS.push_back(G);
  }

  // A term that stops some of the programs: what the first of them to meet
  // it reports, in the order of the amplitude test's checks.
  void PIPELINEWARNING(const TROWVAR& R, long S, long LINE, unsigned STOPS) {
    std::string WHAT;
    long COL = 1;
    auto AXIS = [&](int K) {
      COL = SILENT ? 1 : COLUMNS.COLUMN(LINE, K);
      WHAT = "axis exponent " + std::to_string(R.MEC[K]) + " is outside " + std::to_string(-MAXAXIEXP) + ".." +
             std::to_string(MAXAXIEXP) + " (MEC[" + std::to_string(K) + "])";
    };
    if (N > 1 && AXISOUTSIDE(R.MEC[6]))
      AXIS(6);
    else if (N > 1 && AXISOUTSIDE(R.MEC[5]))
      AXIS(5);
    else
      WHAT = "order MEC[1]+MEC[2]+MEC[3]+MEC[4] " + std::to_string(S) + " is outside -128..127";
    WARN(LINE, COL, RANGETEXT, WHAT, STOPS);
    if (N == 1) SHORTSTOPS |= STOPS;
  }

  // The term G against the earlier terms of the file: a repeat is noted;
  // true for a term not seen before, which then goes into ROWS next.
  bool REPEATS(const TGOODROW& G) {
    if (HASH.size() < 2 * (DISTINCT + 1)) REHASH(4 * (DISTINCT + 1));
    const size_t MASK = HASH.size() - 1;
    for (size_t H = HASHOF(G) & MASK;; H = (H + 1) & MASK) {
      const uint32_t X = HASH[H];
      if (X == 0) {
        HASH[H] = static_cast<uint32_t>(ROWS.size() + 1);
        ++DISTINCT;
        return true;
      }
      const TGOODROW& E = ROWS[X - 1];
      if (E.W[0] == G.W[0] && E.W[1] == G.W[1] && E.W[2] == G.W[2]) {
        WARN(G.LINE, 1, "Repeated term", "the term of line " + std::to_string(E.LINE) + " again, exactly");
        return false;
      }
    }
  }
  static size_t HASHOF(const TGOODROW& G) {
    uint64_t H = 0x9E3779B97F4A7C15u;
    for (uint64_t W : G.W) {
      H = (H ^ W) * 0xBF58476D1CE4E5B9u;
      H ^= H >> 31;
    }
    return static_cast<size_t>(H);
  }
  // The distinct terms (never a repeat: that would make a long run of
  // equal places) into a table of at least SIZE places.
  void REHASH(size_t SIZE) {
    size_t S = 1024;
    while (S < SIZE) S *= 2;
    std::vector<uint32_t> OLD(S, 0);
    OLD.swap(HASH);
    for (const uint32_t X : OLD)
      if (X != 0)
        for (size_t H = HASHOF(ROWS[X - 1]) & (S - 1);; H = (H + 1) & (S - 1))
          if (HASH[H] == 0) {
            HASH[H] = X;
            break;
          }
  }

  // File 1 at the first mirrored pair: the rows that go on and their mirror
  // images must fit one table of MAXARR rows.
  void MIRRORS() {
    if (N != 1) return;
    unsigned STOPS = 0;
    long KEPTBY[NUMPROGRAMS];
    for (int P = 0; P < NUMPROGRAMS; ++P) {
      long KEPT = 0;
      for (const TGOODROW& G : ROWS) KEPT += !PROGRAMTABLE[P].ORDERFILTER || G.ORDER <= FILTERBOUND(PROGRAMTABLE[P]);
      KEPTBY[P] = KEPT;
      if (2 * KEPT > MAXARR) STOPS |= 1u << P;
    }
    if (STOPS == 0) return;
    // Reported as the first of the programs that stop reports it: at the
    // row whose mirror image would be row MAXARR + 1.
    int P = 0;
    while ((STOPS & (1u << P)) == 0) ++P;
    long X = MAXARR - KEPTBY[P], LINE = 0;
    for (const TGOODROW& G : ROWS)
      if (!PROGRAMTABLE[P].ORDERFILTER || G.ORDER <= FILTERBOUND(PROGRAMTABLE[P]))
        if (X-- == 0) LINE = G.LINE;
    const std::string WHAT = "row " + std::to_string(MAXARR + 1) + " is outside 1.." + std::to_string(MAXARR) +
                             ": the file's " + std::to_string(KEPTBY[P]) +
                             " terms and their mirror images are more than a table holds (pair 2-1)";
    if ((STOPS | SHORTSTOPS) == EVERYPROGRAM)
      ADD({true, LINE, 1, RANGETEXT, WHAT, ""});
    else
      WARN(LINE, 1, RANGETEXT, WHAT, STOPS);
  }

  void MIXEDENDS() {
    if (ENDS.LF == 0 || ENDS.CRLF == 0) return;
    const bool LFFIRST = ENDS.FIRSTLF < ENDS.FIRSTCRLF;
    WARN(LFFIRST ? ENDS.FIRSTCRLF : ENDS.FIRSTLF, 1, "Mixed line ends",
         std::to_string(ENDS.LF) + (ENDS.LF == 1 ? " line ends" : " lines end") + " with LF alone, " +
             std::to_string(ENDS.CRLF) + " with CR LF; this is the first line that ends with " +
             (LFFIRST ? "CR LF" : "LF alone"));
  }

  const int N;
  TFILECHECK& C;
  const bool SILENT;
  TINORDER ORDER;
  TCOLUMNS COLUMNS;
  bool LATE = false;          // findings go to LATEFOUND
  bool MIRRORSKNOWN = false;  // found by a reading before
  TLINEENDS ENDS;
  std::vector<TGOODROW> ROWS;
  std::vector<uint32_t> HASH;  // 1 + index into ROWS; 0: empty
  size_t DISTINCT = 0;         // the places of HASH in use
  unsigned SHORTSTOPS = 0;  // programs that stop on an order of file 1
};

}  // namespace

TFILECHECK CHECKSERIESFILE(int N, TFINDINGSINK& SINK) {
  TFILECHECK C;
  TCHECKER(N, C, SINK, false).RUN();
  return C;
}

TFILECHECK CHECKSERIESFILE(int N) {
  std::vector<TFINDING> ALL;
  TFINDINGLIST SINK(&ALL);
  TFILECHECK C = CHECKSERIESFILE(N, SINK);
  C.FINDINGS = std::move(ALL);
  return C;
}

std::string PROGRAMLIST(unsigned SET) {
  std::vector<std::string> NAMES;
  for (int P = 0; P < NUMPROGRAMS; ++P)
    if ((SET & (1u << P)) != 0) NAMES.push_back(PROGRAMTABLE[P].PROGRAM);
  std::string S;
  for (size_t X = 0; X < NAMES.size(); ++X) {
    if (X > 0) S += X + 1 == NAMES.size() ? " and " : ", ";
    S += NAMES[X];
  }
  return S;
}

void SETCHECKMAXORDER(int N) { MAXORDER = N; }
