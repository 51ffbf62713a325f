// seriescheck: every defect of the 27 series files at once. Reads them
// with the programs' own reader, reports each defect and doubt as
// "puf07.txt:1234:17: error: <kind>: <what was found>" (or "warning:"), at
// most 100 of a kind per file unless --all, and ends with a summary line
// per file and a total. Exit status: 0 clean, 1 warnings only, 2 an error
// or a folder that cannot be used, 3 a report that cannot be written.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "unchkrep.hpp"
#include "unforstr.hpp"
#include "unfucuts.hpp"
#include "unserchk.hpp"
#include "unserdir.hpp"
#include "unwrite.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

const char* const USAGELINE = "Usage: seriescheck [--series DIR] [--quiet] [--all] [--max-order N]";

// The exit statuses.
constexpr int CLEAN = 0, WARNED = 1, FAILED = 2, UNWRITTEN = 3;

// Text of the files not yet written that the report may hold.
constexpr size_t MAXHELD = size_t{1} << 20;

const char* const USAGETEXT =
    "\n       seriescheck --help | --version\n"
    "\n"
    "Checks the series files puf01.txt to puf27.txt as termshort, termsecul\n"
    "and termall read them, and reports every defect at once, one a line:\n"
    "  puf07.txt:1234:17: error: <kind>: <what was found>\n"
    "An error stops every program on that file. A warning names the programs\n"
    "that stop on it, if any, or notes what they accept but was most likely\n"
    "not meant: text after the counted terms that reads as more terms, a term\n"
    "repeated exactly, line ends that mix LF and CR LF. Of each kind, the\n"
    "first 100 errors and the first 100 warnings of a file are listed, and\n"
    "one line counts the rest. A summary line per file and a total follow.\n"
    "\n"
    "Options (in any order):\n"
    "  --series DIR  check the series files in DIR (default: the current folder)\n"
    "  --quiet       leave out the summary lines\n"
    "  --max-order N the order limit of termshort's run that the warnings\n"
    "                take (default 8, see termshort --max-order)\n"
    "  --all         list every error and warning, however many of a kind\n"
    "  --help        show this text and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Exit status: 0 when no defect is found; 1 for warnings only; 2 for an\n"
    "error, a folder that cannot be used or a bad command line; 3 when the\n"
    "report cannot be written (said on standard error, unless the reader of\n"
    "a pipe has gone).\n";

// TEXT, its lines ended by CR LF, to FD; errno's value for a failure, else 0.
int WRITEALL(int FD, const std::string& TEXT) {
  std::string OUT;
  for (char C : TEXT) {
    if (C == '\n') OUT += '\r';
    OUT += C;
  }
  for (size_t DONE = 0; DONE < OUT.size();) {
    const ssize_t W = WRITEWAIT(FD, OUT.data() + DONE, OUT.size() - DONE);
    if (W <= 0) return W < 0 && errno != 0 ? errno : EIO;
    DONE += static_cast<size_t>(W);
  }
  return 0;
}

int REFUSE(const std::string& WHY) {
  (void)WRITEALL(STDERR_FILENO, "seriescheck: " + WHY + "\n");
  return FAILED;
}

// The status after the report failed with errno E: said, unless the
// reader of a pipe has gone.
int UNWRITTENREPORT(int E) {
  if (E != EPIPE) (void)WRITEALL(STDERR_FILENO, std::string("seriescheck: cannot write the report: ") + std::strerror(E) + "\n");
  return UNWRITTEN;
}

// The 27 files, checked by two threads at once (or one, if no other can
// be had), each file's report written in turn.
struct TRUNNING {
  TREPORTOUT& OUT;
  bool QUIET, ALL;
  std::atomic<int> NEXT{1};
  std::atomic<long> TERMS{0}, ERRORS{0}, WARNINGS{0};
  void WORK() {
    for (int N; OUT.FAILURE() == 0 && (N = NEXT++) <= NUMSERIES;) {
      try {
        TFILEREPORT R(N, ALL, OUT);
        const TFILECHECK C = CHECKSERIESFILE(N, R);
        TERMS += C.TERMS;
        ERRORS += C.ERRORS();
        WARNINGS += C.WARNINGS();
        R.FINISH(C, QUIET);
      } catch (const TREPORTSTOPPED&) {
        return;
      }
    }
  }
};

}  // namespace

int main(int ARGC, char** ARGV) {
  // A reader of the report that has gone is a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (ARGC == 2) {
    const std::string A = ARGV[1];
    std::string TEXT;
    if (A == "--help" || A == "-h") TEXT = std::string(USAGELINE) + USAGETEXT;
    if (A == "--version") TEXT = std::string("seriescheck ") + PAIRTERMS_VERSION + "\n";
    if (!TEXT.empty()) {
      const int E = WRITEALL(STDOUT_FILENO, TEXT);
      return E == 0 ? CLEAN : UNWRITTENREPORT(E);
    }
  }
  std::string SERIES;
  bool QUIET = false, ALL = false, HASSERIES = false, HASORDER = false;
  for (int X = 1; X < ARGC; ++X) {
    const std::string A = ARGV[X];
    if ((A == "--max-order" || A.rfind("--max-order=", 0) == 0) && !HASORDER) {
      if (A == "--max-order" && X + 1 >= ARGC) return REFUSE("--max-order needs a value");
      const std::string VALUE = A == "--max-order" ? ARGV[++X] : A.substr(12);
      TCUTS C;
      std::string WHY;
      if (!SETCUT(C, TCUTOPTION::MAXORDER, VALUE, WHY)) return REFUSE("--max-order '" + SHOWTEXT(VALUE) + "' " + WHY);
      SETCHECKMAXORDER(C.ORDERBOUND);
      HASORDER = true;
    } else if (A == "--quiet" && !QUIET) {
      QUIET = true;
    } else if (A == "--all" && !ALL) {
      ALL = true;
    } else if ((A == "--series" || A.rfind("--series=", 0) == 0) && !HASSERIES) {
      if (A == "--series" && X + 1 >= ARGC) return REFUSE("--series needs a folder");
      SERIES = A == "--series" ? ARGV[++X] : A.substr(9);
      HASSERIES = true;
      if (SERIES.empty()) return REFUSE("'" + SHOWTEXT(A) + "' names no folder");
    } else {
      return REFUSE("unexpected argument '" + SHOWTEXT(A) + "'\n" + USAGELINE + " | --help | --version");
    }
  }
  std::string WHY;
  if (!SETSERIESDIR(HASSERIES ? SERIES : ".", WHY))
    return REFUSE("cannot use the series folder '" + SHOWTEXT(HASSERIES ? SERIES : ".") + "': " + WHY);
  if (const std::string S = SERIESFILEOFFD(STDOUT_FILENO); !S.empty()) {
    (void)WRITEALL(STDERR_FILENO, "seriescheck: cannot write the report: standard output is the series file " + S +
                                      ", which is only read\n");
    return UNWRITTEN;
  }
  if (!ANYSERIESFILE())
    return REFUSE("the series folder " + SHOWTEXT(SERIESDIRTEXT()) + " holds none of " + SERIESNAME(1) + " .. " +
                  SERIESNAME(NUMSERIES));

  TREPORTOUT OUT(STDOUT_FILENO, NUMSERIES + 1, MAXHELD);
  TRUNNING R{OUT, QUIET, ALL};
  std::thread T;
  try {
    T = std::thread([&R] { R.WORK(); });
  } catch (const std::system_error&) {
  }
  R.WORK();
  if (T.joinable()) T.join();
  std::string TOTAL;
  if (!QUIET)
    TOTAL = "total: " + PLURAL(NUMSERIES, "file") + " in " + SHOWTEXT(SERIESDIRTEXT()) + ", " +
            PLURAL(R.TERMS, "term") + ", " + PLURAL(R.ERRORS, "error") + ", " + PLURAL(R.WARNINGS, "warning") +
            "\r\n";
  OUT.PUT(NUMSERIES + 1, TOTAL, true);
  if (const int E = OUT.FAILURE(); E != 0) return UNWRITTENREPORT(E);
  return R.ERRORS > 0 ? FAILED : R.WARNINGS > 0 ? WARNED : CLEAN;
}
