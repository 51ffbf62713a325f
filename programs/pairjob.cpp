// pairjob: the programs of one pairterms job at once (see pairjob.hpp).
#include "pairjob.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfpuenv.hpp"
#include "ungetmem.hpp"
#include "unrowini.hpp"
#include "unsercac.hpp"
#include "unvarpow.hpp"

TJOB::TJOB(const TJOBPLAN& S, const std::vector<int>& FOLDERS, std::vector<TTEXTOUT::TRESULTS>* INTO)
    : PLAN(S), COMPARES(INTO != nullptr) {
  if (INTO != nullptr) INTO->assign(S.PROGRAMS.size(), {});
  SETFATALTHROWS(true);
  int BOUND = DEFAULTCLASSSLOTS - 1;
  for (const TCUTS& C : S.CUTS) BOUND = std::max(BOUND, C.ORDERBOUND);
  SETCLASSSLOTS(BOUND + 1);
  TABLES = SHARETABLES(S.PROGRAMS, S.CUTS, BOUND + 1);
  for (size_t X = 0; X < S.PROGRAMS.size(); ++X) {
    RUNS.push_back(std::make_unique<TPROGRUN>(*S.PROGRAMS[X], S.CUTS[X], TABLES.GATEOF[X], TABLES.PERIODOF[X]));
    TPROGRUN& R = *RUNS.back();
    R.DIRFD = FOLDERS[X];
    R.COMPAREINTO = INTO != nullptr ? &(*INTO)[X] : nullptr;
  }
}

namespace {

// The settings file of run R compared with what the program would leave:
// its text, or no file at all with the defaults.
void COMPARESETTINGS(TPROGRUN& R, const char* VERSION, TTEXTOUT::TRESULTS* INTO) {
  const std::string NAME = SETTINGSNAME(R.V);
  const bool DEFAULT = ISDEFAULT(R.V, R.CUTS);
  std::string TEXT;
  const int F = ::openat(R.DIRFD, NAME.c_str(), O_RDONLY | O_CLOEXEC);
  if (F >= 0) {
    char B[4096];
    for (ssize_t N; (N = ::read(F, B, sizeof B)) > 0;) TEXT.append(B, static_cast<size_t>(N));
    ::close(F);
  }
  if (F < 0 && DEFAULT) return;
  const bool SAME = F >= 0 && !DEFAULT && TEXT == SETTINGSTEXT(R.V, R.CUTS, VERSION);
  INTO->emplace_back(NAME, F < 0 ? TTEXTOUT::MISSING : SAME ? TTEXTOUT::SAME : TTEXTOUT::CHANGED);
}

}  // namespace

void TJOB::MAKE(TRUNALL& A, const char* VERSION) {
  A.RUNS.clear();
  for (auto& R : RUNS) A.RUNS.push_back(R.get());
  A.REPORTS.assign(RUNS.size(), {});
  // Each program's start, in its order: its console, the settings file.
  std::vector<bool> STARTED(RUNS.size(), false);
  for (size_t X = 0; X < RUNS.size(); ++X) {
    TPROGRUN& R = *RUNS[X];
    SETPROGRAMNAME(R.V.PROGRAM);
    SETFATALSCOPE(&R);
    try {
      const int F = COMPARES ? ::openat(R.DIRFD, "console.txt", O_RDONLY | O_CLOEXEC)
                             : ::openat(R.DIRFD, "console.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (F < 0 && (!COMPARES || errno != ENOENT))
        IOERRNO(errno, OPENERRORTEXT(errno, !COMPARES), "cannot create console.txt");
      R.CONSOLE.ATTACHCONSOLE(&R.F, F >= 0 ? F : ::open("/dev/null", O_RDONLY | O_CLOEXEC), "console.txt");
      if (COMPARES) R.CONSOLE.COMPAREINSTEAD(R.COMPAREINTO, F < 0);
      if (COMPARES)
        COMPARESETTINGS(R, VERSION, R.COMPAREINTO);
      else
        WRITESETTINGS(R.V, R.CUTS, VERSION, R.DIRFD);
      STARTED[X] = true;
    } catch (const TFATAL& E) {
      A.REPORTS[X] = E.REPORT;
      ABANDON(R, E.REPORT);
    }
  }
  // What the program body does once for all: the floating-point mode, the
  // row tables, the empty row, the factors and powers.
  CHECKFPU();
  GETROWMEM();
  RECNULLO();
  FORFACTOM();
  POWOMEL();
  std::vector<std::string> EARLY = A.REPORTS;
  std::vector<TPROGRUN*> LIVE;
  for (size_t X = 0; X < RUNS.size(); ++X)
    if (STARTED[X]) LIVE.push_back(RUNS[X].get());
  TRUNALL B;
  B.RUNS = LIVE;
  B.PROGRESS = A.PROGRESS;
  B.STOP = A.STOP;
  RUNALL(B);
  A.STOPPED = B.STOPPED;
  for (size_t X = 0, Y = 0; X < RUNS.size(); ++X)
    if (STARTED[X]) A.REPORTS[X] = B.REPORTS[Y++];
  FREEROWMEM();
}

std::vector<std::pair<std::string, std::string>> SETTINGSOF(const TJOBPLAN& S) {
  std::vector<std::pair<std::string, std::string>> R;
  for (const TCUTOPTIONNAME& O : CUTOPTIONS)
    for (size_t X = 0; X < S.PROGRAMS.size(); ++X) {
      if (!HASCUT(*S.PROGRAMS[X], O.WHICH)) continue;
      const TCUTS& C = S.CUTS[X];
      std::string V;
      switch (O.WHICH) {
        case TCUTOPTION::THRESHOLD: V = C.THRESHOLDTEXT; break;
        case TCUTOPTION::PERIODCUT: V = C.PERIODCUTTEXT; break;
        case TCUTOPTION::MAXORDER:
        case TCUTOPTION::ORDERBOUND: V = std::to_string(C.ORDERBOUND); break;
        case TCUTOPTION::ESTIMATES: V = C.ESTIMATES ? "yes" : "no"; break;
      }
      R.emplace_back(O.NAME + 2, V);
      break;
    }
  return R;
}
