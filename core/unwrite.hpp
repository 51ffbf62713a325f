// unwrite: one write to a descriptor that may be non-blocking. WRITEWAIT
// writes up to N bytes of P to FD, as write() does, and returns the number
// written, or -1 with errno set on a failure; an interrupted call is made
// again, and a descriptor that is momentarily full (a pipe that a parent
// reads late) is waited for until it takes bytes. It asks for no storage.
#pragma once

#include <sys/types.h>

#include <cstddef>

ssize_t WRITEWAIT(int FD, const void* P, size_t N);
