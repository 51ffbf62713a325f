#include "progbody.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "unahead.hpp"
#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfpuenv.hpp"
#include "unfupipe.hpp"
#include "ungetmem.hpp"
#include "unsercac.hpp"
#include "unrowini.hpp"
#include "unserdir.hpp"
#include "unvarpow.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

bool PUTLINES(std::FILE* STREAM, const std::string& TEXT) {
  std::string OUT;
  for (char C : TEXT) {
    if (C == '\n') OUT += '\r';
    OUT += C;
  }
  return std::fwrite(OUT.data(), 1, OUT.size(), STREAM) == OUT.size() && std::fflush(STREAM) == 0;
}

namespace {

std::string FORMAT(const char* FMT, auto... ARGS) {
  char B[2048];
  int N = std::snprintf(B, sizeof B, FMT, ARGS...);
  return std::string(B, static_cast<size_t>(N < 0 ? 0 : N < static_cast<int>(sizeof B) ? N : sizeof B - 1));
}

bool USAGE(const TVARIANT& V) {
  return PUTLINES(stdout, FORMAT(
      "Usage: %s [--series DIR] [--output DIR] [--quiet]\n"
      "       %s --help | --version\n"
      "\n"
      "%s %s.\n"
      "\n"
      "Reads the series files puf01.txt to puf27.txt (never writes them) and\n"
      "creates, replacing any earlier ones, one file per ordered pair of\n"
      "planets, %sIIJJ.txt (I the perturbed, J the perturbing planet,\n"
      "1 Mercury .. 8 Neptune: 56 files), and the count table %s.\n"
      "Progress goes to standard output.\n"
      "\n"
      "Options (in any order):\n"
      "  --series DIR  read the series files in DIR (default: the current folder)\n"
      "  --output DIR  write every output file in DIR (default: the current folder)\n"
      "  --quiet       leave out the progress lines; a fatal report is still written\n"
      "  --help        show this text and exit\n"
      "  --version     show the version and exit\n"
      "\n"
      "Exit status: 0 when the job is complete; 217 after a fatal error\n"
      "(a missing or damaged series file, a value out of range, a file that\n"
      "cannot be written), reported in one line on standard output and also\n"
      "on standard error when that is not the same file or terminal; 2 for a\n"
      "bad command line or a folder that cannot be used, before anything is\n"
      "written.\n",
      V.PROGRAM, V.PROGRAM, V.PROGRAM, V.PURPOSE, V.PREFIX, V.TABLENAME));
}

// What the command line asks for.
struct TOPTIONS {
  std::string SERIES, OUTPUT;  // empty: the current folder
  bool QUIET = false;
};

// One line on standard error and status 2.
int REFUSE(const TVARIANT& V, const std::string& WHY) {
  PUTLINES(stderr, FORMAT("%s: %s\n", V.PROGRAM, WHY.c_str()));
  return 2;
}

// Reads ARGV[1..ARGC-1] into O; 0, or the status of a refusal (2).
int PARSEOPTIONS(int ARGC, char** ARGV, const TVARIANT& V, TOPTIONS& O) {
  bool SEEN[3] = {false, false, false};
  for (int X = 1; X < ARGC; ++X) {
    const std::string A = ARGV[X];
    int WHICH = -1;
    std::string VALUE;
    bool HASVALUE = false;
    for (int Y = 0; Y < 2; ++Y) {
      const std::string NAME = Y == 0 ? "--series" : "--output";
      if (A == NAME) {
        WHICH = Y;
        if (X + 1 >= ARGC) return REFUSE(V, NAME + " needs a folder");
        VALUE = ARGV[++X];
        HASVALUE = true;
      } else if (A.rfind(NAME + "=", 0) == 0) {
        WHICH = Y;
        VALUE = A.substr(NAME.size() + 1);
        HASVALUE = true;
      }
    }
    if (A == "--quiet") WHICH = 2;
    if (WHICH < 0) {
      PUTLINES(stderr, FORMAT("%s: unexpected argument '%s'\n"
                              "Usage: %s [--series DIR] [--output DIR] [--quiet] | --help | --version\n",
                              V.PROGRAM, A.c_str(), V.PROGRAM));
      return 2;
    }
    if (SEEN[WHICH]) return REFUSE(V, "'" + A + "' repeats an option given before");
    SEEN[WHICH] = true;
    if (HASVALUE && VALUE.empty()) return REFUSE(V, "'" + A + "' names no folder");
    if (WHICH == 0)
      O.SERIES = VALUE;
    else if (WHICH == 1)
      O.OUTPUT = VALUE;
    else
      O.QUIET = true;
  }
  return 0;
}

// The folders: the series folder opened (the current one when only the
// output folder is named, before the program moves there), then the
// output folder made the current one; 0, or 2 after a one-line report.
int USEFOLDERS(const TVARIANT& V, const TOPTIONS& O) {
  std::string WHY;
  if ((!O.SERIES.empty() || !O.OUTPUT.empty()) && !SETSERIESDIR(O.SERIES.empty() ? "." : O.SERIES, WHY))
    return REFUSE(V, "cannot use the series folder '" + (O.SERIES.empty() ? "." : O.SERIES) + "': " + WHY);
  if (!O.OUTPUT.empty()) {
    if (::chdir(O.OUTPUT.c_str()) != 0)
      return REFUSE(V, "cannot use the output folder '" + O.OUTPUT + "': " + std::strerror(errno));
    if (::access(".", W_OK | X_OK) != 0)
      return REFUSE(V, "cannot write in the output folder '" + O.OUTPUT + "': " + std::strerror(errno));
  }
  return 0;
}

// A standard stream that is closed gets /dev/null opened for reading in
// its place, so that no file the program creates takes its number; a
// console write then fails as an I/O error.
void HOLDSTANDARDSTREAMS() {
  for (int FD = 0; FD <= 2; ++FD)
    if (::fcntl(FD, F_GETFD) == -1 && errno == EBADF) {
      int N = ::open("/dev/null", O_RDONLY);
      if (N >= 0 && N != FD) {
        ::dup2(N, FD);
        ::close(N);
      }
    }
}

}  // namespace

int RUNPROGRAM(int ARGC, char** ARGV, const TVARIANT& V, TDRIVER DRIVER) {
  // A closed pipe on the console, or a file grown to the size limit, is an
  // I/O error like any other, not a signal that ends the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  if (ARGC == 2) {
    const std::string A = ARGV[1];
    if (A == "--help" || A == "-h") return USAGE(V) ? 0 : 2;
    if (A == "--version") return PUTLINES(stdout, FORMAT("%s %s\n", V.PROGRAM, PAIRTERMS_VERSION)) ? 0 : 2;
  }
  TOPTIONS O;
  if (const int S = PARSEOPTIONS(ARGC, ARGV, V, O); S != 0) return S;
  // Before any open, so that no folder takes the number of a closed one.
  HOLDSTANDARDSTREAMS();
  if (const int S = USEFOLDERS(V, O); S != 0) return S;
#ifdef M_ARENA_MAX
  // Every thread's storage from one pool: a thread that works ahead keeps
  // none of its own that would outlast its work (see unahead).
  (void)mallopt(M_ARENA_MAX, 1);
#endif
  std::set_new_handler(NOSTORAGE);
  SETPROGRAMNAME(V.PROGRAM);
  const TCUTS CUTS = DEFAULTCUTS(V);
  SETCLASSSLOTS(std::max(DEFAULTCLASSSLOTS, CUTS.ORDERBOUND + 1));
  TGATETABLE GATES(CLASSSLOTS());
  TPERIODTABLE PERIODS(CUTS.THRESHOLDFREQUENCY(), V.SELECT == TSELECT::SHORTPERIOD ? V.PERIODWIDTH : 0,
                       V.SELECT == TSELECT::SECULAR ? V.PERIODWIDTH : 0);
  TPROGRUN R(V, CUTS, &GATES, &PERIODS);
  R.QUIET = O.QUIET;
  SETFATALSCOPE(&R);
  R.CONSOLE.ATTACHCONSOLE(&R.F);
  // Before any arithmetic and before the threads that inherit the mode.
  CHECKFPU();

  GETROWMEM();
  RECNULLO();
  FORFACTOM();
  POWOMEL();
  for (int I = 1; I <= MAXIPA; ++I) DRIVER(R, static_cast<uint8_t>(I));
  FREEROWMEM();
  R.CONSOLE.CLOSE();
  SETFATALSCOPE(nullptr);
  return 0;
}
