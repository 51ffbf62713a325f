#include "untxtout.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "unwrite.hpp"

TTEXTOUT::TTEXTOUT() = default;

TTEXTOUT::~TTEXTOUT() {
  if (THREAD.RUNNING()) {
    {
      std::lock_guard<std::mutex> G(M);
      STOP = true;
    }
    CV.notify_all();
    THREAD.JOIN();
  }
  if (FD >= 0 && (!CONSOLE || OWNSFD)) ::close(FD);
}

bool TTEXTOUT::OBTAINBUFFERS() {
  if (!FILEBUFFERS.OBTAIN(BUFFERBYTES, true)) return false;
  FREE.reserve(NBUFFERS);  // the writer never asks for storage
  for (int I = 1; I < NBUFFERS; ++I) FREE.push_back(FILEBUFFERS.DATA() + I * FILECAP);
  BUF = FILEBUFFERS.DATA();
  return true;
}

bool TTEXTOUT::STARTWRITER() {
  return THREAD.START([](void* P) { static_cast<TTEXTOUT*>(P)->WRITER(); }, this, WRITERSTACK);
}

void TTEXTOUT::OPENED(int F, const std::string& NAME, TOUTLOCK* WITH) {
  FILENAME = NAME;
  LOCK = WITH;
  {
    std::lock_guard<std::mutex> G(M);
    FD = F;
    ERR = 0;
    AT = 0;
  }
  CONSOLE = false;
  CAP = FILECAP;
  LEN = 0;
}

void TTEXTOUT::ATTACHCONSOLE(TTEXTOUT* SYNCED) { ATTACHCONSOLE(SYNCED, STDOUT_FILENO, "standard output"); }

void TTEXTOUT::ATTACHCONSOLE(TTEXTOUT* SYNCED, int F, const std::string& NAME) {
  SYNCS = SYNCED;
  FILENAME = NAME;
  FD = F;
  OWNSFD = F != STDOUT_FILENO;
  CONSOLE = true;
  CAP = CONSOLECAP;
  if (CONSOLEBUF == nullptr) CONSOLEBUF = std::make_unique<char[]>(CONSOLECAP);
  BUF = CONSOLEBUF.get();
  LEN = 0;
}

void TTEXTOUT::CLOSE() {
  if (FD < 0) return;
  FLUSH();
  SYNC();
  int F = FD;
  {
    std::lock_guard<std::mutex> G(M);
    FD = -1;
  }
  if (COMPARING) {
    // The file must end where the output does.
    char B;
    if (FOUND == SAME && ::read(F, &B, 1) != 0) FOUND = CHANGED;
    COMPARING = false;
    if (RESULTS != nullptr) RESULTS->emplace_back(FILENAME, FOUND);
    ::close(F);
    return;
  }
  if (CONSOLE && !OWNSFD) return;
  if (LOCK != nullptr) return LOCK->HOLD(F, FILENAME);
  if (::close(F) != 0) {
    int E = errno;
    IOERRNO(E, WRITEERRTEXT, "cannot close " + FILENAME);
  }
}

// Every write() takes at most what is left of a WRITEPIECE-aligned piece of
// the file. The system then takes the file's pages in pieces of that size
// (which it finds among recently freed memory) rather than in 2 MiB
// blocks, which on some virtual machines it must first get back from the
// host: writing 1.4 GB took 0.2 s in 256 KiB pieces and over 2 s in 2 MiB
// ones on the machine of the benchmark figures.
bool TTEXTOUT::WRITEALL(int TO, const char* P, size_t N, int& E) {
  if (COMPARING) return COMPARE(TO, P, N);
  while (N > 0) {
    const size_t ROOMLEFT = WRITEPIECE - static_cast<size_t>(AT % WRITEPIECE);
    const ssize_t W = WRITEWAIT(TO, P, std::min(N, ROOMLEFT));
    if (W <= 0) {
      E = W < 0 ? errno : EIO;
      return false;
    }
    P += W;
    N -= static_cast<size_t>(W);
    AT += static_cast<uint64_t>(W);
  }
  return true;
}

// The N bytes at P against the next N of the file open on FROM: a
// difference, or a file that ends first, makes it CHANGED. Never fails.
bool TTEXTOUT::COMPARE(int FROM, const char* P, size_t N) {
  AT += N;
  if (FOUND != SAME) return true;
  char B[1 << 16];
  while (N > 0) {
    const ssize_t R = ::read(FROM, B, std::min(N, sizeof B));
    if (R < 0 && errno == EINTR) continue;
    if (R <= 0 || std::memcmp(B, P, static_cast<size_t>(R)) != 0) {
      FOUND = CHANGED;
      return true;
    }
    P += R;
    N -= static_cast<size_t>(R);
  }
  return true;
}

void TTEXTOUT::COMPAREINSTEAD(TRESULTS* INTO, bool MISSINGFILE) {
  COMPARING = true;
  FOUND = MISSINGFILE ? MISSING : SAME;
  RESULTS = INTO;
}

void TTEXTOUT::COMPARED(int F, const std::string& NAME, TRESULTS* INTO) {
  OPENED(F, NAME);
  COMPAREINSTEAD(INTO, false);
}

void TTEXTOUT::ABSENT(const std::string& NAME, TRESULTS* INTO) {
  OPENED(::open("/dev/null", O_RDONLY | O_CLOEXEC), NAME);
  COMPAREINSTEAD(INTO, true);
}

void TTEXTOUT::WRITEFAILED(int E) {
  // What could not be written is dropped, so that the fatal exit does not
  // try again.
  LEN = 0;
  IOERRNO(E, WRITEERRTEXT, "cannot write " + FILENAME);
}

// The background writer: writes the chunks in the order handed over; after
// a failure it drops the rest.
void TTEXTOUT::WRITER() {
  std::unique_lock<std::mutex> G(M);
  for (;;) {
    CV.wait(G, [this] { return STOP || !QUEUE.empty(); });
    if (QUEUE.empty()) return;
    TCHUNK C = std::move(QUEUE.front());
    QUEUE.pop_front();
    BUSY = true;
    const bool WRITE = ERR == 0;
    const int TO = FD;
    G.unlock();
    int E = 0;
    bool OK = !WRITE || WRITEALL(TO, C.DATA, C.LEN, E);
    G.lock();
    if (!OK) {
      ERR = E;
      ERRWHERE = std::move(C.WHERE);
    }
    BUSY = false;
    FREE.push_back(C.DATA);
    CV.notify_all();
  }
}

// Writes the buffer here and now.
void TTEXTOUT::WRITENOW() {
  int E = 0;
  const size_t N = LEN;
  HANDED += N;
  LEN = 0;
  if (!WRITEALL(FD, BUF, N, E)) WRITEFAILED(E);
}

// Hands the filled buffer to the writer and takes a free one.
void TTEXTOUT::HANDOVER() {
  if (!THREAD.RUNNING()) return WRITENOW();
  HANDED += LEN;
  std::unique_lock<std::mutex> G(M);
  while (ERR != 0) {
    // Already failed: the program is past that point; report it now.
    // SYNC does not come back while the failure stands; should it ever,
    // the queue is used under the lock again.
    G.unlock();
    SYNC();
    G.lock();
  }
  QUEUE.push_back(TCHUNK{BUF, LEN, CURRENTWHERE()});
  CV.notify_all();
  CV.wait(G, [this] { return !FREE.empty(); });
  BUF = FREE.back();
  FREE.pop_back();
  LEN = 0;
}

// Waits for every chunk handed over; a failed write ends the program.
void TTEXTOUT::SYNC() {
  if (CONSOLE || !THREAD.RUNNING()) return;
  std::unique_lock<std::mutex> G(M);
  CV.wait(G, [this] { return QUEUE.empty() && !BUSY; });
  if (ERR != 0) {
    const int E = ERR;
    const std::string WH = ERRWHERE;
    ERR = 0;  // reported once
    G.unlock();
    LEN = 0;
    IOERRORAT(IOKINDTEXT(E, WRITEERRTEXT), IOWHY(E, WRITEERRTEXT, "cannot write " + FILENAME), WH);
  }
}

void TTEXTOUT::FLUSH() {
  if (LEN == 0) return;
  if (CONSOLE) {
    // A console line comes after everything written before it.
    if (SYNCS != nullptr) SYNCS->SYNC();
    return WRITENOW();
  }
  HANDOVER();
}

void TTEXTOUT::PUTSLOW(std::string_view S) {
  while (!S.empty()) {
    if (LEN == CAP) FLUSH();
    size_t N = std::min(S.size(), CAP - LEN);
    S.copy(BUF + LEN, N);
    LEN += N;
    S.remove_prefix(N);
  }
}

bool TTEXTOUT::FAILEDBEFORE(std::string& KIND, std::string& WHY, std::string& WHERE) noexcept {
  if (CONSOLE || !THREAD.RUNNING()) return false;
  std::unique_lock<std::mutex> G(M);
  CV.wait(G, [this] { return QUEUE.empty() && !BUSY; });
  if (ERR == 0) return false;
  KIND = IOKINDTEXT(ERR, WRITEERRTEXT);
  WHY = IOWHY(ERR, WRITEERRTEXT, "cannot write " + FILENAME);
  WHERE = ERRWHERE;
  ERR = 0;
  LEN = 0;  // the buffer being filled lies beyond the failure
  return true;
}

void TTEXTOUT::FLUSHBEFOREEXIT() noexcept {
  if (FD < 0) return;
  if (!CONSOLE && THREAD.RUNNING()) {
    std::unique_lock<std::mutex> G(M);
    CV.wait(G, [this] { return QUEUE.empty() && !BUSY; });
    if (ERR != 0) return;
  }
  if (LEN == 0) return;
  int E = 0;
  size_t N = LEN;
  LEN = 0;
  (void)WRITEALL(FD, BUF, N, E);
}

int FORMATINT(char* P, long long V, int W) {
  char T[24];
  int N = 0;
  unsigned long long U = V < 0 ? 0ULL - static_cast<unsigned long long>(V) : static_cast<unsigned long long>(V);
  do {
    T[N++] = static_cast<char>('0' + U % 10);
    U /= 10;
  } while (U != 0);
  if (V < 0) T[N++] = '-';
  int PAD = W > N ? W - N : 0;
  std::memset(P, ' ', static_cast<size_t>(PAD));
  for (int I = 0; I < N; ++I) P[PAD + I] = T[N - 1 - I];
  return PAD + N;
}

void TTEXTOUT::PUTINT(long long V, int W) {
  char* P = RESERVE(static_cast<size_t>(W > 24 ? W : 24));
  COMMIT(static_cast<size_t>(FORMATINT(P, V, W)));
}

void TTEXTOUT::ENDLINE() {
  PUT("\r\n");
  if (CONSOLE) FLUSH();
}
