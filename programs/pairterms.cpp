// pairterms: the whole job in one command. pairterms run makes the tables
// of the programs asked for in one pass over the series (pairrun);
// pairterms verify makes them again and compares them with a run's folder
// (pairverify); pairterms check is seriescheck. The options of the
// programs' cuts apply to the programs that have them.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pairrun.hpp"
#include "progopts.hpp"
#include "unforstr.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace {

const char* const RUNUSAGE =
    "Usage: pairterms run [--series DIR] [--output DIR] [--only NAME,...] [--quiet]\n"
    "                     [--threshold A] [--period-cut Y] [--max-order N] [--order-bound N] [--estimates]\n";

std::string HELPTEXT() {
  std::string NAMES;
  for (const TVARIANT& V : PROGRAMTABLE) NAMES += std::string(NAMES.empty() ? "" : ", ") + V.KEY + " (" + V.PROGRAM + ")";
  return std::string(RUNUSAGE) +
         "       pairterms verify DIR [--series DIR]\n"
         "       pairterms check [seriescheck's options]\n"
         "       pairterms help [run | verify | check] | --help | --version\n"
         "\n"
         "pairterms run reads the series files puf01.txt to puf27.txt once and makes the\n"
         "tables of the programs asked for (all by default) in one pass: DIR/PROGRAM/\n"
         "holds what that program writes on its own with the same settings, console.txt\n"
         "its console, and DIR/MANIFEST the version, the settings, the SHA-256 of the\n"
         "series files and the size of every output. The tables are made in a new\n"
         "folder beside DIR, which takes DIR's place as a whole when every program has\n"
         "finished, in one exchange; then the old folder is removed, so that room for\n"
         "two copies is needed for a moment. A run that fails leaves DIR as it was and\n"
         "its outputs in DIR.failed, with the report. DIR must be new, empty or the\n"
         "folder of an earlier run; one run into a DIR at a time, another is refused.\n"
         "\n"
         "Options of run:\n"
         "  --series DIR     read the series files in DIR (default: the current folder)\n"
         "  --output DIR     the run's folder (default: tables), made with its parents\n"
         "  --only NAME,...  the programs: " + NAMES + "\n"
         "  --quiet          no line of progress on a terminal\n"
         "  --threshold A, --period-cut Y, --max-order N, --order-bound N, --estimates\n"
         "                   the cuts, for the programs that have them (see their --help)\n"
         "\n"
         "pairterms verify checks the series against the SHA-256 of DIR/MANIFEST, makes\n"
         "the tables again in memory and compares them with the files of DIR, naming\n"
         "each that is missing, extra or changed.\n"
         "\n"
         "Exit status: 0 done, or all agree; 1 verify found a difference; 2 a bad\n"
         "command line or a folder that cannot be used, before anything is read or\n"
         "written; 217 a program's fatal error (the report on standard error and in\n"
         "its console.txt); 130 or 143 stopped by SIGINT or SIGTERM.\n";
}

int WRITTEN(bool OK, const char* WHAT) {
  return OK ? 0 : PAIRREFUSE(std::string("cannot write the ") + WHAT + " to standard output" +
                             (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
}

// The options of run into O: -1 to go on, else the status to end with.
int RUNOPTIONS(int ARGC, char** ARGV, TRUNOPTIONS& O) {
  std::vector<bool> ASKED(NUMPROGRAMS, true);
  std::vector<TCUTS> CUTS;
  for (const TVARIANT& V : PROGRAMTABLE) CUTS.push_back(DEFAULTCUTS(V));
  std::vector<std::string> SEEN;
  std::vector<std::pair<TCUTOPTION, std::string>> GIVEN;
  for (int X = 2; X < ARGC; ++X) {
    std::string A = ARGV[X], VALUE;
    const size_t EQ = A.find('=');
    const bool INLINE = A.rfind("--", 0) == 0 && EQ != std::string::npos;
    if (INLINE) {
      VALUE = A.substr(EQ + 1);
      A.resize(EQ);
    }
    const TCUTOPTIONNAME* CUT = nullptr;
    for (const TCUTOPTIONNAME& C : CUTOPTIONS)
      if (A == C.NAME) CUT = &C;
    const bool TAKES = A == "--series" || A == "--output" || A == "--only" || (CUT != nullptr && CUT->VALUE);
    if (A == "--help" || A == "-h") return WRITTEN(PUTLINES(stdout, HELPTEXT()), "help text");
    if (!TAKES && A != "--quiet" && CUT == nullptr)
      return PAIRREFUSE("run: unexpected argument '" + SHOWTEXT(ARGV[X]) + "'");
    if (std::find(SEEN.begin(), SEEN.end(), A) != SEEN.end())
      return PAIRREFUSE("run: '" + SHOWTEXT(A) + "' repeats an option given before");
    SEEN.push_back(A);
    if (TAKES && !INLINE) {
      if (X + 1 >= ARGC) return PAIRREFUSE("run: " + A + " needs a value");
      VALUE = ARGV[++X];
    }
    if (A == "--quiet") {
      O.QUIET = true;
    } else if (A == "--series" || A == "--output") {
      if (VALUE.empty()) return PAIRREFUSE("run: " + A + " names no folder");
      (A == "--series" ? O.SERIES : O.OUTPUT) = VALUE;
    } else if (A == "--only") {
      ASKED.assign(NUMPROGRAMS, false);
      std::string LIST = VALUE + ",";
      for (size_t P = 0, E; (E = LIST.find(',', P)) != std::string::npos; P = E + 1) {
        const std::string KEY = LIST.substr(P, E - P);
        int FOUND = -1;
        for (int Y = 0; Y < NUMPROGRAMS; ++Y)
          if (KEY == PROGRAMTABLE[Y].KEY || KEY == PROGRAMTABLE[Y].PROGRAM) FOUND = Y;
        if (FOUND < 0) return PAIRREFUSE("run: --only '" + SHOWTEXT(VALUE) + "': '" + SHOWTEXT(KEY) + "' names no program");
        if (ASKED[static_cast<size_t>(FOUND)])
          return PAIRREFUSE("run: --only '" + SHOWTEXT(VALUE) + "' names " + PROGRAMTABLE[FOUND].KEY + " twice");
        ASKED[static_cast<size_t>(FOUND)] = true;
      }
    } else {
      GIVEN.emplace_back(CUT->WHICH, VALUE);
    }
  }
  // Each cut to the programs asked for that have it; one that none has is
  // a bad command line.
  for (const auto& [WHICH, VALUE] : GIVEN) {
    bool TAKEN = false;
    for (int Y = 0; Y < NUMPROGRAMS; ++Y) {
      if (!ASKED[static_cast<size_t>(Y)] || !HASCUT(PROGRAMTABLE[Y], WHICH)) continue;
      std::string WHY;
      const char* NAME = "";
      for (const TCUTOPTIONNAME& C : CUTOPTIONS)
        if (C.WHICH == WHICH) NAME = C.NAME;
      if (!SETCUT(CUTS[static_cast<size_t>(Y)], WHICH, VALUE, WHY))
        return PAIRREFUSE(std::string("run: ") + NAME + " " + QUOTED(VALUE) + " " + WHY);
      TAKEN = true;
    }
    if (!TAKEN) {
      for (const TCUTOPTIONNAME& C : CUTOPTIONS)
        if (C.WHICH == WHICH) return PAIRREFUSE(std::string("run: ") + C.NAME + " is a cut of no program asked for");
    }
  }
  for (int Y = 0; Y < NUMPROGRAMS; ++Y)
    if (ASKED[static_cast<size_t>(Y)]) {
      O.PLAN.PROGRAMS.push_back(&PROGRAMTABLE[Y]);
      O.PLAN.CUTS.push_back(CUTS[static_cast<size_t>(Y)]);
    }
  return -1;
}

// pairterms check: seriescheck, beside this program, with the options.
int CHECK(int ARGC, char** ARGV) {
  std::error_code E;
  const std::filesystem::path SELF = std::filesystem::read_symlink("/proc/self/exe", E);
  const std::string CHECKER = (E ? std::filesystem::path(ARGV[0]) : SELF).parent_path() / "seriescheck";
  std::vector<char*> ARGS{const_cast<char*>(CHECKER.c_str())};
  for (int X = 2; X < ARGC; ++X) ARGS.push_back(ARGV[X]);
  ARGS.push_back(nullptr);
  ::execv(CHECKER.c_str(), ARGS.data());
  return PAIRREFUSE("check: cannot start " + SHOWTEXT(CHECKER) + ": " + std::strerror(errno));
}

}  // namespace

int main(int ARGC, char** ARGV) {
  std::signal(SIGPIPE, SIG_IGN);
  const std::string C = ARGC > 1 ? ARGV[1] : "";
  errno = 0;
  if (C == "--version") return WRITTEN(PUTLINES(stdout, std::string("pairterms ") + PAIRTERMS_VERSION + "\n"), "version");
  if (C == "--help" || C == "-h" || (C == "help" && ARGC <= 3))
    return WRITTEN(PUTLINES(stdout, HELPTEXT()), "help text");
  if (C == "run") {
    TRUNOPTIONS O;
    if (const int S = RUNOPTIONS(ARGC, ARGV, O); S >= 0) return S;
    return PAIRRUN(O);
  }
  if (C == "verify") {
    std::string DIR, SERIES;
    for (int X = 2; X < ARGC; ++X) {
      const std::string A = ARGV[X];
      if (A == "--series" && X + 1 < ARGC && SERIES.empty())
        SERIES = ARGV[++X];
      else if (A.rfind("--", 0) != 0 && DIR.empty())
        DIR = A;
      else
        return PAIRREFUSE("verify: unexpected argument '" + SHOWTEXT(A) + "'");
    }
    if (DIR.empty()) return PAIRREFUSE("verify needs the folder of a run: pairterms verify DIR");
    return PAIRVERIFY(DIR, SERIES);
  }
  if (C == "check") return CHECK(ARGC, ARGV);
  return PAIRREFUSE(C.empty() ? "a subcommand is needed: run, verify, check or help"
                              : "unknown subcommand '" + SHOWTEXT(C) + "'; see pairterms --help");
}
