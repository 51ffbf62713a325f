// unrowtxt: the series text files and their reader.
//
// A series file: line 1 skipped; line 2 the term count M (0..74967),
// optionally preceded by blanks, the rest of the line skipped; line 3
// skipped; then M terms. A term is the amplitude (a real), MEC[1..6] and
// MAR[1..6] (integers in -128..127), each number separated from the next by
// any run of characters with codes 32 and below, line ends included; then
// the two characters right after MAR[6] are skipped (fewer if the line ends
// first), the next character is the code letter S or C, and the rest of the
// line is skipped. Lines end with LF or CR LF; character 26 ends the file.
//
// Failures, all fatal: a missing or unreadable file (I/O error), a field
// that is not a number ("Invalid numeric format"), a count outside
// 0..74967 or an integer outside -128..127 (range error), a file that ends
// before its terms ("Read past end of file"), a code letter other than S or
// C ("Invalid term code"). A reader that keeps its defects (see
// TSERIESDEFECT) hands each back instead, with where it stands, and can go
// on at the next line; a file it cannot open or read on it throws (with
// the line and column where the reading stopped, for the latter).
//
// Where the reader stands:
//   unrowtxt  the grammar of a file and of a term: the count, the term read
//             on one line at once or field by field, and REATXTONE
//   unrowone  the reading of a term on one line at once, with the twelve
//             integer cells read four at a time
//   unrowbuf  the input buffer, the number fields and the reports
//   unreanum  the numbers in a field (with unreagen)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "unalltyp.hpp"
#include "unallvar.hpp"
#include "unbigmem.hpp"
#include "unfatal.hpp"

// Magnitude part of a row's amplitude text (see AMPDIGITS).
struct TAMPTEXT {
  char C[31];
  uint8_t LEN;
};

// A defect of a series file as the reader meets it: the kind's text and
// what was found, as the fatal report gives them, and where: LINE and
// COLUMN from 1, both 0 for the file as a whole. A reader that keeps its
// defects hands it back (see TRYTERM) or throws it in place of the fatal
// exit.
struct TSERIESDEFECT {
  std::string KIND;
  std::string WHAT;
  long LINE = 0;
  long COLUMN = 0;
};

// The line ends of a file as the reader counts its lines, its bytes seen
// piece by piece: how many lines end with LF alone and with CR LF, and the
// first line of each (0: none).
struct TLINEENDS {
  long LF = 0;
  long CRLF = 0;
  long FIRSTLF = 0, FIRSTCRLF = 0;
  bool LASTCR = false;  // the bytes seen so far end with CR
  bool ENDED = false;   // character 26 seen: nothing after it counts
  void SEE(const unsigned char* P, size_t N);
};

// Reads one series file term by term. Calls back up: opening the file and
// obtaining the buffer go through unahead, so that on the main thread a
// shortage first ends the work ahead (unsercac), whose threads read with
// this reader too.
class TSERIESREADER {
 public:
  // Opens NAME in the series folder (see unserdir); a failure is fatal,
  // or with KEEP, thrown as a TSERIESDEFECT like every later defect.
  explicit TSERIESREADER(std::string NAME, bool KEEP = false);
  ~TSERIESREADER();
  TSERIESREADER(const TSERIESREADER&) = delete;
  TSERIESREADER& operator=(const TSERIESREADER&) = delete;

  // Lines 1 to 3: the term count, tested against 0..MAXARR.
  int32_t READCOUNT();
  // The next term into R (which the caller has set to the empty row);
  // with T, also the magnitude text of the amplitude: read on one line at
  // once when it stands there in the usual shape, else field by field.
  void READTERM(TROWVAR& R, TAMPTEXT* T);
  // The same for a reader that keeps its defects, without a throw: false
  // after a defect of the count or of the term, which LASTDEFECT() then
  // holds (READCOUNT and READTERM throw it). A file that cannot be read on
  // is still thrown, as the failure to open it is. A reader that does not
  // keep its defects never returns false: they are fatal.
  bool TRYCOUNT(int32_t& M);
  bool TRYTERM(TROWVAR& R, TAMPTEXT* T) { return ONELINETERM(R, T) || PLAINTERM(R, T); }
  const TSERIESDEFECT& LASTDEFECT() const { return KEPT; }
  // The line of the term read last.
  long TERMLINE() const { return TERMSTART; }
  void CLOSE();

  // For a reader that keeps its defects. After a defect in a term, the
  // reading goes on at the next line: the line after the one where the
  // defect was found, or that line itself when the term began on an
  // earlier line (a term cut short reads into the next one); the term
  // counts as read.
  void RESYNC();
  // Whether anything but separators is left before the end of the file;
  // then the line and column where it starts.
  bool MORETEXT(long& L, long& COL);
  // The rest of the current line is skipped.
  void NEXTLINE() { SKIPLINE(); }
  // The rest of the file is read and dropped (a file that cannot be read
  // to its end is thrown).
  void DRAIN() {
    POS = LEN;
    while (FILL()) POS = LEN;
  }

 private:
  static constexpr int END = -1;
  static constexpr size_t BUFSIZE = size_t{1} << 18;
  // Room after the buffer that the one-line reading may look at (never
  // past the end of the line in hand, which lies in the buffer, by more
  // than 15 characters).
  static constexpr size_t BUFPAD = 64;
  int PEEK() {
    if (POS < LEN) [[likely]] {
      int C = BUF[POS];
      return C == 26 ? END : C;
    }
    return FILL() ? PEEK() : END;
  }
  // The character after the current one (for CR LF). The current one is
  // in the buffer, so a FILL that brings bytes brings the next one too.
  int PEEKNEXT() {
    if (POS + 1 >= LEN && !FILL()) return END;
    int C = BUF[POS + 1];
    return C == 26 ? END : C;
  }
  bool ATLINEEND(int C) { return C == '\n' || (C == '\r' && PEEKNEXT() == '\n'); }
  void ADVANCE() {
    if (BUF[POS] == '\n') NEWLINE(POS + 1);
    ++POS;
  }
  // A line begins at BUF[P].
  void NEWLINE(size_t P) {
    ++LINE;
    LINESTART = static_cast<long>(P);
  }
  // The column of BUF[P] in the current line.
  long COLUMNOF(size_t P) const { return static_cast<long>(P) - LINESTART + 1; }
  bool FILL();
  void SKIPLINE();
  // The two readings of a term: ONELINETERM reads a term that stands on
  // one line in the usual shape, or returns false with the reading where
  // it was; PLAINTERM reads any term, field by field, with every check.
  bool ONELINETERM(TROWVAR& R, TAMPTEXT* T);
  bool PLAINTERM(TROWVAR& R, TAMPTEXT* T);
  // The steps of a reading that may meet a defect return false after it
  // (see DEFECT), and so do the reports of the defects themselves.
  bool SKIPSEPARATORS(const char* WHAT);
  bool FIELD(const char* WHAT, std::string_view& F);
  // An integer field within LO..HI into V; else the range error.
  bool INTFIELD(const char* WHAT, long long LO, long long HI, long long& V);
  bool PASTEND(const char* WHAT);
  bool BADNUMBER(const char* WHAT, std::string_view F);
  bool BADCODE(int C);
  bool TOOLONG(const char* WHAT, std::string_view START);
  // The range error of the integer field F, of value V, outside LO..HI.
  bool OUTSIDE(const char* WHAT, std::string_view F, long long V, long long LO, long long HI);
  // The defect: kept in KEPT, and false returned, by a reader that keeps
  // its defects; else the fatal report of KIND with WHY.
  bool DEFECT(const char* KIND, long L, long COL, const std::string& WHAT, const std::string& WHY);
  // The same where the report says PLACE(): WHAT.
  bool PLACEDDEFECT(const char* KIND, long L, long COL, const std::string& WHAT);
  // A file that cannot be opened or read on: thrown by a reader that keeps
  // its defects, else fatal.
  [[noreturn]] void FAILURE(const char* KIND, long L, long COL, const std::string& WHAT);
  std::string PLACE() const;

  std::string NAME;
  int FD = -1;
  // In a block of its own, so that nothing of it stays in the common
  // store after the file is read (see unahead).
  TBIGBLOCK BUFBLOCK;
  unsigned char* BUF = nullptr;
  size_t POS = 0, LEN = 0;
  bool ATEND = false;
  long LINE = 1;
  long TERMSTART = 0;
  // Where the current line begins in BUF (before it once FILL has moved
  // the line's first bytes out), and where the field read last begins.
  long LINESTART = 0;
  long FIELDLINE = 0, FIELDCOL = 0;
  bool KEEP = false;
  int32_t COUNT = 0;
  int32_t DONE = 0;  // complete terms read
  std::string TOK;
  TSERIESDEFECT KEPT;  // the defect met last, by a reader that keeps them
};

// Twelve integers each written in four columns, a blank first: "   d",
// "  dd", " ddd" (at most 127), "  -d" or " -dd", zeros among the digits
// allowed. True, with their values in V[0..11], when Q[0..47] holds twelve
// such cells. Four cells at a time in vector registers where the
// processor has them (SSE2); else READTWELVECELLSPLAIN, the same cell by
// cell.
bool READTWELVECELLS(const unsigned char* Q, int8_t* V);
bool READTWELVECELLSPLAIN(const unsigned char* Q, int8_t* V);

// The reading of a whole series file, the one that REATXTONE and the
// pipeline's parse share: opens NAME, reads the count M and hands it to
// SINK.COUNTED, which may refuse it (false: no term is read, and false is
// returned); then reads each term X = 0..M-1 into the row SINK.ROW(X),
// which starts as a copy of RECNUL and gets TXT = X, with its amplitude
// text in *T when T is given, and hands it to SINK.TAKE(X, ROW, LINE), LINE
// the line of the term; closes the file.
template <typename TSINK>
bool READSERIESFILE(const std::string& NAME, TAMPTEXT* T, TSINK& SINK) {
  TSERIESREADER IN(NAME);
  const int32_t M = IN.READCOUNT();
  if (!SINK.COUNTED(M)) return false;
  for (int32_t X = 0; X < M; ++X) {
    TROWVAR& R = SINK.ROW(X);
    R = RECNUL;
    IN.READTERM(R, T);
    R.TXT = X;
    SINK.TAKE(X, R, IN.TERMLINE());
  }
  IN.CLOSE();
  return true;
}

// The reading of a whole file by a reader that keeps its defects: the
// count, then the terms, each read whole handed to SINK.TAKE(ROW, LINE),
// LINE its line. Each defect goes to SINK.DEFECT(D, INTERM), INTERM when
// it is of a term, and the reading goes on (see RESYNC); a file without a
// count is read as terms to the end of its text, a file that ends before
// its counted terms ends the reading, and one that cannot be read on is
// thrown (see TRYTERM). Returns the count, or -1 for none.
template <typename TSINK>
int32_t READKEPTTERMS(TSERIESREADER& IN, TSINK& SINK) {
  int32_t M = -1;
  if (!IN.TRYCOUNT(M)) {
    M = -1;
    SINK.DEFECT(IN.LASTDEFECT(), false);
    IN.NEXTLINE();
    IN.NEXTLINE();
  }
  long L, COL;
  for (int32_t X = 0; M < 0 ? IN.MORETEXT(L, COL) : X < M; ++X) {
    TROWVAR R{};
    if (!IN.TRYTERM(R, nullptr)) {
      const TSERIESDEFECT& D = IN.LASTDEFECT();
      // Without a count the text simply ends.
      if (D.KIND == PASTENDTEXT) {
        if (M >= 0) SINK.DEFECT(D, false);
        return M;
      }
      SINK.DEFECT(D, true);
      IN.RESYNC();
      continue;
    }
    SINK.TAKE(R, IN.TERMLINE());
  }
  return M;
}

// Reads the series file S + two-digit N + ".txt" into R[1..M]; M is the
// count of line 2. Every row starts as a copy of RECNUL; TXT is set to the
// row's place in the file.
void REATXTONE(uint8_t N, const std::string& S, int32_t& M, TROWPTR& R);
