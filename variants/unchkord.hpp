// unchkord: what the check of one series file (unserchk) needs to hand its
// findings on in the order of the report without holding them: the
// findings of the line in hand, sorted by column when the next line comes,
// with the findings known before the reading merged in at their places;
// the line ends of a file, counted before it is read; and the columns of
// fields on lines asked for in the order of the file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "unrowtxt.hpp"
#include "unserchk.hpp"

// The findings of a file in the order of the report: those on the file as
// a whole first, then by line and column; among findings at the same
// place, those read first first, and those known before the reading
// after them. Each finding comes with a line at or after those before it,
// and is counted into the file's errors and warnings.
class TINORDER {
 public:
  TINORDER(TFINDINGSINK& SINKTO, TFILECHECK& CHECK) : SINK(SINKTO), C(CHECK) {}
  // Findings known before the reading (in any order).
  void KNOWN(std::vector<TFINDING> F);
  // The next finding, on line L, for the caller to fill in: a place held
  // whose texts keep their storage from one finding to the next.
  TFINDING& NEXT(long L);
  void PUT(TFINDING F) { NEXT(F.LINE) = std::move(F); }
  // Everything held goes on.
  void FINISH();

 private:
  void FLUSH();
  void SEND(const TFINDING& F);
  TFINDINGSINK& SINK;
  TFILECHECK& C;
  std::vector<TFINDING> HELD;  // HELD[0..COUNT-1]: one line's, as they came
  size_t COUNT = 0;
  std::vector<TFINDING> EARLY;  // known before the reading, by place
  size_t NEXTEARLY = 0;
};

// Findings kept in a list, or dropped (a null list).
class TFINDINGLIST final : public TFINDINGSINK {
 public:
  explicit TFINDINGLIST(std::vector<TFINDING>* INTO) : LIST(INTO) {}
  void FINDING(const TFINDING& F) override {
    if (LIST != nullptr) LIST->push_back(F);
  }

 private:
  std::vector<TFINDING>* LIST;
};

// Whether series file NAME may hold more terms than half a table (MAXARR):
// more lines after the third, by its line ends E when they are counted,
// and a count above that or none.
bool MAYHOLDHALF(const std::string& NAME, const TLINEENDS* E);

// The line ends of series file NAME in the series folder, counted as the
// reader counts them (see TLINEENDS); false when it is not a regular file
// that can be read to its end.
bool SCANLINEENDS(const std::string& NAME, TLINEENDS& E);

// The columns of fields on lines of a series file, asked for with lines
// that never go back: the file is read forward, a block at a time.
class TCOLUMNS {
 public:
  explicit TCOLUMNS(const std::string& FILENAME) : NAME(FILENAME) {}
  ~TCOLUMNS();
  TCOLUMNS(const TCOLUMNS&) = delete;
  TCOLUMNS& operator=(const TCOLUMNS&) = delete;
  // The column (from 1) where field K (0 the first) of line L begins,
  // fields parted by characters of codes 32 and below; 1 when the line has
  // no field K or cannot be read.
  long COLUMN(long L, int K);

 private:
  // The byte at P into B; false at the end of the file.
  bool AT(off_t P, unsigned char& B);
  std::string NAME;
  int FD = -2;  // -2: not yet opened; -1: cannot be read
  off_t LINEAT = 0;  // where line LINE begins
  long LINE = 1;
  std::vector<unsigned char> BLOCK;
  off_t BLOCKAT = 0;
  size_t BLOCKLEN = 0;
};
