// termcuts: how many terms each cut keeps. Reads the 27 series files as
// the programs do and writes, for every ordered pair and the rules of each
// program, the number of terms the program would write at each threshold
// of a list and the sum of the magnitudes of the amplitude estimates of the
// terms the cut drops (layout in docs/FORMATS.md).
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "progopts.hpp"
#include "unahead.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unfpuenv.hpp"
#include "uncuttab.hpp"
#include "unsercac.hpp"
#include "unserdir.hpp"
#include "unvarpow.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

const char* const USAGELINE =
    "Usage: termcuts [--series DIR] [--thresholds A,B,...] [--period-cut Y] [--max-order N] [--order-bound N]";

// The thresholds when none are given: every decade from 1e-6 to 1e-24.
std::string DEFAULTTHRESHOLDS() {
  std::string L;
  for (int E = 6; E <= 24; ++E) L += (L.empty() ? "1e-" : ",1e-") + std::to_string(E);
  return L;
}

bool USAGE() {
  return PUTLINES(stdout, std::string(USAGELINE) +
                              "\n       termcuts --help | --version\n"
                              "\n"
                              "Reads the series files puf01.txt to puf27.txt as termshort, termsecul and\n"
                              "termall read them and writes to standard output, for every ordered pair of\n"
                              "planets and the rules of each program, the number of terms the program would\n"
                              "write at each amplitude threshold, and the sum of the magnitudes |A| of the\n"
                              "amplitude estimates of the terms the threshold drops. termsecul, which\n"
                              "applies no amplitude test, has one line per pair.\n"
                              "\n"
                              "Options (in any order):\n"
                              "  --series DIR         read the series files in DIR (default: the current folder)\n"
                              "  --thresholds A,B,... the thresholds (default: every decade from 1e-6 to 1e-24)\n"
                              "  --period-cut Y       as in termshort and termsecul (default 200)\n"
                              "  --max-order N        as in termshort (default 8)\n"
                              "  --order-bound N      as in termall (default 10)\n"
                              "  --help               show this text and exit\n"
                              "  --version            show the version and exit\n"
                              "\n"
                              "Exit status: 0 when the table is written; 217 after a fatal error, as the\n"
                              "programs report it (a missing or damaged series file, a value that stops\n"
                              "one of them, output that cannot be written); 2 for a bad command line or\n"
                              "a folder that cannot be used, before anything is read.\n");
}

int REFUSE(const std::string& WHY) {
  PUTLINES(stderr, "termcuts: " + WHY + "\n");
  return 2;
}

std::string QUOTED(const std::string& S) { return "'" + SHOWTEXT(S) + "'"; }

// Fills T from the command line: -1 to go on, else the status to end with.
int PARSE(int ARGC, char** ARGV, TCUTTABLE& T, std::string& SERIES) {
  const bool HELP = ARGC == 2 && (std::strcmp(ARGV[1], "--help") == 0 || std::strcmp(ARGV[1], "-h") == 0);
  if (HELP || (ARGC == 2 && std::strcmp(ARGV[1], "--version") == 0)) {
    errno = 0;
    if (HELP ? USAGE() : PUTLINES(stdout, std::string("termcuts ") + PAIRTERMS_VERSION + "\n")) return 0;
    return REFUSE(std::string("cannot write the ") + (HELP ? "help text" : "version") + " to standard output" +
                  (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
  }
  for (const TVARIANT& V : PROGRAMTABLE) T.CUTS.push_back(DEFAULTCUTS(V));
  std::string LIST = DEFAULTTHRESHOLDS();
  const char* const NAMES[] = {"--series", "--thresholds", "--period-cut", "--max-order", "--order-bound"};
  bool SEEN[5] = {};
  for (int X = 1; X < ARGC; ++X) {
    const std::string A = ARGV[X];
    int WHICH = -1;
    std::string VALUE;
    for (int Y = 0; Y < 5 && WHICH < 0; ++Y) {
      const std::string NAME = NAMES[Y];
      if (A == NAME) {
        if (X + 1 >= ARGC) return REFUSE(NAME + " needs a value");
        WHICH = Y;
        VALUE = ARGV[++X];
      } else if (A.rfind(NAME + "=", 0) == 0) {
        WHICH = Y;
        VALUE = A.substr(NAME.size() + 1);
      }
    }
    if (WHICH < 0) {
      PUTLINES(stderr, "termcuts: unexpected argument " + QUOTED(A) + "\n" + USAGELINE + " | --help | --version\n");
      return 2;
    }
    if (SEEN[WHICH]) return REFUSE(QUOTED(A) + " repeats an option given before");
    SEEN[WHICH] = true;
    const std::string NAME = NAMES[WHICH];
    std::string WHY;
    if (WHICH == 0) {
      if (VALUE.empty()) return REFUSE(QUOTED(A) + " names no folder");
      SERIES = VALUE;
    } else if (WHICH == 1) {
      LIST = VALUE;
    } else {
      const TCUTOPTION O = WHICH == 2 ? TCUTOPTION::PERIODCUT : WHICH == 3 ? TCUTOPTION::MAXORDER : TCUTOPTION::ORDERBOUND;
      for (int P = 0; P < NUMPROGRAMS; ++P)
        if (HASCUT(PROGRAMTABLE[P], O) && !SETCUT(T.CUTS[static_cast<size_t>(P)], O, VALUE, WHY))
          return REFUSE(NAME + " " + QUOTED(VALUE) + " " + WHY);
    }
  }
  // The thresholds, each read as --threshold reads its value.
  for (size_t P = 0;;) {
    const size_t E = LIST.find(',', P);
    const std::string ITEM = LIST.substr(P, E == std::string::npos ? std::string::npos : E - P);
    TCUTS C;
    std::string WHY;
    if (!SETCUT(C, TCUTOPTION::THRESHOLD, ITEM, WHY))
      return REFUSE("--thresholds " + QUOTED(LIST) + ": " + QUOTED(ITEM) + " " + WHY);
    T.THRESHOLDS.push_back(C.THRESHOLD);
    T.TEXTS.push_back(ITEM);
    if (E == std::string::npos) break;
    P = E + 1;
  }
  return -1;
}

// One line of the table.
std::string LINE(const char* PROGRAM, int I, int J, const std::string& THRESHOLD, int64_t KEPT,
                 const std::string& DROPPED) {
  char B[128];
  std::snprintf(B, sizeof B, "%-9s%4d%4d%17s%11lld%26s\n", PROGRAM, I, J, THRESHOLD.c_str(),
                static_cast<long long>(KEPT), DROPPED.c_str());
  return B;
}

}  // namespace

int main(int ARGC, char** ARGV) {
  std::signal(SIGPIPE, SIG_IGN);
  TCUTTABLE T;
  std::string SERIES;
  if (const int S = PARSE(ARGC, ARGV, T, SERIES); S >= 0) return S;
  std::string WHY;
  const std::string DIR = SERIES.empty() ? "." : SERIES;
  if (!SETSERIESDIR(DIR, WHY)) return REFUSE("cannot use the series folder " + QUOTED(DIR) + ": " + WHY);
  if (const std::string S = SERIESFILEOFFD(STDOUT_FILENO); !S.empty()) {
    PUTLINES(stderr, std::string("termcuts: fatal error 217: ") + ACCESSTEXT + ": standard output is the series file " +
                         S + ", which is only read\n");
    return FATALSTATUS;
  }
  std::set_new_handler(NOSTORAGE);
  SETPROGRAMNAME("termcuts");
  CHECKFPU();
  FORFACTOM();
  POWOMEL();
  int BOUND = DEFAULTCLASSSLOTS - 1;
  for (const TCUTS& C : T.CUTS) BOUND = std::max(BOUND, C.ORDERBOUND);
  SETCLASSSLOTS(BOUND + 1);
  COUNTCUTS(T);

  const TCUTS& FIRST = T.CUTS.front();
  std::string OUT = "# termcuts " + std::string(PAIRTERMS_VERSION) +
                    ": terms kept and the sum of the |estimates| dropped, by pair and threshold\n"
                    "# series " + SHOWTEXT(SERIESDIRTEXT()) + "; period-cut " + FIRST.PERIODCUTTEXT;
  for (int P = 0; P < NUMPROGRAMS; ++P) {
    const TVARIANT& V = PROGRAMTABLE[P];
    const TCUTS& C = T.CUTS[static_cast<size_t>(P)];
    if (HASCUT(V, TCUTOPTION::MAXORDER)) OUT += ", max-order " + std::to_string(C.ORDERBOUND);
    if (HASCUT(V, TCUTOPTION::ORDERBOUND)) OUT += ", order-bound " + std::to_string(C.ORDERBOUND);
  }
  OUT += "\n# program   I   J        threshold       kept                   dropped\n";
  for (int P = 0; P < NUMPROGRAMS; ++P) {
    const TVARIANT& V = PROGRAMTABLE[P];
    for (int X = 0; X < 56; ++X) {
      const int I = X / 7 + 1, J = X % 7 + 1 < I ? X % 7 + 1 : X % 7 + 2;
      if (!V.HASAMPTEST) {
        OUT += LINE(V.PROGRAM, I, J, "-", T.CELL(P, X, 0).KEPT, "-");
        continue;
      }
      for (size_t K = 0; K < T.THRESHOLDS.size(); ++K)
        OUT += LINE(V.PROGRAM, I, J, T.TEXTS[K], T.CELL(P, X, K).KEPT, FLOATWITHPOWER(T.CELL(P, X, K).DROPPED, 26));
    }
  }
  if (!PUTLINES(stdout, OUT)) IOERRNO(errno != 0 ? errno : EIO, WRITEERRTEXT, "cannot write the table");
  return 0;
}
