// unrowbuf: the input of the series reader: the file and its buffer, the
// number fields between separators, and the reports of a damaged file
// (see unrowtxt.hpp).
#include "unrowtxt.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "unahead.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unreanum.hpp"
#include "unserdir.hpp"

namespace {

// A number field longer than this is refused rather than held.
constexpr size_t MAXFIELD = size_t{1} << 20;

// WHAT, then the field F as a report quotes it: its first 40 characters
// (a field holds none below 33), in quotes; then TAIL; into S.
void FIELDTEXT(std::string& S, const char* WHAT, std::string_view F, const char* TAIL) {
  S.assign(WHAT);
  S += " \"";
  S += SHOWTEXT(F.substr(0, 40));
  S += F.size() > 40 ? "...\"" : "\"";
  S += TAIL;
}

// An integer field too long to hold, as written: its first 24 characters
// and its number of digits.
std::string LONGINTTEXT(std::string_view F) {
  size_t DIGITS = 0;
  for (char C : F) DIGITS += C >= '0' && C <= '9';
  return std::string(F.substr(0, 24)) + (F.size() > 24 ? "..." : "") + " (" + std::to_string(DIGITS) + " digits)";
}

}  // namespace

TSERIESREADER::TSERIESREADER(std::string N, bool K) : NAME(std::move(N)), KEEP(K) {
  // Non-blocking, so that a FIFO without a writer cannot hang the open;
  // anything but a regular file is then refused.
  int F = OPENFILE(SERIESDIRFD(), NAME.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (F < 0) {
    int E = errno;
    const char* KIND = OPENERRORTEXT(E, false);
    std::string WHAT = IOWHY(E, KIND, "cannot open " + NAME);
    if (E == ENOENT) WHAT += MISSINGHINT();
    FAILURE(KIND, 0, 0, WHAT);
  }
  struct stat ST;
  if (::fstat(F, &ST) != 0) {
    int E = errno;
    ::close(F);
    FAILURE(IOKINDTEXT(E, READERRTEXT), 0, 0, IOWHY(E, READERRTEXT, "cannot read " + NAME));
  }
  if (!S_ISREG(ST.st_mode)) {
    ::close(F);
    FAILURE(ACCESSTEXT, 0, 0,
            NAME + (S_ISDIR(ST.st_mode) ? " is a directory, not a series file" : " is not a regular file"));
  }
  FD = F;
  if (!TRYTWICE([this] { return BUFBLOCK.OBTAIN(BUFSIZE + BUFPAD, false); })) {
    ::close(F);
    MEMORYERROR("the input buffer", BUFSIZE + BUFPAD);
  }
  BUF = reinterpret_cast<unsigned char*>(BUFBLOCK.DATA());
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
    std::memmove(BUF, BUF + POS, LEN - POS);
    LEN -= POS;
    LINESTART -= static_cast<long>(POS);
    POS = 0;
  }
  for (;;) {
    ssize_t R = ::read(FD, BUF + LEN, BUFSIZE - LEN);
    if (R < 0 && errno == EINTR) continue;
    if (R < 0) {
      // Nothing more is read: the reading stops where it stands.
      const int E = errno;
      ATEND = true;
      FAILURE(IOKINDTEXT(E, READERRTEXT), LINE, COLUMNOF(POS), IOWHY(E, READERRTEXT, "cannot read " + NAME));
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
    const unsigned char* B = BUF + POS;
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
      NEWLINE(POS);
      return;
    }
    POS = LEN;
  }
}

bool TSERIESREADER::PASTEND(const char* WHAT) {
  const std::string TAIL = std::string(" where ") + WHAT + " of term " + std::to_string(DONE + 1) +
                           " is expected: it states " + std::to_string(COUNT) + " terms and holds " +
                           std::to_string(DONE);
  return DEFECT(PASTENDTEXT, LINE, COLUMNOF(POS), "the file ends" + TAIL,
                NAME + " ends at line " + std::to_string(LINE) + TAIL);
}

// A field's defects are reported at the field. Their texts are made in
// KEPT.WHAT, whose storage serves one defect after the other.
bool TSERIESREADER::BADNUMBER(const char* WHAT, std::string_view F) {
  FIELDTEXT(KEPT.WHAT, WHAT, F, " is not a number");
  return PLACEDDEFECT(NUMFORMTEXT, FIELDLINE, FIELDCOL, KEPT.WHAT);
}

bool TSERIESREADER::OUTSIDE(const char* WHAT, std::string_view F, long long V, long long LO, long long HI) {
  // A value that READINT capped says nothing: the field as written does.
  const std::string VALUE = V > -READINTCAP && V < READINTCAP ? std::to_string(V) : LONGINTTEXT(F);
  return PLACEDDEFECT(RANGETEXT, FIELDLINE, FIELDCOL,
                      std::string(WHAT) + " " + VALUE + " is outside " + std::to_string(LO) + ".." +
                          std::to_string(HI));
}

bool TSERIESREADER::TOOLONG(const char* WHAT, std::string_view START) {
  FIELDTEXT(KEPT.WHAT, WHAT, START, " is too long: a number field takes at most ");
  KEPT.WHAT += std::to_string(MAXFIELD) + " characters";
  return PLACEDDEFECT(NUMFORMTEXT, FIELDLINE, FIELDCOL, KEPT.WHAT);
}

bool TSERIESREADER::PLACEDDEFECT(const char* KIND, long L, long COL, const std::string& WHAT) {
  return DEFECT(KIND, L, COL, WHAT, KEEP ? std::string() : PLACE() + ": " + WHAT);
}

bool TSERIESREADER::DEFECT(const char* KIND, long L, long COL, const std::string& WHAT, const std::string& WHY) {
  if (!KEEP) IOERROR(KIND, WHY);
  // Kept in place: its texts reuse their storage.
  KEPT.KIND = KIND;
  if (&WHAT != &KEPT.WHAT) KEPT.WHAT = WHAT;
  KEPT.LINE = L;
  KEPT.COLUMN = COL;
  return false;
}

void TSERIESREADER::FAILURE(const char* KIND, long L, long COL, const std::string& WHAT) {
  if (KEEP) throw TSERIESDEFECT{KIND, WHAT, L, COL};
  IOERROR(KIND, WHAT);
}

void TLINEENDS::SEE(const unsigned char* P, size_t N) {
  if (ENDED) return;
  if (const void* Z = std::memchr(P, 26, N)) {
    N = static_cast<size_t>(static_cast<const unsigned char*>(Z) - P);
    ENDED = true;
  }
  const unsigned char* const E = P + N;
  for (const unsigned char* Q = P;; ++Q) {
    Q = static_cast<const unsigned char*>(std::memchr(Q, '\n', static_cast<size_t>(E - Q)));
    if (Q == nullptr) break;
    const bool CR = Q > P ? Q[-1] == '\r' : LASTCR;
    long& FIRST = CR ? FIRSTCRLF : FIRSTLF;
    if (FIRST == 0) FIRST = LF + CRLF + 1;
    (CR ? CRLF : LF) += 1;
  }
  if (N > 0) LASTCR = P[N - 1] == '\r';
}

void TSERIESREADER::RESYNC() {
  ++DONE;
  // The term began on an earlier line and this line is still in the
  // buffer: it is read again as the next term.
  if (TERMSTART < LINE && FIELDLINE == LINE && LINESTART >= 0 && TERMSTART > 0) {
    POS = static_cast<size_t>(LINESTART);
    return;
  }
  SKIPLINE();
}

bool TSERIESREADER::MORETEXT(long& L, long& COL) {
  for (;;) {
    int C = PEEK();
    if (C == END) return false;
    if (C > 32) {
      L = LINE;
      COL = COLUMNOF(POS);
      return true;
    }
    ADVANCE();
  }
}

bool TSERIESREADER::SKIPSEPARATORS(const char* WHAT) {
  // Separators, line ends counted; character 26 or the end of the data
  // means the file ends here.
  for (;;) {
    while (POS < LEN) {
      const unsigned char C = BUF[POS];
      if (C > 32) return true;
      if (C == 26) return PASTEND(WHAT);
      if (C == '\n') NEWLINE(POS + 1);
      ++POS;
    }
    if (!FILL()) return PASTEND(WHAT);
  }
}

// An integer field: short fields of digits that lie whole in the buffer
// are read in place; everything else goes through FIELD and READINT.
bool TSERIESREADER::INTFIELD(const char* WHAT, long long LO, long long HI, long long& V) {
  if (!SKIPSEPARATORS(WHAT)) return false;
  FIELDLINE = LINE;
  FIELDCOL = COLUMNOF(POS);
  size_t P = POS;
  const bool NEG = BUF[P] == '-';
  if (BUF[P] == '-' || BUF[P] == '+') ++P;
  const size_t D = P;
  V = 0;
  while (P < LEN && P - D < 18 && BUF[P] >= '0' && BUF[P] <= '9') V = V * 10 + (BUF[P++] - '0');
  if (P > D && P < LEN && BUF[P] <= 32) {
    POS = P;
    V = NEG ? -V : V;
    return V >= LO && V <= HI ? true : OUTSIDE(WHAT, {}, V, LO, HI);
  }
  std::string_view F;
  if (!FIELD(WHAT, F)) return false;
  if (!READINT(F, V)) return BADNUMBER(WHAT, F);
  return V >= LO && V <= HI ? true : OUTSIDE(WHAT, F, V, LO, HI);
}

// The next number field: skips separators (line ends included), then takes
// the characters up to the next separator.
bool TSERIESREADER::FIELD(const char* WHAT, std::string_view& F) {
  if (!SKIPSEPARATORS(WHAT)) return false;
  FIELDLINE = LINE;
  FIELDCOL = COLUMNOF(POS);
  int C;
  // Fast case: the whole field lies in the buffer.
  size_t B = POS;
  while (POS < LEN && BUF[POS] > 32) ++POS;
  if (POS < LEN || ATEND) {
    if (POS - B > MAXFIELD) return TOOLONG(WHAT, {reinterpret_cast<const char*>(BUF + B), 41});
    F = {reinterpret_cast<const char*>(BUF + B), POS - B};
    return true;
  }
  TOK.assign(reinterpret_cast<const char*>(BUF + B), POS - B);
  while ((C = PEEK()) != END && C > 32) {
    if (TOK.size() >= MAXFIELD) return TOOLONG(WHAT, std::string_view(TOK).substr(0, 41));
    TOK += static_cast<char>(C);
    ADVANCE();
  }
  F = TOK;
  return true;
}
