// unchkrep: the report of seriescheck: the lines of each file's findings,
// at most REPORTLIMIT of one kind unless all are asked for, and its
// summary; and the output that writes the files' reports in their order
// while they are checked at once, holding no more than a bounded amount of
// the text of files whose turn has not come.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "unserchk.hpp"

// Findings of one kind (the same kind text, errors and warnings apart)
// listed per file; the rest are counted in one line.
inline constexpr long REPORTLIMIT = 100;

// Thrown into the check of a file when the report can no longer be
// written: nothing more is worth reading.
struct TREPORTSTOPPED {};

// Standard output (or any descriptor) in the order of the report: the text
// of part N (the files 1..27, then the total) is written when the parts
// before it are complete, and held until then.
class TREPORTOUT {
 public:
  TREPORTOUT(int FILEDES, int PARTS, size_t MAXHELD);
  // TEXT (taken) as the next text of part N; LAST: its last. Waits while
  // the parts before N are not complete and holding TEXT would pass
  // MAXHELD. False once the output has failed: nothing more is written.
  bool PUT(int N, std::string& TEXT, bool LAST);
  // The errno of the failed write; 0 while none has failed.
  int FAILURE() const;
  // The most text held at once, for parts not yet written.
  size_t MOSTHELD() const;

 private:
  void WRITE(const std::string& TEXT);
  const int FD;
  const size_t LIMIT;
  mutable std::mutex M;
  std::condition_variable CHANGED;
  int TURN = 1;  // the part being written
  int ERR = 0;
  size_t HELDNOW = 0, HELDMOST = 0;
  std::vector<std::string> HELD;
  std::vector<char> COMPLETE;
};

// The report of one file, as its findings come: a line each, the
// findings of a kind beyond the first REPORTLIMIT counted (unless ALL),
// the text handed to OUT a block at a time.
class TFILEREPORT final : public TFINDINGSINK {
 public:
  TFILEREPORT(int FILENUM, bool LISTALL, TREPORTOUT& OUTTO) : N(FILENUM), ALL(LISTALL), OUT(OUTTO) {}
  void FINDING(const TFINDING& F) override;
  // The lines that count the findings not listed, then, unless QUIET, the
  // summary of C; the report of the file is then complete.
  void FINISH(const TFILECHECK& C, bool QUIET);

 private:
  void PASS(bool LAST);
  struct TKIND {
    bool ERROR;
    std::string KIND;
    long COUNT;
  };
  const int N;
  const bool ALL;
  TREPORTOUT& OUT;
  std::string NAME;
  std::string TEXT;
  std::vector<TKIND> KINDS;  // in the order in which they came first
};

// "1 term", "2 terms".
std::string PLURAL(long N, const char* WHAT);
