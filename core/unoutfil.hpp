// unoutfil: the opening of an output file, which never harms a file that
// is only read and never waits.
//
// PROTECTSERIES notes a series file, which no output may be: its folder and
// name. An output name is opened for writing, created when it is missing,
// without emptying anything and without waiting on the other end of a
// FIFO; then OUTPUTOF, by what the name turned out to be:
//   - one of the series files, as its name leads at that moment (the same
//     device and inode, through a symbolic or a hard link): closed again,
//     untouched, and the I/O error names both files; a series file
//     deleted, renamed or replaced since it was read is no longer one;
//   - a regular file: emptied, and written;
//   - a FIFO that a process reads, or a device such as /dev/null: written
//     as it is (blocking, as any file);
// and a FIFO that no process reads, a socket or a folder cannot be opened:
// the I/O error says which it is. Every failure is the fatal I/O error.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <string>

#include "unoutlck.hpp"

// Notes the series file NAME in the folder open on DIRFD (AT_FDCWD: the
// current one); on the main thread, before the series are read.
void PROTECTSERIES(int DIRFD, const std::string& NAME);
// Forgets every series file noted (when a new job starts).
void UNPROTECTALL();

// How an output is opened: for writing, created when missing, neither
// emptied nor waited for.
inline constexpr int OUTPUTFLAGS = O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
inline constexpr mode_t OUTPUTMODE = 0666;
// The output NAME as above, from FD, what opening it with OUTPUTFLAGS in
// the folder open on DIRFD (AT_FDCWD: the current one) gave (-1 with
// errno: the I/O error); returns the descriptor. (Opening it is the
// caller's, see CREATEOUTPUT in unahead.)
// With LOCK, the output is locked before it is emptied (see unoutlck).
int OUTPUTOF(int FD, const std::string& NAME, TOUTLOCK* LOCK = nullptr, int DIRFD = AT_FDCWD);
