// unserchk: the check of one series file (see unserchk.hpp).
#include "unserchk.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "termvariant.hpp"
#include "unfatal.hpp"
#include "unrowtxt.hpp"
#include "unserdir.hpp"
#include "unvarpow.hpp"

namespace {

static_assert(NUMPROGRAMS <= 32, "a set of programs is the bits of an unsigned");
constexpr unsigned EVERYPROGRAM = (1u << NUMPROGRAMS) - 1;

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
  if (V.ORDERFILTER && S > V.ORDERBOUND) return false;
  return AXISOUTSIDE(MEC6) || AXISOUTSIDE(MEC5) || ORDEROUTSIDE(S);
}

// The field (0 the amplitude, 1..6 MEC, 7..12 MAR) whose column a finding
// on a term gives.
struct TWANTCOLUMN {
  size_t FINDING;
  int FIELD;
};

// The columns of the fields that findings on terms name, from the lines of
// the file; a field that does not stand on its term's first line keeps
// column 1.
void FIELDCOLUMNS(const std::string& NAME, TFILECHECK& C, const std::vector<TWANTCOLUMN>& WANT) {
  std::string TEXT;
  const int F = ::openat(SERIESDIRFD(), NAME.c_str(), O_RDONLY | O_CLOEXEC);
  if (F < 0) return;
  char B[1 << 16];
  for (ssize_t R; (R = ::read(F, B, sizeof B)) > 0;) TEXT.append(B, static_cast<size_t>(R));
  ::close(F);
  size_t P = 0;
  long LINE = 1;
  for (const TWANTCOLUMN& W : WANT) {
    TFINDING& X = C.FINDINGS[W.FINDING];
    for (; LINE < X.LINE && P < TEXT.size(); ++LINE) {
      const size_t E = TEXT.find('\n', P);
      P = E == std::string::npos ? TEXT.size() : E + 1;
    }
    size_t Q = P;
    for (int K = 0;; ++K) {
      while (Q < TEXT.size() && static_cast<unsigned char>(TEXT[Q]) <= 32 && TEXT[Q] != '\n') ++Q;
      if (Q >= TEXT.size() || TEXT[Q] == '\n') break;
      if (K == W.FIELD) {
        X.COLUMN = static_cast<long>(Q - P) + 1;
        break;
      }
      while (Q < TEXT.size() && static_cast<unsigned char>(TEXT[Q]) > 32) ++Q;
    }
  }
}

// The check of one file, as it is read.
class TCHECKER {
 public:
  TCHECKER(int NUMBER, TFILECHECK& CHECK) : N(NUMBER), C(CHECK) {}

  void RUN() {
    C.NAME = SERIESNAME(N);
    try {
      TSERIESREADER IN(C.NAME, true);
      C.OPENED = true;
      IN.COUNTLINEENDS(&ENDS);
      READALL(IN);
      IN.DRAIN();
    } catch (const TSERIESDEFECT& D) {
      // The file cannot be opened or read on.
      DEFECT(D);
    }
    MIRRORS();
    MIXEDENDS();
    if (!WANT.empty()) FIELDCOLUMNS(C.NAME, C, WANT);
  }

 private:
  void DEFECT(const TSERIESDEFECT& D) { C.FINDINGS.push_back({true, D.LINE, D.COLUMN, D.KIND, D.WHAT, ""}); }
  void WARN(long LINE, long COLUMN, std::string KIND, std::string WHAT, unsigned STOPS = 0) {
    C.FINDINGS.push_back({false, LINE, COLUMN, std::move(KIND), std::move(WHAT), PROGRAMLIST(STOPS)});
  }

  void READALL(TSERIESREADER& IN) {
    const int32_t M = COUNTED(IN);
    long L, COL;
    if (M >= 0 && IN.MORETEXT(L, COL)) {
      // What follows the counted terms, read as terms until it fails.
      long MORE = 0;
      try {
        TROWVAR R{};
        for (long L2, C2; IN.MORETEXT(L2, C2); ++MORE) IN.READTERM(R, nullptr);
      } catch (const TSERIESDEFECT&) {
      }
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
    REPEATS(G);
    ROWS.push_back(G);
  }

  // A term that stops some of the programs: what the first of them to meet
  // it reports, in the order of the amplitude test's checks.
  void PIPELINEWARNING(const TROWVAR& R, long S, long LINE, unsigned STOPS) {
    std::string WHAT;
    auto AXIS = [&](int K) {
      WANT.push_back({C.FINDINGS.size(), K});
      WHAT = "axis exponent " + std::to_string(R.MEC[K]) + " is outside " + std::to_string(-MAXAXIEXP) + ".." +
             std::to_string(MAXAXIEXP) + " (MEC[" + std::to_string(K) + "])";
    };
    if (N > 1 && AXISOUTSIDE(R.MEC[6]))
      AXIS(6);
    else if (N > 1 && AXISOUTSIDE(R.MEC[5]))
      AXIS(5);
    else
      WHAT = "order MEC[1]+MEC[2]+MEC[3]+MEC[4] " + std::to_string(S) + " is outside -128..127";
    WARN(LINE, 1, RANGETEXT, WHAT, STOPS);
    if (N == 1) SHORTSTOPS |= STOPS;
  }

  // The term G against the earlier terms of the file: a repeat is noted.
  void REPEATS(const TGOODROW& G) {
    if (HASH.size() < 2 * (ROWS.size() + 1)) REHASH(4 * (ROWS.size() + 1));
    const size_t MASK = HASH.size() - 1;
    for (size_t H = HASHOF(G) & MASK;; H = (H + 1) & MASK) {
      const uint32_t X = HASH[H];
      if (X == 0) {
        HASH[H] = static_cast<uint32_t>(ROWS.size() + 1);
        return;
      }
      const TGOODROW& E = ROWS[X - 1];
      if (E.W[0] == G.W[0] && E.W[1] == G.W[1] && E.W[2] == G.W[2]) {
        WARN(G.LINE, 1, "Repeated term", "the term of line " + std::to_string(E.LINE) + " again, exactly");
        return;
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
  void REHASH(size_t SIZE) {
    size_t S = 1024;
    while (S < SIZE) S *= 2;
    HASH.assign(S, 0);
    for (size_t X = 0; X < ROWS.size(); ++X)
      for (size_t H = HASHOF(ROWS[X]) & (S - 1);; H = (H + 1) & (S - 1))
        if (HASH[H] == 0) {
          HASH[H] = static_cast<uint32_t>(X + 1);
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
      for (const TGOODROW& G : ROWS) KEPT += !PROGRAMTABLE[P].ORDERFILTER || G.ORDER <= PROGRAMTABLE[P].ORDERBOUND;
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
      if (!PROGRAMTABLE[P].ORDERFILTER || G.ORDER <= PROGRAMTABLE[P].ORDERBOUND)
        if (X-- == 0) LINE = G.LINE;
    const std::string WHAT = "row " + std::to_string(MAXARR + 1) + " is outside 1.." + std::to_string(MAXARR) +
                             ": the file's " + std::to_string(KEPTBY[P]) +
                             " terms and their mirror images are more than a table holds (pair 2-1)";
    if ((STOPS | SHORTSTOPS) == EVERYPROGRAM)
      C.FINDINGS.push_back({true, LINE, 1, RANGETEXT, WHAT, ""});
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
  TLINEENDS ENDS;
  std::vector<TGOODROW> ROWS;
  std::vector<uint32_t> HASH;  // 1 + index into ROWS; 0: empty
  std::vector<TWANTCOLUMN> WANT;
  unsigned SHORTSTOPS = 0;  // programs that stop on an order of file 1
};

}  // namespace

long TFILECHECK::ERRORS() const {
  long E = 0;
  for (const TFINDING& F : FINDINGS) E += F.ERROR;
  return E;
}

long TFILECHECK::WARNINGS() const { return static_cast<long>(FINDINGS.size()) - ERRORS(); }

TFILECHECK CHECKSERIESFILE(int N) {
  TFILECHECK C;
  TCHECKER(N, C).RUN();
  // In the order of the file; findings on the file as a whole first.
  std::stable_sort(C.FINDINGS.begin(), C.FINDINGS.end(), [](const TFINDING& A, const TFINDING& B) {
    return A.LINE != B.LINE ? A.LINE < B.LINE : A.COLUMN < B.COLUMN;
  });
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
