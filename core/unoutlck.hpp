// unoutlck: one run of a program at a time in an output folder, by an
// advisory lock (flock) on the outputs the run writes anyway, so that no
// file is left behind and no descriptor is needed beyond those of the
// outputs themselves.
//
// The run holds an exclusive lock on the output it writes and hands it on
// from each output to the next: an output closed stays open, holding its
// lock, until the next one is open and locked, so that at any moment the
// run holds the lock of one of its outputs, in the order it writes them
// (two descriptors at that moment, and never a series file then). At its
// start (FIRST), before anything is written, it opens and locks its first
// output and tries the lock of every other name it will write, in that
// order, without waiting: a run ahead of it in the same folder holds one
// of them and cannot pass it unseen, since it only moves on. Another run of
// the same program there, or one that cannot be told apart, is refused
// with status 2. Locks are the kernel's: a killed run holds none. Outputs
// that are not regular files (a FIFO, a device) are not locked.
#pragma once

#include <string>
#include <vector>

class TOUTLOCK {
 public:
  TOUTLOCK() = default;
  TOUTLOCK(const TOUTLOCK&) = delete;
  TOUTLOCK& operator=(const TOUTLOCK&) = delete;
  ~TOUTLOCK();

  // NAMES, the outputs of the run in the order it writes them, in the
  // current folder: the first opened (as OUTPUTFLAGS, not emptied) and
  // locked, the others tried. When another run holds any of them: a line
  // on standard error, "PROGRAM: another run of PROGRAM is writing in this
  // folder (NAME is locked)", and exit status 2. A first output that cannot
  // be opened is left to its creation to report, unlocked.
  void FIRST(const std::vector<std::string>& NAMES);
  // The descriptor that FIRST opened for NAME and that its creation takes
  // over, or -1.
  int OPENED(const std::string& NAME);
  // On a fatal error: the first output, when FIRST made it and the run has
  // not come to it, is removed again, so that a run that stops before it
  // leaves what it would have left without the lock.
  void ABANDON() noexcept;
  // An output just opened (the series checks done, not yet emptied) is
  // locked, waiting if need be; then the lock held before is let go.
  void TAKE(int FD);
  // The output NAME closing: its descriptor stays open, holding the lock,
  // until the next is taken; one that holds no lock is closed now. A
  // failure to close is the I/O error, named by its output.
  void HOLD(int FD, const std::string& NAME);

 private:
  void LETGO();
  int HELD = -1;  // the output that holds the lock
  std::string HELDNAME;
  int PENDING = -1;  // the first output, opened by FIRST
  std::string PENDINGNAME;
  bool CREATED = false;  // by FIRST
};
