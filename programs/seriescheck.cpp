// seriescheck: every defect of the 27 series files at once. Reads them
// with the programs' own reader, reports each defect and doubt as
// "puf07.txt:1234:17: error: <kind>: <what was found>" (or "warning:"), and
// ends with a summary line per file and a total. Exit status: 0 clean, 1
// warnings only, 2 an error or a folder that cannot be used.
#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "progbody.hpp"
#include "unextcnv.hpp"
#include "unserchk.hpp"
#include "unserdir.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

const char* const USAGELINE = "Usage: seriescheck [--series DIR] [--quiet]";

bool USAGE() {
  return PUTLINES(stdout, std::string(USAGELINE) +
                              "\n       seriescheck --help | --version\n"
                              "\n"
                              "Checks the series files puf01.txt to puf27.txt as termshort, termsecul\n"
                              "and termall read them, and reports every defect at once, one a line:\n"
                              "  puf07.txt:1234:17: error: <kind>: <what was found>\n"
                              "An error stops every program on that file. A warning names the programs\n"
                              "that stop on it, if any, or notes what they accept but was most likely\n"
                              "not meant: text after the counted terms that reads as more terms, a term\n"
                              "repeated exactly, line ends that mix LF and CR LF. A summary line per\n"
                              "file and a total follow.\n"
                              "\n"
                              "Options (in any order):\n"
                              "  --series DIR  check the series files in DIR (default: the current folder)\n"
                              "  --quiet       leave out the summary lines\n"
                              "  --help        show this text and exit\n"
                              "  --version     show the version and exit\n"
                              "\n"
                              "Exit status: 0 when no defect is found; 1 for warnings only; 2 for an\n"
                              "error, a folder that cannot be used or a bad command line.\n");
}

int REFUSE(const std::string& WHY) {
  PUTLINES(stderr, "seriescheck: " + WHY + "\n");
  return 2;
}

std::string PLURAL(long N, const char* WHAT) {
  return std::to_string(N) + " " + WHAT + (N == 1 ? "" : "s");
}

std::string AMPTEXT(TEXTENDED A) {
  char B[64];
  EXTSCIENTIFIC(B, sizeof B, 3, A);
  return B;
}

// The lines of one file: its findings, then (unless QUIET) its summary.
std::string REPORT(const TFILECHECK& C, bool QUIET) {
  std::string S;
  for (const TFINDING& F : C.FINDINGS) {
    S += C.NAME + ":";
    if (F.LINE > 0) S += std::to_string(F.LINE) + ":" + std::to_string(F.COLUMN) + ":";
    S += F.ERROR ? " error: " : " warning: ";
    S += F.KIND + ": " + F.WHAT;
    if (!F.ERROR && !F.STOPS.empty()) S += "; stops " + F.STOPS;
    S += "\n";
  }
  if (QUIET) return S;
  S += C.NAME + ": ";
  if (!C.OPENED) {
    S += "not read";
  } else {
    S += PLURAL(C.TERMS, "term");
    if (C.GOOD > 0)
      S += ", orders " + std::to_string(C.MINORDER) + ".." + std::to_string(C.MAXORDER) + ", |amplitude| " +
           AMPTEXT(C.MINAMP) + ".." + AMPTEXT(C.MAXAMP);
  }
  S += ", " + PLURAL(C.ERRORS(), "error") + ", " + PLURAL(C.WARNINGS(), "warning") + "\n";
  return S;
}

// The 27 files, checked by two threads at once (or one, if no other can
// be had).
std::vector<TFILECHECK> CHECKALL() {
  std::vector<TFILECHECK> R(NUMSERIES + 1);
  std::atomic<int> NEXT{1};
  auto WORK = [&] {
    for (int N; (N = NEXT++) <= NUMSERIES;) R[static_cast<size_t>(N)] = CHECKSERIESFILE(N);
  };
  std::thread T;
  try {
    T = std::thread(WORK);
  } catch (const std::system_error&) {
  }
  WORK();
  if (T.joinable()) T.join();
  return R;
}

}  // namespace

int main(int ARGC, char** ARGV) {
  if (ARGC == 2) {
    const std::string A = ARGV[1];
    if (A == "--help" || A == "-h") return USAGE() ? 0 : 2;
    if (A == "--version") return PUTLINES(stdout, std::string("seriescheck ") + PAIRTERMS_VERSION + "\n") ? 0 : 2;
  }
  std::string SERIES;
  bool QUIET = false, HASSERIES = false;
  for (int X = 1; X < ARGC; ++X) {
    const std::string A = ARGV[X];
    if (A == "--quiet" && !QUIET) {
      QUIET = true;
    } else if ((A == "--series" || A.rfind("--series=", 0) == 0) && !HASSERIES) {
      if (A == "--series" && X + 1 >= ARGC) return REFUSE("--series needs a folder");
      SERIES = A == "--series" ? ARGV[++X] : A.substr(9);
      HASSERIES = true;
      if (SERIES.empty()) return REFUSE("'" + A + "' names no folder");
    } else {
      return REFUSE("unexpected argument '" + A + "'\n" + USAGELINE + " | --help | --version");
    }
  }
  std::string WHY;
  if (!SETSERIESDIR(HASSERIES ? SERIES : ".", WHY))
    return REFUSE("cannot use the series folder '" + (HASSERIES ? SERIES : ".") + "': " + WHY);
  if (!ANYSERIESFILE())
    return REFUSE("the series folder " + SERIESDIRTEXT() + " holds none of " + SERIESNAME(1) + " .. " +
                  SERIESNAME(NUMSERIES));

  const std::vector<TFILECHECK> R = CHECKALL();
  std::string OUT;
  long TERMS = 0, ERRORS = 0, WARNINGS = 0;
  for (int N = 1; N <= NUMSERIES; ++N) {
    const TFILECHECK& C = R[static_cast<size_t>(N)];
    OUT += REPORT(C, QUIET);
    TERMS += C.TERMS;
    ERRORS += C.ERRORS();
    WARNINGS += C.WARNINGS();
  }
  if (!QUIET)
    OUT += "total: " + PLURAL(NUMSERIES, "file") + " in " + SERIESDIRTEXT() + ", " + PLURAL(TERMS, "term") + ", " +
           PLURAL(ERRORS, "error") + ", " + PLURAL(WARNINGS, "warning") + "\n";
  if (!PUTLINES(stdout, OUT)) return 2;
  return ERRORS > 0 ? 2 : WARNINGS > 0 ? 1 : 0;
}
