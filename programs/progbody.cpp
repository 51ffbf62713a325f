#include "progbody.hpp"

#include <fcntl.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfpuenv.hpp"
#include "unfupipe.hpp"
#include "ungetmem.hpp"
#include "unrowini.hpp"
#include "unvarpow.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

// Writes TEXT to STREAM with every line ended by CR LF, as all the
// programs' output; true when it was written.
bool PUTLINES(std::FILE* STREAM, const std::string& TEXT) {
  std::string OUT;
  for (char C : TEXT) {
    if (C == '\n') OUT += '\r';
    OUT += C;
  }
  return std::fwrite(OUT.data(), 1, OUT.size(), STREAM) == OUT.size() && std::fflush(STREAM) == 0;
}

std::string FORMAT(const char* FMT, auto... ARGS) {
  char B[2048];
  int N = std::snprintf(B, sizeof B, FMT, ARGS...);
  return std::string(B, static_cast<size_t>(N < 0 ? 0 : N < static_cast<int>(sizeof B) ? N : sizeof B - 1));
}

bool USAGE(const TVARIANT& V) {
  return PUTLINES(stdout, FORMAT(
      "Usage: %s [--help | --version]\n"
      "\n"
      "%s %s.\n"
      "\n"
      "Works in the current directory. Reads the series files puf01.txt to\n"
      "puf27.txt (never writes them) and creates, replacing any earlier\n"
      "ones, one file per ordered pair of planets, %sIIJJ.txt (I the\n"
      "perturbed, J the perturbing planet, 1 Mercury .. 8 Neptune: 56 files),\n"
      "and the count table %s. Progress goes to standard output.\n"
      "\n"
      "Exit status: 0 when the job is complete; 217 after a fatal error\n"
      "(a missing or damaged series file, a value out of range, a file that\n"
      "cannot be written), reported in one line on standard output; 2 for a\n"
      "bad command line.\n",
      V.PROGRAM, V.PROGRAM, V.PURPOSE, V.PREFIX, V.TABLENAME));
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
  if (ARGC > 1) {
    std::string A = ARGV[1];
    if (ARGC == 2 && (A == "--help" || A == "-h")) return USAGE(V) ? 0 : 2;
    if (ARGC == 2 && A == "--version")
      return PUTLINES(stdout, FORMAT("%s %s\n", V.PROGRAM, PAIRTERMS_VERSION)) ? 0 : 2;
    PUTLINES(stderr, FORMAT(
                 "%s: unexpected argument '%s'\n"
                 "Usage: %s [--help | --version]; it takes no other arguments "
                 "and works in the current directory.\n",
                 V.PROGRAM, ARGC == 2 ? ARGV[1] : ARGV[ARGC - 1], V.PROGRAM));
    return 2;
  }
  HOLDSTANDARDSTREAMS();
  std::set_new_handler(MEMORYERRORNOALLOC);
  SETPROGRAMNAME(V.PROGRAM);
  CONSOLE.ATTACHCONSOLE();
  // Before any arithmetic and before the threads that inherit the mode.
  CHECKFPU();

  GETROWMEM();
  RECNULLO();
  FORFACTOM();
  POWOMEL();
  for (int I = 1; I <= MAXIPA; ++I) DRIVER(static_cast<uint8_t>(I));
  FREEROWMEM();
  CONSOLE.CLOSE();
  return 0;
}
