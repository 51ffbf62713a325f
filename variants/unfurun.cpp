// unfurun: the state of one program's run (see unfurun.hpp).
#include "unfurun.hpp"

#include "unahead.hpp"
#include "unsercac.hpp"

TPROGRUN::TPROGRUN(const TVARIANT& VARIANT, const TCUTS& C, TGATETABLE* G, TPERIODTABLE* P)
    : V(VARIANT), CUTS(C), GATES(G), PERIODS(P) {}

std::string TPROGRUN::WHERE() { return PLACETEXT(HERE); }

std::string PLACETEXT(const TPIPEPLACE& HERE) {
  if (HERE.I == 0) return {};
  std::string W = "pair " + std::to_string(HERE.I) + "-" + std::to_string(HERE.J);
  if (HERE.N != 0) {
    W += ", " + SERIESNAME(HERE.N);
    if (HERE.TERM >= 0) {
      const TSERIESFILE& S = SERIESFILE(HERE.N);
      W += ", term " + std::to_string(HERE.TERM + 1);
      if (HERE.TERM < static_cast<long>(S.ROWS.LINES.size()))
        W += " at line " + std::to_string(S.ROWS.LINES[static_cast<size_t>(HERE.TERM)]);
    }
  }
  return W;
}

bool TPROGRUN::FAILEDBEFORE(std::string& KIND, std::string& WHY, std::string& WH) noexcept {
  return F.FAILEDBEFORE(KIND, WHY, WH);
}

void TPROGRUN::FLUSHBEFOREEXIT() noexcept {
  F.FLUSHBEFOREEXIT();
  CONSOLE.FLUSHBEFOREEXIT();
  if (LOCK != nullptr) LOCK->ABANDON();
}

void MAKEOUTPUT(TPROGRUN& R, TTEXTOUT& T, const std::string& NAME) {
  if (R.COMPAREINTO != nullptr)
    COMPAREOUTPUT(T, NAME, R.DIRFD, R.COMPAREINTO);
  else
    CREATEOUTPUT(T, NAME, R.LOCK, R.DIRFD);
}
