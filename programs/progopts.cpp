// progopts: the command line (see progopts.hpp).
#include "progopts.hpp"

#include <cerrno>
#include <cstring>

#include "unforstr.hpp"

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

// S in quotes, as a report shows a text from outside.
std::string QUOTED(std::string_view S) {
  std::string R(1, '\'');
  R += SHOWTEXT(S);
  R += '\'';
  return R;
}

int REFUSE(const TVARIANT& V, const std::string& WHY) {
  PUTLINES(stderr, std::string(V.PROGRAM) + ": " + WHY + "\n");
  return 2;
}

namespace {

// The options of V, as the usage line names them.
std::string USAGELINE(const TVARIANT& V) {
  std::string U = std::string("Usage: ") + V.PROGRAM + " [--series DIR] [--output DIR] [--quiet]";
  if (HASCUT(V, TCUTOPTION::THRESHOLD)) U += " [--threshold A]";
  if (HASCUT(V, TCUTOPTION::PERIODCUT)) U += " [--period-cut Y]";
  if (HASCUT(V, TCUTOPTION::MAXORDER)) U += " [--max-order N]";
  if (HASCUT(V, TCUTOPTION::ORDERBOUND)) U += " [--order-bound N]";
  if (HASCUT(V, TCUTOPTION::ESTIMATES)) U += " [--estimates]";
  return U;
}

// The lines of --help's options that tell V's cuts and their defaults.
std::string CUTHELP(const TVARIANT& V) {
  const TCUTS D = DEFAULTCUTS(V);
  std::string H;
  if (HASCUT(V, TCUTOPTION::THRESHOLD))
    H += "  --threshold A    keep a term of series files 2..27 only when its amplitude\n"
         "                   estimate exceeds A in absolute value (default " + D.THRESHOLDTEXT + ")\n";
  if (HASCUT(V, TCUTOPTION::PERIODCUT))
    H += "  --period-cut Y   the period in Julian years that parts short-period from\n"
         "                   secular terms (default " + D.PERIODCUTTEXT + ")\n";
  if (HASCUT(V, TCUTOPTION::MAXORDER))
    H += "  --max-order N    keep the terms of order N or less; the estimate halves a\n"
         "                   term of order 1..N once per order (default " + std::to_string(D.ORDERBOUND) +
         ", -128..127)\n";
  if (HASCUT(V, TCUTOPTION::ORDERBOUND))
    H += "  --order-bound N  the estimate halves a term of order 1..N once per order\n"
         "                   (default " + std::to_string(D.ORDERBOUND) + ", -128..127)\n";
  if (HASCUT(V, TCUTOPTION::ESTIMATES))
    H += "  --estimates      end each row line with |A|, the amplitude estimate\n";
  return H;
}

// The paragraph after the options that tells where V's settings go, when
// it has cuts.
std::string SETTINGSNOTE(const TVARIANT& V) {
  if (CUTHELP(V).empty()) return "";
  return "A setting other than the default is written to " + std::string(V.PREFIX) +
         ".settings in the output\nfolder; a run with the defaults removes that file.\n\n";
}

bool USAGE(const TVARIANT& V) {
  return PUTLINES(stdout, USAGELINE(V) + "\n       " + V.PROGRAM + " --help | --version\n\n" + V.PROGRAM + " " +
                              V.PURPOSE + ".\n\n"
                              "Reads the series files puf01.txt to puf27.txt (never writes them) and\n"
                              "creates, replacing any earlier ones, one file per ordered pair of\n"
                              "planets, " + V.PREFIX + "IIJJ.txt (I the perturbed, J the perturbing planet,\n"
                              "1 Mercury .. 8 Neptune: 56 files), and the count table " + V.TABLENAME + ".\n"
                              "Progress goes to standard output.\n"
                              "\n"
                              "Options (in any order):\n"
                              "  --series DIR     read the series files in DIR (default: the current folder)\n"
                              "  --output DIR     write every output file in DIR, made with its parents when\n"
                              "                   missing (default: the current folder)\n"
                              "  --quiet          leave out the progress lines; a fatal report is still written\n" +
                              CUTHELP(V) +
                              "  --help           show this text and exit\n"
                              "  --version        show the version and exit\n"
                              "\n" +
                              SETTINGSNOTE(V) +
                              "Exit status: 0 when the job is complete; 217 after a fatal error\n"
                              "(a missing or damaged series file, a value out of range, a file that\n"
                              "cannot be written), reported in one line on standard output and also\n"
                              "on standard error when that is not the same file or terminal; 2 for a\n"
                              "bad command line, a folder that cannot be used or another run of\n"
                              "the same program writing in the output folder (one run at a time\n"
                              "per folder: the second is refused, it does not wait), before\n"
                              "anything is written.\n");
}

// Why V does not take cut O.
const char* NOCUT(const TVARIANT& V, TCUTOPTION O) {
  if (O == TCUTOPTION::PERIODCUT) return "selects no terms by their period";
  if (!V.HASAMPTEST) return "applies no amplitude test";
  if (O == TCUTOPTION::MAXORDER) return "has no order filter";
  return "takes its order bound from --max-order";
}


int UNEXPECTED(const TVARIANT& V, const std::string& WHAT) {
  PUTLINES(stderr, std::string(V.PROGRAM) + ": " + WHAT + "\n" + USAGELINE(V) + " | --help | --version\n");
  return 2;
}

}  // namespace

int PARSEOPTIONS(int ARGC, char** ARGV, const TVARIANT& V, TOPTIONS& O) {
  if (ARGC == 2) {
    const std::string A = ARGV[1];
    const bool HELP = A == "--help" || A == "-h";
    if (HELP || A == "--version") {
      errno = 0;
      if (HELP ? USAGE(V) : PUTLINES(stdout, std::string(V.PROGRAM) + " " + PAIRTERMS_VERSION + "\n")) return 0;
      return REFUSE(V, std::string("cannot write the ") + (HELP ? "help text" : "version") + " to standard output" +
                           (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
    }
  }
  O.CUTS = DEFAULTCUTS(V);
  // The options: the two folders, the progress lines, then the cuts.
  constexpr int NFOLDERS = 2, QUIETOPT = 2, FIRSTCUT = 3;
  constexpr int NOPTIONS = FIRSTCUT + static_cast<int>(std::size(CUTOPTIONS));
  bool SEEN[NOPTIONS] = {};
  for (int X = 1; X < ARGC; ++X) {
    const std::string A = ARGV[X];
    const std::string SHOWN = QUOTED(A);
    int WHICH = -1;
    std::string NAME, VALUE;
    bool TAKESVALUE = false;
    for (int Y = 0; Y < NOPTIONS && WHICH < 0; ++Y) {
      NAME = Y == 0 ? "--series" : Y == 1 ? "--output" : Y == QUIETOPT ? "--quiet" : CUTOPTIONS[Y - FIRSTCUT].NAME;
      TAKESVALUE = Y < NFOLDERS || (Y >= FIRSTCUT && CUTOPTIONS[Y - FIRSTCUT].VALUE);
      if (A == NAME) {
        WHICH = Y;
        if (TAKESVALUE) {
          if (X + 1 >= ARGC) return REFUSE(V, NAME + (Y < NFOLDERS ? " needs a folder" : " needs a value"));
          VALUE = ARGV[++X];
        }
      } else if (TAKESVALUE && A.rfind(NAME + "=", 0) == 0) {
        WHICH = Y;
        VALUE = A.substr(NAME.size() + 1);
      }
    }
    if (WHICH < 0) return UNEXPECTED(V, "unexpected argument " + SHOWN);
    if (WHICH >= FIRSTCUT && !HASCUT(V, CUTOPTIONS[WHICH - FIRSTCUT].WHICH))
      return UNEXPECTED(V, NAME + " is not an option of " + V.PROGRAM + ", which " +
                               NOCUT(V, CUTOPTIONS[WHICH - FIRSTCUT].WHICH));
    if (SEEN[WHICH]) return REFUSE(V, SHOWN + " repeats an option given before");
    SEEN[WHICH] = true;
    if (WHICH < NFOLDERS) {
      if (VALUE.empty()) return REFUSE(V, SHOWN + " names no folder");
      (WHICH == 0 ? O.SERIES : O.OUTPUT) = VALUE;
    } else if (WHICH == QUIETOPT) {
      O.QUIET = true;
    } else {
      std::string WHY;
      if (!SETCUT(O.CUTS, CUTOPTIONS[WHICH - FIRSTCUT].WHICH, VALUE, WHY))
        return REFUSE(V, NAME + " " + QUOTED(VALUE) + " " + WHY);
    }
  }
  return -1;
}
