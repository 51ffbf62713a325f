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
// C ("Invalid term code").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "unalltyp.hpp"

// Magnitude part of a row's amplitude text (see AMPDIGITS).
struct TAMPTEXT {
  char C[31];
  uint8_t LEN;
};

// Reads one series file term by term.
class TSERIESREADER {
 public:
  explicit TSERIESREADER(std::string NAME);  // opens; fatal on failure
  ~TSERIESREADER();
  TSERIESREADER(const TSERIESREADER&) = delete;
  TSERIESREADER& operator=(const TSERIESREADER&) = delete;

  // Lines 1 to 3: the term count, tested against 0..MAXARR.
  int32_t READCOUNT();
  // The next term into R (which the caller has set to the empty row);
  // with T, also the magnitude text of the amplitude.
  void READTERM(TROWVAR& R, TAMPTEXT* T);
  // The line of the term read last.
  long TERMLINE() const { return TERMSTART; }
  void CLOSE();

 private:
  static constexpr int END = -1;
  int PEEK() {
    if (POS < LEN) [[likely]] {
      int C = BUF[POS];
      return C == 26 ? END : C;
    }
    return FILL() ? PEEK() : END;
  }
  // The character after the current one (for CR LF).
  int PEEKNEXT() {
    if (POS + 1 >= LEN && !FILL()) return END;
    if (POS + 1 >= LEN) return END;
    int C = BUF[POS + 1];
    return C == 26 ? END : C;
  }
  bool ATLINEEND(int C) { return C == '\n' || (C == '\r' && PEEKNEXT() == '\n'); }
  void ADVANCE() {
    if (BUF[POS] == '\n') ++LINE;
    ++POS;
  }
  bool FILL();
  void SKIPLINE();
  bool FASTTERM(TROWVAR& R, TAMPTEXT* T);
  void SKIPSEPARATORS(const char* WHAT);
  std::string_view FIELD(const char* WHAT);
  long long INTFIELD(const char* WHAT);
  [[noreturn]] void PASTEND(const char* WHAT);
  [[noreturn]] void BADNUMBER(const char* WHAT, std::string_view F);
  std::string PLACE() const;

  std::string NAME;
  int FD = -1;
  std::unique_ptr<unsigned char[]> BUF;
  size_t POS = 0, LEN = 0;
  bool ATEND = false;
  long LINE = 1;
  long TERMSTART = 0;
  int32_t COUNT = 0;
  int32_t DONE = 0;  // complete terms read
  std::string TOK;
};

// Twelve integers each written in four columns, a blank first: "   d",
// "  dd", " ddd" (at most 127), "  -d" or " -dd", zeros among the digits
// allowed. True, with their values in V[0..11], when Q[0..47] holds twelve
// such cells.
bool READTWELVECELLS(const unsigned char* Q, int8_t* V);

// Reads the series file S + two-digit N + ".txt" into R[1..M]; M is the
// count of line 2. Every row starts as a copy of RECNUL; TXT is set to the
// row's place in the file.
void REATXTONE(uint8_t N, const std::string& S, int32_t& M, TROWPTR& R);
