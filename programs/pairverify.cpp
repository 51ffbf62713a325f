// pairverify: pairterms verify DIR (see pairrun.hpp). The outputs are a
// function of the series, the settings and the version, which the MANIFEST
// records: the series are checked against their SHA-256, then the outputs
// are made again in memory and compared with the files byte for byte.
// Every file that is missing, extra or changed is named; status 1 when any
// is, 0 when all agree, 2 for a folder that is not a run's.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "pairmani.hpp"
#include "pairrun.hpp"
#include "progopts.hpp"
#include "unforstr.hpp"
#include "unserdir.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {

std::string READALL(const fs::path& P) {
  std::string T;
  FILE* F = std::fopen(P.c_str(), "rb");
  if (F == nullptr) return T;
  char B[65536];
  for (size_t N; (N = std::fread(B, 1, sizeof B, F)) > 0;) T.append(B, N);
  std::fclose(F);
  return T;
}

// The job of the manifest: its programs, each with the settings it has.
bool PLANOF(const TMANIFEST& M, TJOBPLAN& S, std::string& WHY) {
  for (const TVARIANT& V : PROGRAMTABLE) {
    if (std::find(M.PROGRAMS.begin(), M.PROGRAMS.end(), V.PROGRAM) == M.PROGRAMS.end()) continue;
    TCUTS C = DEFAULTCUTS(V);
    for (const auto& [KEY, VALUE] : M.SETTINGS)
      for (const TCUTOPTIONNAME& O : CUTOPTIONS)
        if (KEY == O.NAME + 2 && HASCUT(V, O.WHICH) && (O.WHICH != TCUTOPTION::ESTIMATES || VALUE == "yes") &&
            !SETCUT(C, O.WHICH, VALUE, WHY)) {
          WHY = "its setting " + KEY + " '" + VALUE + "' " + WHY;
          return false;
        }
    S.PROGRAMS.push_back(&V);
    S.CUTS.push_back(C);
  }
  if (S.PROGRAMS.size() != M.PROGRAMS.size()) {
    WHY = "it names a program this version does not have";
    return false;
  }
  return true;
}

}  // namespace

int PAIRVERIFY(const std::string& GIVEN, const std::string& SERIES) {
  const fs::path DIR = GIVEN;
  const std::string SHOWN = QUOTED(GIVEN);
  const std::string TEXT = READALL(DIR / "MANIFEST");
  TMANIFEST M;
  std::string WHY;
  if (TEXT.empty()) return PAIRREFUSE(SHOWN + " holds no MANIFEST: it is not the folder of a pairterms run");
  if (!READMANIFEST(TEXT, M, WHY)) return PAIRREFUSE("the MANIFEST of " + SHOWN + " cannot be read: " + WHY);
  TJOBPLAN S;
  if (!PLANOF(M, S, WHY)) return PAIRREFUSE("the MANIFEST of " + SHOWN + " cannot be used: " + WHY);
  const std::string FROM = SERIES.empty() ? M.SERIES : SERIES;
  if (!SETSERIESDIR(FROM, WHY)) return PAIRREFUSE("cannot use the series folder '" + SHOWTEXT(FROM) + "': " + WHY);
  if (M.VERSION != PAIRTERMS_VERSION)
    PUTLINES(stdout, "pairterms: the run was made by version " + SHOWTEXT(M.VERSION) + ", this is " +
                         PAIRTERMS_VERSION + "\n");

  // The series first: outputs of other series would differ throughout.
  int CHANGEDSERIES = 0;
  for (int N = 1; N <= NUMSERIES; ++N) {
    std::string HEX, WHYNOT;
    if (!SHA256OFFILE(SERIESDIRFD(), SERIESNAME(N), HEX, WHYNOT) || HEX != M.HASHES[static_cast<size_t>(N) - 1]) {
      PUTLINES(stdout, "changed series " + SERIESNAME(N) + (WHYNOT.empty() ? "" : " (" + WHYNOT + ")") + "\n");
      ++CHANGEDSERIES;
    }
  }
  if (CHANGEDSERIES > 0) {
    PUTLINES(stdout, "pairterms: the series folder " + SHOWTEXT(SERIESDIRTEXT()) + " changed since the run (" +
                         std::to_string(CHANGEDSERIES) + " of 27 files): its outputs cannot be made again\n");
    return 1;
  }

  // The outputs made again, each compared with its file; a program whose
  // folder is gone is not made again.
  TJOBPLAN HERE;
  std::vector<int> FOLDERS;
  int BAD = 0;
  for (size_t X = 0; X < S.PROGRAMS.size(); ++X) {
    const int F = ::open((DIR / S.PROGRAMS[X]->PROGRAM).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (F < 0) {
      PUTLINES(stdout, std::string("missing ") + S.PROGRAMS[X]->PROGRAM + "/\n");
      ++BAD;
      continue;
    }
    HERE.PROGRAMS.push_back(S.PROGRAMS[X]);
    HERE.CUTS.push_back(S.CUTS[X]);
    FOLDERS.push_back(F);
  }
  std::vector<TTEXTOUT::TRESULTS> FOUND;
  TRUNALL A;
  {
    TJOB JOB(HERE, FOLDERS, &FOUND);
    JOB.MAKE(A, M.VERSION.c_str());
  }
  size_t AGREE = 0;
  const char* const WORD[] = {"same", "changed", "missing"};
  for (size_t X = 0; X < HERE.PROGRAMS.size(); ++X) {
    const std::string P = HERE.PROGRAMS[X]->PROGRAM;
    if (!A.REPORTS[X].empty()) {
      PUTLINES(stdout, "failed " + P + ": " + SHOWTEXT(A.REPORTS[X]) + "\n");
      ++BAD;
    }
    std::set<std::string> MADE;
    for (const auto& [NAME, WHAT] : FOUND[X]) {
      MADE.insert(NAME);
      if (WHAT == TTEXTOUT::SAME) {
        ++AGREE;
        continue;
      }
      PUTLINES(stdout, std::string(WORD[WHAT]) + " " + P + "/" + SHOWTEXT(NAME) + "\n");
      ++BAD;
    }
    for (const fs::directory_entry& E : fs::directory_iterator(DIR / P))
      if (!MADE.count(E.path().filename().string())) {
        PUTLINES(stdout, "extra " + P + "/" + SHOWTEXT(E.path().filename().string()) + "\n");
        ++BAD;
      }
  }
  for (const fs::directory_entry& E : fs::directory_iterator(DIR)) {
    const std::string N = E.path().filename().string();
    if (N != "MANIFEST" && std::find(M.PROGRAMS.begin(), M.PROGRAMS.end(), N) == M.PROGRAMS.end()) {
      PUTLINES(stdout, "extra " + SHOWTEXT(N) + "\n");
      ++BAD;
    }
  }
  PUTLINES(stdout, "pairterms: " + std::to_string(AGREE) + " files agree with the series and the settings, " +
                       std::to_string(BAD) + (BAD == 1 ? " does not" : " do not") + "\n");
  return BAD > 0 ? 1 : 0;
}
