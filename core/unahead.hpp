// unahead: work done ahead of need on other threads (the series files
// parsed ahead) never decides what the main thread can do. This is the one
// place where a failure to get storage, a descriptor or a thread is met by
// releasing that work and trying again; the allocator (unbigmem), the
// threads (unthread) and the outputs (untxtout, unoutfil) below it make one
// attempt each and know nothing of it.
//
// When the main thread cannot get a descriptor, a thread or storage, it
// first stops all work ahead and takes back what that holds
// (RELEASEAHEAD), then tries once more: it then holds what a program that
// did all its work itself would hold at that point, and succeeds or fails
// as that program would. A thread that works ahead and runs short gives its
// work up instead (its fatal errors throw, see SETTHREADTHROWS), and the
// main thread does that work itself when it needs it.
//
// Calls back up: RELEASEAHEAD, on the main thread after a failed attempt,
// calls the releaser that the work ahead set (unsercac), which joins its
// threads and frees what they hold. So does the handler of failed
// allocations, NOSTORAGE, which the program body installs: any allocation
// of the main thread may end the work ahead.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <string>

#include "untxtout.hpp"

// Stops all work ahead and takes back what it holds; true when anything
// worked ahead.
using TRELEASER = bool (*)();
void SETRELEASER(TRELEASER R);

// Marks the calling thread as one that works ahead.
void WORKSAHEAD();
// On the main thread: stops the work ahead (see SETRELEASER); true when a
// failed attempt is then worth making again. False on a thread that works
// ahead.
bool RELEASEAHEAD();

// ATTEMPT(), which returns true when it got what it needs; when it fails
// on the main thread, once more after RELEASEAHEAD.
template <typename TATTEMPT>
bool TRYTWICE(TATTEMPT&& ATTEMPT) {
  return ATTEMPT() || (RELEASEAHEAD() && ATTEMPT());
}

// openat(DIRFD, NAME, ...), as the work ahead allows. On the main thread: once more after
// RELEASEAHEAD when the descriptors, or the system's storage for them, ran
// out. On a thread that works ahead: only while one more descriptor is
// free beside the new one (the main thread may need it for an output at
// the same time), else the failure EMFILE.
int OPENFILE(int DIRFD, const char* NAME, int FLAGS, mode_t MODE = 0);

// Creates the output NAME in the current folder and makes it T's file (an
// existing file is emptied; never a series file, see unoutfil): T's
// buffers and writer first, with the first file, so that a failure to get
// them leaves no file behind; a writer thread that cannot be had is done
// without, the file written in place.
// With LOCK, the output takes the folder's lock (see unoutlck), the first
// one as FIRST opened it.
// DIRFD: the folder of NAME (AT_FDCWD: the current one).
void CREATEOUTPUT(TTEXTOUT& T, const std::string& NAME, TOUTLOCK* LOCK = nullptr, int DIRFD = AT_FDCWD);

// The same for an output compared with the file NAME there instead of
// written (see TTEXTOUT::COMPARED): a file that is not there is MISSING.
void COMPAREOUTPUT(TTEXTOUT& T, const std::string& NAME, int DIRFD, TTEXTOUT::TRESULTS* INTO);

// The handler of failed allocations: after RELEASEAHEAD the allocation is
// tried again; with nothing to release, the out-of-memory error.
void NOSTORAGE();
