#include "unrowtxt.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <emmintrin.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "unallvar.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unreanum.hpp"

namespace {

constexpr size_t BUFSIZE = size_t{1} << 18;
// Room after the buffer that the one-line reading may look at (never
// past the end of the line in hand, which lies in the buffer, by more
// than 15 characters).
constexpr size_t BUFPAD = 64;
// A number field longer than this is refused rather than held.
constexpr size_t MAXFIELD = size_t{1} << 20;

const char* const MECNAMES[] = {"MEC[1]", "MEC[2]", "MEC[3]",
                                "MEC[4]", "MEC[5]", "MEC[6]"};
const char* const MARNAMES[] = {"MAR[1]", "MAR[2]", "MAR[3]",
                                "MAR[4]", "MAR[5]", "MAR[6]"};

// Four cells at Q[0..15] at once, each a 32-bit lane with its first
// character lowest: true, with their values in V[0..3], when all four are
// cells (see READTWELVECELLS).
inline bool FOURCELLS(const unsigned char* Q, int8_t* V) {
  const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Q));
  const __m128i D = _mm_sub_epi8(X, _mm_set1_epi8('0'));
  const __m128i DIGIT = _mm_cmpeq_epi8(_mm_min_epu8(D, _mm_set1_epi8(9)), D);
  const __m128i BLANK = _mm_cmpeq_epi8(X, _mm_set1_epi8(' '));
  const __m128i MINUS = _mm_cmpeq_epi8(X, _mm_set1_epi8('-'));
  // Character 2 of a cell: a digit after a digit, blank or minus, or a
  // blank or minus after a blank (the mask of character 1 moved up one).
  const __m128i SECOND = _mm_or_si128(
      _mm_and_si128(DIGIT, _mm_slli_epi32(_mm_or_si128(DIGIT, _mm_or_si128(BLANK, MINUS)), 8)),
      _mm_and_si128(_mm_or_si128(BLANK, MINUS), _mm_slli_epi32(BLANK, 8)));
  // Characters 0, 2 and 3 of every cell: a blank, as above, a digit.
  const int SHAPE = (_mm_movemask_epi8(BLANK) & 0x1111) | (_mm_movemask_epi8(SECOND) & 0x4444) |
                    (_mm_movemask_epi8(DIGIT) & 0x8888);
  // 100 * first + 10 * second + third digit, blanks and minus counting 0.
  const __m128i DIGITS = _mm_and_si128(D, DIGIT);
  const __m128i WEIGHTS = _mm_setr_epi16(0, 100, 10, 1, 0, 100, 10, 1);
  const __m128i LO = _mm_madd_epi16(_mm_unpacklo_epi8(DIGITS, _mm_setzero_si128()), WEIGHTS);
  const __m128i HI = _mm_madd_epi16(_mm_unpackhi_epi8(DIGITS, _mm_setzero_si128()), WEIGHTS);
  __m128i N = _mm_madd_epi16(_mm_packs_epi32(LO, HI), _mm_set1_epi16(1));
  // Three digits make at most 127.
  const int BIG = _mm_movemask_epi8(_mm_cmpgt_epi32(N, _mm_set1_epi32(127)));
  // A minus before the last digit makes it negative.
  const __m128i NEG =
      _mm_xor_si128(_mm_cmpeq_epi32(_mm_and_si128(MINUS, _mm_set1_epi32(0x00FFFF00)), _mm_setzero_si128()),
                    _mm_set1_epi32(-1));
  N = _mm_sub_epi32(_mm_xor_si128(N, NEG), NEG);
  const __m128i W = _mm_packs_epi32(N, N);
  const int32_t BYTES = _mm_cvtsi128_si32(_mm_packs_epi16(W, W));
  std::memcpy(V, &BYTES, 4);
  return SHAPE == 0xDDDD && BIG == 0;
}

// The first character at or after P with code 32 or below. The line in
// hand ends at or after P within the buffer, so this reads at most 15
// characters past its end.
inline size_t TOKENEND(const unsigned char* B, size_t P) {
  const __m128i LIMIT = _mm_set1_epi8(32);
  for (;;) {
    const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + P));
    // X <= 32 as unsigned bytes: the lesser of X and 32 is X.
    const int M = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(X, LIMIT), X));
    if (M != 0) return P + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(M)));
    P += 16;
  }
}

std::string SHOWFIELD(std::string_view F) {
  std::string S;
  for (char C : F.substr(0, 40)) {
    unsigned char U = static_cast<unsigned char>(C);
    if (U >= 33 && U < 127) {
      S += C;
    } else {
      char B[8];
      std::snprintf(B, sizeof B, "\\x%02X", U);
      S += B;
    }
  }
  if (F.size() > 40) S += "...";
  return "\"" + S + "\"";
}

}  // namespace

TSERIESREADER::TSERIESREADER(std::string N) : NAME(std::move(N)) {
  // Non-blocking, so that a FIFO without a writer cannot hang the open;
  // anything but a regular file is then refused.
  int F = ::open(NAME.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (F < 0) {
    int E = errno;
    IOERROR(OPENERRORTEXT(E, false),
            "cannot open " + NAME + ": " + std::strerror(E));
  }
  struct stat ST;
  if (::fstat(F, &ST) != 0) {
    int E = errno;
    ::close(F);
    IOERROR(READERRTEXT, "cannot read " + NAME + ": " + std::strerror(E));
  }
  if (!S_ISREG(ST.st_mode)) {
    ::close(F);
    IOERROR(ACCESSTEXT, NAME + (S_ISDIR(ST.st_mode)
                                    ? " is a directory, not a series file"
                                    : " is not a regular file"));
  }
  FD = F;
  BUF = std::make_unique<unsigned char[]>(BUFSIZE + BUFPAD);
}

TSERIESREADER::~TSERIESREADER() {
  if (FD >= 0) ::close(FD);
}

void TSERIESREADER::CLOSE() {
  if (FD >= 0) ::close(FD);
  FD = -1;
}

// Keeps the unread bytes, moved to the front, and reads more behind them;
// true when new bytes came.
bool TSERIESREADER::FILL() {
  if (ATEND) return false;
  if (POS > 0) {
    std::memmove(BUF.get(), BUF.get() + POS, LEN - POS);
    LEN -= POS;
    POS = 0;
  }
  for (;;) {
    ssize_t R = ::read(FD, BUF.get() + LEN, BUFSIZE - LEN);
    if (R < 0 && errno == EINTR) continue;
    if (R < 0) {
      int E = errno;
      IOERROR(READERRTEXT, "cannot read " + NAME + ": " + std::strerror(E));
    }
    LEN += static_cast<size_t>(R);
    if (R == 0) ATEND = true;
    return R > 0;
  }
}

std::string TSERIESREADER::PLACE() const {
  return NAME + " line " + std::to_string(LINE);
}

void TSERIESREADER::SKIPLINE() {
  for (;;) {
    if (POS == LEN && !FILL()) return;
    // Find the line feed in what the buffer holds, and a character 26
    // before it.
    const unsigned char* B = BUF.get() + POS;
    const size_t N = LEN - POS;
    const void* P = std::memchr(B, '\n', N);
    const size_t UPTO = P != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(P) - B) : N;
    const void* Z = std::memchr(B, 26, UPTO);
    if (Z != nullptr) {
      POS += static_cast<size_t>(static_cast<const unsigned char*>(Z) - B);
      ATEND = true;
      LEN = POS;  // nothing after character 26 is read
      return;
    }
    if (P != nullptr) {
      POS += UPTO + 1;
      ++LINE;
      return;
    }
    POS = LEN;
  }
}

void TSERIESREADER::PASTEND(const char* WHAT) {
  IOERROR(PASTENDTEXT, NAME + " ends at line " + std::to_string(LINE) +
                           " where " + WHAT + " of term " +
                           std::to_string(DONE + 1) + " is expected: it states " +
                           std::to_string(COUNT) + " terms and holds " +
                           std::to_string(DONE));
}

void TSERIESREADER::BADNUMBER(const char* WHAT, std::string_view F) {
  IOERROR(NUMFORMTEXT, PLACE() + ": " + WHAT + " " + SHOWFIELD(F) +
                           " is not a number");
}

// The next number field: skips separators (line ends included), then takes
// the characters up to the next separator.
void TSERIESREADER::SKIPSEPARATORS(const char* WHAT) {
  // Separators, line ends counted; character 26 or the end of the data
  // means the file ends here.
  for (;;) {
    while (POS < LEN) {
      const unsigned char C = BUF[POS];
      if (C > 32) return;
      if (C == 26) PASTEND(WHAT);
      if (C == '\n') ++LINE;
      ++POS;
    }
    if (!FILL()) PASTEND(WHAT);
  }
}

// An integer field: short fields of digits that lie whole in the buffer
// are read in place; everything else goes through FIELD and READINT.
long long TSERIESREADER::INTFIELD(const char* WHAT) {
  SKIPSEPARATORS(WHAT);
  size_t P = POS;
  const bool NEG = BUF[P] == '-';
  if (BUF[P] == '-' || BUF[P] == '+') ++P;
  const size_t D = P;
  long long V = 0;
  while (P < LEN && P - D < 18 && BUF[P] >= '0' && BUF[P] <= '9') V = V * 10 + (BUF[P++] - '0');
  if (P > D && P < LEN && BUF[P] <= 32) {
    POS = P;
    return NEG ? -V : V;
  }
  const std::string_view F = FIELD(WHAT);
  if (!READINT(F, V)) BADNUMBER(WHAT, F);
  return V;
}

std::string_view TSERIESREADER::FIELD(const char* WHAT) {
  SKIPSEPARATORS(WHAT);
  int C;
  // Fast case: the whole field lies in the buffer.
  size_t B = POS;
  while (POS < LEN && BUF[POS] > 32) ++POS;
  if (POS < LEN || ATEND) {
    if (POS - B > MAXFIELD) BADNUMBER(WHAT, "(too long)");
    return {reinterpret_cast<const char*>(BUF.get() + B), POS - B};
  }
  TOK.assign(reinterpret_cast<const char*>(BUF.get() + B), POS - B);
  while ((C = PEEK()) != END && C > 32) {
    if (TOK.size() >= MAXFIELD)
      BADNUMBER(WHAT, TOK.substr(0, 40) + "... (over 1048576 characters)");
    TOK += static_cast<char>(C);
    ADVANCE();
  }
  return TOK;
}

int32_t TSERIESREADER::READCOUNT() {
  SKIPLINE();
  // The count must stand on line 2.
  int C;
  while ((C = PEEK()) != END && C <= 32 && !ATLINEEND(C)) ADVANCE();
  if (C == END || C <= 32)
    IOERROR(PASTENDTEXT, NAME + " has no term count on line 2");
  std::string_view F = FIELD("the term count");
  long long V;
  if (!READINT(F, V)) BADNUMBER("the term count", F);
  if (V < 0 || V > MAXARR)
    RANGEERROR((NAME + " line 2: term count").c_str(), V, 0, MAXARR);
  COUNT = static_cast<int32_t>(V);
  SKIPLINE();
  SKIPLINE();
  return COUNT;
}

bool READTWELVECELLS(const unsigned char* Q, int8_t* V) {
  // & rather than &&: no branch on the outcome.
  return FOURCELLS(Q, V) & FOURCELLS(Q + 16, V + 4) & FOURCELLS(Q + 32, V + 8);
}

// A term that stands on one line of the buffer, in the usual shape:
// blanks or tabs between the fields, integers of at most three digits
// within -128..127, the code letter after the two characters that follow
// MAR[6]. Read here in one pass, with the same results as the general
// path; anything else (and every failure) is left to the general path,
// which starts again from the same place.
bool TSERIESREADER::FASTTERM(TROWVAR& R, TAMPTEXT* T) {
  if (LEN - POS < 2048 && !ATEND) FILL();
  const unsigned char* const B = BUF.get();
  const size_t SPAN = std::min<size_t>(LEN - POS, 2048);
  const void* NLP = std::memchr(B + POS, '\n', SPAN);
  if (NLP == nullptr) return false;
  const size_t NL = static_cast<size_t>(static_cast<const unsigned char*>(NLP) - B);
  auto BLANK = [](unsigned char C) { return C == ' ' || C == '\t'; };
  size_t P = POS;
  while (BLANK(B[P])) ++P;
  const size_t A = P;
  P = TOKENEND(B, P);
  if (P == A || !BLANK(B[P])) return false;
  int DLEN = 0;
  TEXTENDED AMP;
  if (!READREAL({reinterpret_cast<const char*>(B + A), P - A}, AMP, T != nullptr ? T->C : nullptr, &DLEN))
    return false;
  int8_t V[12];
  // An integer not in a cell: blanks or tabs, an optional sign, one to
  // three digits.
  auto FREEINT = [&](size_t& Q, int8_t& X) {
    while (BLANK(B[Q])) ++Q;
    const bool NEG = B[Q] == '-';
    if (B[Q] == '-' || B[Q] == '+') ++Q;
    const size_t D = Q;
    int Y = 0;
    while (Q - D < 3 && B[Q] >= '0' && B[Q] <= '9') Y = Y * 10 + (B[Q++] - '0');
    Y = NEG ? -Y : Y;
    X = static_cast<int8_t>(Y);
    return Q > D && B[Q] <= 32 && Y >= -128 && Y <= 127;
  };
  // Most files write each integer in four columns, a blank first (see
  // READTWELVECELLS).
  const bool CELLS = P + 48 < NL && READTWELVECELLS(B + P, V);
  if (CELLS && B[P + 48] <= 32) {  // the last cell ends its field too
    P += 48;
  } else {
    for (int I = 0; I < 12; ++I)
      if (!FREEINT(P, V[I])) return false;
  }
  // The two characters after MAR[6]: neither a line end nor the end mark.
  auto ENDLIKE = [](unsigned char X) { return X == 26 || X == '\n' || X == '\r'; };
  if (ENDLIKE(B[P]) || ENDLIKE(B[P + 1])) return false;
  P += 2;
  const unsigned char C = B[P];
  if (C != 'S' && C != 'C') return false;
  for (size_t Q = P + 1; Q < NL; ++Q)
    if (B[Q] == 26) return false;
  // Accepted: the state moves past the term's line.
  R.AMP = AMP;
  if (T != nullptr) {
    if (DLEN == 0 || !std::isnormal(AMP)) DLEN = AMPDIGITS(AMP, T->C);
    T->LEN = static_cast<uint8_t>(DLEN);
  }
  for (int I = 0; I < 6; ++I) R.MEC[I + 1] = V[I];
  for (int I = 0; I < 6; ++I) R.MAR[I + 1] = V[I + 6];
  R.FCS = static_cast<char>(C);
  TERMSTART = LINE;
  POS = NL + 1;
  ++LINE;
  ++DONE;
  return true;
}

void TSERIESREADER::READTERM(TROWVAR& R, TAMPTEXT* T) {
  if (FASTTERM(R, T)) return;
  std::string_view F = FIELD("the amplitude");
  TERMSTART = LINE;
  int DLEN = 0;
  if (!READREAL(F, R.AMP, T != nullptr ? T->C : nullptr, &DLEN))
    BADNUMBER("the amplitude", F);
  if (T != nullptr) {
    if (DLEN == 0 || !std::isnormal(R.AMP)) DLEN = AMPDIGITS(R.AMP, T->C);
    T->LEN = static_cast<uint8_t>(DLEN);
  }
  for (int I = 0; I < 12; ++I) {
    const char* WHAT = I < 6 ? MECNAMES[I] : MARNAMES[I - 6];
    const long long V = INTFIELD(WHAT);
    if (V < -128 || V > 127)
      RANGEERROR((PLACE() + ": " + WHAT).c_str(), V, -128, 127);
    if (I < 6)
      R.MEC[I + 1] = static_cast<int8_t>(V);
    else
      R.MAR[I - 5] = static_cast<int8_t>(V);
  }
  // Two characters are skipped, fewer if the line ends first.
  for (int I = 0; I < 2; ++I) {
    int C = PEEK();
    if (C == END) PASTEND("the code letter");
    if (ATLINEEND(C)) break;
    ADVANCE();
  }
  int C = PEEK();
  if (C == END) PASTEND("the code letter");
  if (C != 'S' && C != 'C')
    IOERROR(TERMCODETEXT,
            PLACE() + ": " +
                (ATLINEEND(C) ? std::string("the line ends where the code "
                                            "letter S or C is expected")
                              : "character code " + std::to_string(C) +
                                    " stands where the code letter S or C "
                                    "is expected"));
  R.FCS = static_cast<char>(C);
  ADVANCE();
  SKIPLINE();
  ++DONE;
}

void REATXTONE(uint8_t N, const std::string& S, int32_t& M, TROWPTR& R) {
  TSERIESREADER IN(S + BYTETOFIXSTR(N, 2) + ".txt");
  M = IN.READCOUNT();
  for (int32_t K = 1; K <= M; ++K) {
    TROWVAR& ROW = (*R)[K];
    ROW = RECNUL;
    IN.READTERM(ROW, nullptr);
    ROW.TXT = K - 1;
  }
  IN.CLOSE();
}
