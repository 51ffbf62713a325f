// A program's whole job run in-process, stage by stage or in one pass,
// with the cuts given: for the tests that hold the one-pass pipeline
// against the stages.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "testbits.hpp"
#include "unahead.hpp"
#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfupipe.hpp"
#include "unfuplan.hpp"
#include "unfuplas.hpp"
#include "unfuplat.hpp"
#include "ungetmem.hpp"
#include "unrowini.hpp"
#include "unsercac.hpp"
#include "unvarpow.hpp"

namespace fs = std::filesystem;


using TFILES = std::map<std::string, std::string>;

inline std::string SLURP(const fs::path& P) {
  std::ifstream IN(P, std::ios::binary);
  std::ostringstream S;
  S << IN.rdbuf();
  return S.str();
}

// A program and its per-planet driver.
struct TPROG {
  const char* NAME;
  void (*DRIVER)(TPROGRUN&, uint8_t);
};
inline const TPROG SHORT{"termshort", FUSHORT}, SECUL{"termsecul", FUNSECU}, ALL{"termall", FUNBODY};

// Runs one program's whole job in DIR in-process, with the cuts CUTS or
// the program's defaults; returns every file it wrote and, in "FATAL", the
// report of a failure.
inline TFILES RUNJOB(const fs::path& DIR, const TPROG& P, TPIPELINEMODE MODE, const TCUTS* CUTS = nullptr) {
  const fs::path BACK = fs::current_path();
  fs::current_path(DIR);
  const TVARIANT& V = PROGRAMNAMED(P.NAME);
  const TCUTS C = CUTS != nullptr ? *CUTS : DEFAULTCUTS(V);
  SETCLASSSLOTS(std::max(DEFAULTCLASSSLOTS, C.ORDERBOUND + 1));
  RESETSERIES();
  TGATETABLE GATES(CLASSSLOTS());
  TPERIODTABLE PERIODS(C.THRESHOLDFREQUENCY(), V.SELECT == TSELECT::SHORTPERIOD ? V.PERIODWIDTH : 0,
                       V.SELECT == TSELECT::SECULAR ? V.PERIODWIDTH : 0);
  TPROGRUN R(V, C, &GATES, &PERIODS);
  R.MODE = MODE;
  SETFATALTHROWS(true);
  CREATEOUTPUT(R.CONSOLE, "console.out");
  TFILES OUT;
  try {
    for (int I = 1; I <= MAXIPA; ++I) P.DRIVER(R, static_cast<uint8_t>(I));
  } catch (const TFATAL& E) {
    OUT["FATAL"] = E.REPORT;
    R.F.FLUSHBEFOREEXIT();
    R.F.CLOSE();
  }
  R.CONSOLE.CLOSE();
  SETFATALTHROWS(false);
  SETFATALSCOPE(nullptr);
  for (auto& E : fs::directory_iterator(".")) {
    std::string N = E.path().filename().string();
    if (N.rfind("puf", 0) != 0) {
      OUT[N] = SLURP(E.path());
      fs::remove(E.path());
    }
  }
  fs::current_path(BACK);
  return OUT;
}

class TPIPELINETEST : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    GETROWMEM();
    RECNULLO();
    FORFACTOM();
    POWOMEL();
  }
  static void TearDownTestSuite() { FREEROWMEM(); }

  void SetUp() override {
    DIR = fs::temp_directory_path() / ("pairterms-pipeline-" + std::to_string(::getpid()));
    fs::remove_all(DIR);
    fs::create_directories(DIR);
  }
  void TearDown() override { fs::remove_all(DIR); }

  void GENERATE(const std::string& SCALE, int SEED) {
    std::string CMD = std::string(PAIRTERMS_EMULATOR " ") + PAIRTERMS_TOOLS_DIR + "/seriesgen --scale " + SCALE +
                      " --seed " + std::to_string(SEED) + " " + DIR.string() + " > /dev/null";
    ASSERT_EQ(std::system(CMD.c_str()), 0);
  }

  // Replaces the text of line LINE (1-based) of series file N.
  void DAMAGE(int N, int LINE, const std::string& TEXT) {
    char NAME[16];
    std::snprintf(NAME, sizeof NAME, "puf%02d.txt", N);
    std::string S = SLURP(DIR / NAME), R;
    std::istringstream IN(S);
    std::string L;
    for (int K = 1; std::getline(IN, L); ++K) R += (K == LINE ? TEXT + "\r" : L) + "\n";
    std::ofstream(DIR / NAME, std::ios::binary) << R;
  }

  void EXPECTSAME(const TPROG& P, bool FAILS, const TCUTS* CUTS = nullptr) {
    TFILES A = RUNJOB(DIR, P, TPIPELINEMODE::STAGED, CUTS);
    TFILES B = RUNJOB(DIR, P, TPIPELINEMODE::FUSED, CUTS);
    EXPECT_EQ(A.count("FATAL"), FAILS ? 1u : 0u) << (A.count("FATAL") ? A["FATAL"] : "");
    ASSERT_EQ(A.size(), B.size());
    for (auto& [NAME, BYTES] : A) {
      ASSERT_TRUE(B.count(NAME)) << NAME;
      EXPECT_TRUE(BYTES == B[NAME]) << NAME << " differs between the staged and the fused pipeline";
    }
  }

  fs::path DIR;
};
