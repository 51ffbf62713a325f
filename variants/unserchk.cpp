// unserchk: the check of one series file (see unserchk.hpp).
#include "unserchk.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "termvariant.hpp"
#include "unchkdup.hpp"
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
    const TGOODROW G = GOODROW(R, LINE, S);
    // File 1 keeps every term for its mirror images; the others only the
    // first of each for the search for repeats.
    if (SILENT) {
      ROWS.KEEP(G);
    } else if (const TGOODROW* E = ROWS.EARLIER(G)) {
      WARN(G.LINE, 1, "Repeated term", "the term of line " + std::to_string(E->LINE) + " again, exactly");
      if (N == 1) ROWS.KEEP(G);
    }
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

  // File 1 at the first mirrored pair: the rows that go on and their mirror
  // images must fit one table of MAXARR rows.
  void MIRRORS() {
    if (N != 1) return;
    unsigned STOPS = 0;
    long KEPTBY[NUMPROGRAMS];
    for (int P = 0; P < NUMPROGRAMS; ++P) {
      long KEPT = 0;
      for (const TGOODROW& G : ROWS.ALL())
        KEPT += !PROGRAMTABLE[P].ORDERFILTER || G.ORDER <= FILTERBOUND(PROGRAMTABLE[P]);
      KEPTBY[P] = KEPT;
      if (2 * KEPT > MAXARR) STOPS |= 1u << P;
    }
    if (STOPS == 0) return;
    // Reported as the first of the programs that stop reports it: at the
    // row whose mirror image would be row MAXARR + 1.
    int P = 0;
    while ((STOPS & (1u << P)) == 0) ++P;
    long X = MAXARR - KEPTBY[P], LINE = 0;
    for (const TGOODROW& G : ROWS.ALL())
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
  TKEPTROWS ROWS;
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
