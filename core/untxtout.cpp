#include "untxtout.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TTEXTOUT::TTEXTOUT() = default;

TTEXTOUT::~TTEXTOUT() {
  if (FD >= 0) {
    UNREGISTERFLUSH(this);
    if (!CONSOLE) ::close(FD);
  }
}

void TTEXTOUT::CREATE(const std::string& NAME) {
  FILENAME = NAME;
  // The buffer first: a failure to obtain it leaves no file behind.
  if (!BUF) BUF = std::make_unique<char[]>(FILECAP);
  int F = ::open(NAME.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (F < 0) {
    int E = errno;
    IOERROR(OPENERRORTEXT(E, true),
            "cannot create " + NAME + ": " + std::strerror(E));
  }
  FD = F;
  CONSOLE = false;
  CAP = FILECAP;
  LEN = 0;
  REGISTERFLUSH(this);
}

void TTEXTOUT::ATTACHCONSOLE() {
  FILENAME = "standard output";
  FD = STDOUT_FILENO;
  CONSOLE = true;
  CAP = CONSOLECAP;
  BUF = std::make_unique<char[]>(CONSOLECAP);
  LEN = 0;
  REGISTERFLUSH(this);
}

void TTEXTOUT::CLOSE() {
  if (FD < 0) return;
  FLUSH();
  UNREGISTERFLUSH(this);
  int F = FD;
  FD = -1;
  if (!CONSOLE && ::close(F) != 0) {
    int E = errno;
    IOERROR(WRITEERRTEXT, "cannot close " + FILENAME + ": " + std::strerror(E));
  }
}

void TTEXTOUT::WRITEOUT(const char* P, size_t N) {
  while (N > 0) {
    ssize_t W = ::write(FD, P, N);
    if (W < 0 && errno == EINTR) continue;
    if (W <= 0) {
      int E = W < 0 ? errno : EIO;
      // What could not be written is dropped, so that the fatal exit
      // does not try again.
      LEN = 0;
      IOERROR(WRITEERRTEXT,
              "cannot write " + FILENAME + ": " + std::strerror(E));
    }
    P += W;
    N -= static_cast<size_t>(W);
  }
}

void TTEXTOUT::FLUSH() {
  if (LEN == 0) return;
  size_t N = LEN;
  LEN = 0;
  WRITEOUT(BUF.get(), N);
}

void TTEXTOUT::MAKEROOM(size_t) { FLUSH(); }

void TTEXTOUT::FLUSHBEFOREEXIT() noexcept {
  if (FD < 0 || LEN == 0) return;
  const char* P = BUF.get();
  size_t N = LEN;
  LEN = 0;
  while (N > 0) {
    ssize_t W = ::write(FD, P, N);
    if (W < 0 && errno == EINTR) continue;
    if (W <= 0) return;
    P += W;
    N -= static_cast<size_t>(W);
  }
}

int FORMATINT(char* P, long long V, int W) {
  char T[24];
  int N = 0;
  unsigned long long U = V < 0 ? 0ULL - static_cast<unsigned long long>(V)
                               : static_cast<unsigned long long>(V);
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
