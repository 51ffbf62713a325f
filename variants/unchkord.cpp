// unchkord: the order of the findings on a series file, its line ends and
// the columns of its fields (see unchkord.hpp).
#include "unchkord.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "unserdir.hpp"

namespace {

bool BEFORE(const TFINDING& A, const TFINDING& B) {
  return A.LINE != B.LINE ? A.LINE < B.LINE : A.COLUMN < B.COLUMN;
}

// Series file NAME opened for reading without waiting (a FIFO without a
// writer cannot hang the open): its descriptor, or -1 when it is not a
// regular file that can be opened.
int OPENREGULAR(const std::string& NAME) {
  const int F = ::openat(SERIESDIRFD(), NAME.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (F < 0) return -1;
  struct stat ST;
  if (::fstat(F, &ST) != 0 || !S_ISREG(ST.st_mode)) {
    ::close(F);
    return -1;
  }
  return F;
}

constexpr size_t BLOCKSIZE = size_t{1} << 16;

}  // namespace

void TINORDER::KNOWN(std::vector<TFINDING> F) {
  EARLY = std::move(F);
  std::stable_sort(EARLY.begin(), EARLY.end(), BEFORE);
  NEXTEARLY = 0;
}

TFINDING& TINORDER::NEXT(long L) {
  if (COUNT > 0 && HELD[0].LINE != L) FLUSH();
  if (COUNT == HELD.size()) HELD.emplace_back();
  TFINDING& F = HELD[COUNT++];
  F.LINE = L;
  return F;
}

// The line held: after the findings known before it, with those known on
// it, by column (a line holds a few: sorted in place, the order of equal
// places kept).
void TINORDER::FLUSH() {
  const long L = HELD[0].LINE;
  for (; NEXTEARLY < EARLY.size() && EARLY[NEXTEARLY].LINE < L; ++NEXTEARLY) SEND(EARLY[NEXTEARLY]);
  for (; NEXTEARLY < EARLY.size() && EARLY[NEXTEARLY].LINE == L; ++NEXTEARLY) {
    if (COUNT == HELD.size()) HELD.emplace_back();
    HELD[COUNT++] = EARLY[NEXTEARLY];
  }
  for (size_t X = 1; X < COUNT; ++X)
    for (size_t Y = X; Y > 0 && BEFORE(HELD[Y], HELD[Y - 1]); --Y) std::swap(HELD[Y], HELD[Y - 1]);
  for (size_t X = 0; X < COUNT; ++X) SEND(HELD[X]);
  COUNT = 0;
}

void TINORDER::FINISH() {
  if (COUNT > 0) FLUSH();
  for (; NEXTEARLY < EARLY.size(); ++NEXTEARLY) SEND(EARLY[NEXTEARLY]);
}

void TINORDER::SEND(const TFINDING& F) {
  ++(F.ERROR ? C.NUMERRORS : C.NUMWARNINGS);
  SINK.FINDING(F);
}

bool SCANLINEENDS(const std::string& NAME, TLINEENDS& E) {
  const int F = OPENREGULAR(NAME);
  if (F < 0) return false;
  std::vector<unsigned char> B(BLOCKSIZE);
  bool READ = true;
  while (!E.ENDED) {
    const ssize_t R = ::read(F, B.data(), B.size());
    if (R < 0 && errno == EINTR) continue;
    if (R <= 0) {
      READ = R == 0;
      break;
    }
    E.SEE(B.data(), static_cast<size_t>(R));
  }
  ::close(F);
  return READ;
}

bool MAYHOLDHALF(const std::string& NAME, const TLINEENDS* E) {
  if (E != nullptr && 2 * (E->LF + E->CRLF + 1 - 3) <= MAXARR) return false;
  try {
    TSERIESREADER IN(NAME, true);
    int32_t M;
    return !IN.TRYCOUNT(M) || 2 * static_cast<long>(M) > MAXARR;
  } catch (const TSERIESDEFECT&) {
    return false;
  }
}

TCOLUMNS::~TCOLUMNS() {
  if (FD >= 0) ::close(FD);
}

bool TCOLUMNS::AT(off_t P, unsigned char& B) {
  if (P < BLOCKAT || P >= BLOCKAT + static_cast<off_t>(BLOCKLEN)) {
    BLOCK.resize(BLOCKSIZE);
    ssize_t R;
    while ((R = ::pread(FD, BLOCK.data(), BLOCK.size(), P)) < 0 && errno == EINTR) {
    }
    BLOCKAT = P;
    BLOCKLEN = R > 0 ? static_cast<size_t>(R) : 0;
    if (BLOCKLEN == 0) return false;
  }
  B = BLOCK[static_cast<size_t>(P - BLOCKAT)];
  return true;
}

long TCOLUMNS::COLUMN(long L, int K) {
  if (FD == -2) FD = OPENREGULAR(NAME);
  if (FD < 0) return 1;
  unsigned char B;
  // To the start of line L: its line feeds looked for a block at a time.
  while (LINE < L) {
    if (!AT(LINEAT, B)) return 1;
    const size_t FROM = static_cast<size_t>(LINEAT - BLOCKAT);
    const void* NL = std::memchr(BLOCK.data() + FROM, '\n', BLOCKLEN - FROM);
    if (NL == nullptr) {
      LINEAT = BLOCKAT + static_cast<off_t>(BLOCKLEN);
      continue;
    }
    LINEAT = BLOCKAT + static_cast<off_t>(static_cast<const unsigned char*>(NL) - BLOCK.data()) + 1;
    ++LINE;
  }
  off_t Q = LINEAT;
  for (int F = 0;; ++F) {
    while (AT(Q, B) && B <= 32 && B != '\n') ++Q;
    if (!AT(Q, B) || B == '\n') return 1;
    if (F == K) return static_cast<long>(Q - LINEAT) + 1;
    while (AT(Q, B) && B > 32) ++Q;
  }
}
