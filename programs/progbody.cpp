#include "progbody.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <new>
#include <string>

#include "unahead.hpp"
#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unfpuenv.hpp"
#include "unfucnt.hpp"
#include "unfupipe.hpp"
#include "ungetmem.hpp"
#include "unsercac.hpp"
#include "unrowini.hpp"
#include "unserdir.hpp"
#include "unvarpow.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

// Standard output that is one of the series files (a shell's >> onto one;
// with > the shell has emptied it already): the I/O error before anything
// is written to it, reported on standard error alone.
void CHECKCONSOLE(const TVARIANT& V) {
  const std::string S = SERIESFILEOFFD(STDOUT_FILENO);
  if (S.empty()) return;
  const std::string LINE = std::string(V.PROGRAM) + ": fatal error 217: " + ACCESSTEXT +
                           ": standard output is the series file " + S + ", which is only read\n";
  PUTLINES(stderr, LINE);
  std::_Exit(FATALSTATUS);
}

// The folders: the series folder opened (the current one when only the
// output folder is named, before the program moves there), standard output
// checked against its series files, then the output folder made the
// current one; 0, or 2 after a one-line report.
int USEFOLDERS(const TVARIANT& V, const TOPTIONS& O) {
  std::string WHY;
  const std::string SERIES = O.SERIES.empty() ? "." : O.SERIES;
  if ((!O.SERIES.empty() || !O.OUTPUT.empty()) && !SETSERIESDIR(SERIES, WHY))
    return REFUSE(V, "cannot use the series folder '" + SHOWTEXT(SERIES) + "': " + WHY);
  CHECKCONSOLE(V);
  if (!O.OUTPUT.empty()) {
    // A missing output folder is made, with its parents, as mkdir -p does.
    std::error_code E;
    bool IN = ::chdir(O.OUTPUT.c_str()) == 0;
    if (!IN && errno == ENOENT && std::filesystem::create_directories(O.OUTPUT, E)) IN = ::chdir(O.OUTPUT.c_str()) == 0;
    if (!IN)
      return REFUSE(V, "cannot use the output folder '" + SHOWTEXT(O.OUTPUT) + "': " +
                           (E ? E.message() : std::string(std::strerror(errno))));
    if (::access(".", W_OK | X_OK) != 0)
      return REFUSE(V, "cannot write in the output folder '" + SHOWTEXT(O.OUTPUT) + "': " + std::strerror(errno));
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
  TOPTIONS O;
  if (const int S = PARSEOPTIONS(ARGC, ARGV, V, O); S >= 0) return S;
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
  const TCUTS& CUTS = O.CUTS;
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
  // One run of the program at a time in the folder: before anything is
  // written. A killed run's new count table goes.
  TOUTLOCK LOCK;
  LOCK.FIRST(OUTPUTNAMES(V));
  R.LOCK = &LOCK;
  (void)::unlink(TABLENEW(V).c_str());
  // Before the first per-pair file: how the tables are cut.
  WRITESETTINGS(V, CUTS, PAIRTERMS_VERSION, AT_FDCWD);

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
