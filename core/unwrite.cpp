// unwrite: a write that waits for a full descriptor (see unwrite.hpp).
#include "unwrite.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

ssize_t WRITEWAIT(int FD, const void* P, size_t N) {
  for (;;) {
    const ssize_t W = ::write(FD, P, N);
    if (W >= 0) return W;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    pollfd Q{FD, POLLOUT, 0};
    // Writable again, or closed at the other end: the next write tells.
    if (::poll(&Q, 1, -1) < 0 && errno != EINTR) return -1;
  }
}
