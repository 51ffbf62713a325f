// unchkrep: the report of seriescheck and its output in order (see
// unchkrep.hpp).
#include "unchkrep.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "unextcnv.hpp"
#include "unserdir.hpp"
#include "unwrite.hpp"

namespace {

// A file's text is handed on in blocks of about this size.
constexpr size_t BLOCK = size_t{1} << 16;

void NUMBER(std::string& S, long V) {
  char B[24];
  S.append(B, static_cast<size_t>(std::to_chars(B, B + sizeof B, V).ptr - B));
}

std::string AMPTEXT(TEXTENDED A) {
  char B[64];
  EXTSCIENTIFIC(B, sizeof B, 3, A);
  return B;
}

}  // namespace

std::string PLURAL(long N, const char* WHAT) {
  return std::to_string(N) + " " + WHAT + (N == 1 ? "" : "s");
}

TREPORTOUT::TREPORTOUT(int FILEDES, int PARTS, size_t MAXHELD)
    : FD(FILEDES), LIMIT(MAXHELD), HELD(static_cast<size_t>(PARTS) + 1), COMPLETE(static_cast<size_t>(PARTS) + 1, 0) {}

bool TREPORTOUT::PUT(int N, std::string& TEXT, bool LAST) {
  std::unique_lock<std::mutex> K(M);
  const size_t P = static_cast<size_t>(N);
  for (;;) {
    if (ERR != 0) {
      TEXT.clear();
      return false;
    }
    if (N == TURN) {
      WRITE(TEXT);
      TEXT.clear();
      if (!LAST) return ERR == 0;
      // The next parts: what they hold is written, up to one that is not
      // complete, whose further text is then written as it comes.
      for (++TURN; TURN < static_cast<int>(HELD.size()); ++TURN) {
        const size_t T = static_cast<size_t>(TURN);
        WRITE(HELD[T]);
        HELDNOW -= HELD[T].size();
        std::string().swap(HELD[T]);
        if (COMPLETE[T] == 0) break;
      }
      CHANGED.notify_all();
      return ERR == 0;
    }
    // A part whose turn has not come: held, within the limit (a text
    // alone beyond it is held when nothing else is).
    if (HELDNOW == 0 || HELDNOW + TEXT.size() <= LIMIT) {
      HELD[P] += TEXT;
      HELDNOW += TEXT.size();
      HELDMOST = std::max(HELDMOST, HELDNOW);
      TEXT.clear();
      if (LAST) COMPLETE[P] = 1;
      return true;
    }
    CHANGED.wait(K);
  }
}

void TREPORTOUT::WRITE(const std::string& TEXT) {
  for (size_t DONE = 0; DONE < TEXT.size() && ERR == 0;) {
    const ssize_t W = WRITEWAIT(FD, TEXT.data() + DONE, TEXT.size() - DONE);
    if (W > 0) {
      DONE += static_cast<size_t>(W);
    } else {
      ERR = W < 0 && errno != 0 ? errno : EIO;
      CHANGED.notify_all();
    }
  }
}

int TREPORTOUT::FAILURE() const {
  std::lock_guard<std::mutex> K(M);
  return ERR;
}

size_t TREPORTOUT::MOSTHELD() const {
  std::lock_guard<std::mutex> K(M);
  return HELDMOST;
}

void TFILEREPORT::FINDING(const TFINDING& F) {
  if (NAME.empty()) NAME = SERIESNAME(N);
  long* COUNT = nullptr;
  for (TKIND& K : KINDS)
    if (K.ERROR == F.ERROR && K.KIND == F.KIND) COUNT = &K.COUNT;
  if (COUNT == nullptr) COUNT = &KINDS.emplace_back(TKIND{F.ERROR, F.KIND, 0}).COUNT;
  if (++*COUNT > REPORTLIMIT && !ALL) return;
  std::string& S = TEXT;
  S += NAME;
  S += ':';
  if (F.LINE > 0) {
    NUMBER(S, F.LINE);
    S += ':';
    NUMBER(S, F.COLUMN);
    S += ':';
  }
  S += F.ERROR ? " error: " : " warning: ";
  S += F.KIND;
  S += ": ";
  S += F.WHAT;
  if (!F.ERROR && !F.STOPS.empty()) {
    S += "; stops ";
    S += F.STOPS;
  }
  S += "\r\n";
  if (TEXT.size() >= BLOCK) PASS(false);
}

void TFILEREPORT::FINISH(const TFILECHECK& C, bool QUIET) {
  std::string& S = TEXT;
  for (const TKIND& K : KINDS) {
    if (K.COUNT <= REPORTLIMIT || ALL) continue;
    S += C.NAME + ": " + K.KIND + ": " + PLURAL(K.COUNT - REPORTLIMIT, K.ERROR ? "more error" : "more warning") +
         " not listed (--all lists every one)\r\n";
  }
  if (!QUIET) {
    S += C.NAME + ": ";
    if (!C.OPENED) {
      S += "not read";
    } else {
      S += PLURAL(C.TERMS, "term");
      if (C.GOOD > 0)
        S += ", orders " + std::to_string(C.MINORDER) + ".." + std::to_string(C.MAXORDER) + ", |amplitude| " +
             AMPTEXT(C.MINAMP) + ".." + AMPTEXT(C.MAXAMP);
    }
    S += ", " + PLURAL(C.ERRORS(), "error") + ", " + PLURAL(C.WARNINGS(), "warning") + "\r\n";
  }
  PASS(true);
}

void TFILEREPORT::PASS(bool LAST) {
  if (!OUT.PUT(N, TEXT, LAST)) throw TREPORTSTOPPED{};
}
