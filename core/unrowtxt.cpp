// unrowtxt: the grammar of a series file and of a term, and REATXTONE
// (see unrowtxt.hpp).
#include "unrowtxt.hpp"

#include <cmath>
#include <string>

#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unreanum.hpp"

namespace {

const char* const MECNAMES[] = {"MEC[1]", "MEC[2]", "MEC[3]",
                                "MEC[4]", "MEC[5]", "MEC[6]"};
const char* const MARNAMES[] = {"MAR[1]", "MAR[2]", "MAR[3]",
                                "MAR[4]", "MAR[5]", "MAR[6]"};

}  // namespace

int32_t TSERIESREADER::READCOUNT() {
  int32_t M;
  if (!TRYCOUNT(M)) throw KEPT;
  return M;
}

bool TSERIESREADER::TRYCOUNT(int32_t& M) {
  SKIPLINE();
  // The count must stand on line 2.
  int C;
  while ((C = PEEK()) != END && C <= 32 && !ATLINEEND(C)) ADVANCE();
  if (C == END || C <= 32)
    return DEFECT(PASTENDTEXT, 2, LINE == 2 ? COLUMNOF(POS) : 1, "no term count on line 2",
                  NAME + " has no term count on line 2");
  std::string_view F;
  if (!FIELD("the term count", F)) return false;
  long long V;
  if (!READINT(F, V)) return BADNUMBER("the term count", F);
  if (V < 0 || V > MAXARR) return OUTSIDE("term count", F, V, 0, MAXARR);
  COUNT = static_cast<int32_t>(V);
  SKIPLINE();
  SKIPLINE();
  M = COUNT;
  return true;
}

void TSERIESREADER::READTERM(TROWVAR& R, TAMPTEXT* T) {
  if (!TRYTERM(R, T)) throw KEPT;
}

// The term field by field: the amplitude, the twelve integers, each tested
// against -128..127, up to two characters skipped, the code letter, the
// rest of the line skipped.
bool TSERIESREADER::PLAINTERM(TROWVAR& R, TAMPTEXT* T) {
  std::string_view F;
  if (!FIELD("the amplitude", F)) return false;
  TERMSTART = LINE;
  int DLEN = 0;
  if (!READREAL(F, R.AMP, T != nullptr ? T->C : nullptr, &DLEN)) return BADNUMBER("the amplitude", F);
  if (T != nullptr) {
    if (DLEN == 0 || !EXTISNORMAL(R.AMP)) DLEN = AMPDIGITS(R.AMP, T->C);
    T->LEN = static_cast<uint8_t>(DLEN);
  }
  for (int I = 0; I < 12; ++I) {
    const char* WHAT = I < 6 ? MECNAMES[I] : MARNAMES[I - 6];
    long long V;
    if (!INTFIELD(WHAT, -128, 127, V)) return false;
    if (I < 6)
      R.MEC[I + 1] = static_cast<int8_t>(V);
    else
      R.MAR[I - 5] = static_cast<int8_t>(V);
  }
  // Two characters are skipped, fewer if the line ends first.
  for (int I = 0; I < 2; ++I) {
    int C = PEEK();
    if (C == END) return PASTEND("the code letter");
    if (ATLINEEND(C)) break;
    ADVANCE();
  }
  int C = PEEK();
  if (C == END) return PASTEND("the code letter");
  if (C != 'S' && C != 'C') return BADCODE(C);
  R.FCS = static_cast<char>(C);
  ADVANCE();
  SKIPLINE();
  ++DONE;
  return true;
}

bool TSERIESREADER::BADCODE(int C) {
  return PLACEDDEFECT(TERMCODETEXT, LINE, COLUMNOF(POS),
                      ATLINEEND(C) ? std::string("the line ends where the code letter S or C is expected")
                                   : SHOWCHAR(C) + " stands where the code letter S or C is expected");
}

namespace {

// REATXTONE's rows: row X of the file is row X + 1 of the table.
struct TTABLESINK {
  int32_t& M;
  TROWPTR& R;
  bool COUNTED(int32_t COUNT) {
    M = COUNT;
    return true;
  }
  TROWVAR& ROW(int32_t X) { return (*R)[X + 1]; }
  void TAKE(int32_t, const TROWVAR&, long) {}
};

}  // namespace

void REATXTONE(uint8_t N, const std::string& S, int32_t& M, TROWPTR& R) {
  TTABLESINK SINK{M, R};
  READSERIESFILE(S + BYTETOFIXSTR(N, 2) + ".txt", nullptr, SINK);
}
