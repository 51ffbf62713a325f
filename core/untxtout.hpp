// untxtout: text output to a file or the console. Every line ends with CR
// LF. Output is gathered in large buffers and written with few system
// calls; the console writes each line out as soon as it is complete.
//
// A file is written by a background thread while the program goes on
// filling the next buffer, in the same order and the same pieces as a
// plain sequential write. The program waits for the background writes
// before it closes the file and before every console line, and a fatal
// error waits for them too: a write that failed is reported as the I/O
// error at the place where the program was when it handed that buffer
// over, just as if the write had been made there. Every failure to create
// or write ends the program with the I/O error; on any fatal exit the
// complete lines still in the buffer are written out first.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "unbigmem.hpp"
#include "unfatal.hpp"
#include "unoutlck.hpp"
#include "unthread.hpp"

class TTEXTOUT final {
 public:
  TTEXTOUT();
  ~TTEXTOUT();
  TTEXTOUT(const TTEXTOUT&) = delete;
  TTEXTOUT& operator=(const TTEXTOUT&) = delete;

  // A file is written from buffers obtained with the first file and kept,
  // by a writer thread started with them; an output without a writer
  // thread writes in place. Each makes one attempt: false when the buffers
  // or the thread cannot be had. The file itself comes open (OPENED); the
  // whole of making an output is CREATEOUTPUT (unahead).
  bool HASBUFFERS() const { return FILEBUFFERS.SIZE() != 0; }
  bool OBTAINBUFFERS();
  bool STARTWRITER();
  static constexpr size_t BUFFERBYTES = size_t{3} << 21;
  // Takes FD, open for writing on the file NAME, as the output to write;
  // with LOCK, its descriptor goes to LOCK when it closes (see unoutlck).
  void OPENED(int FD, const std::string& NAME, TOUTLOCK* LOCK = nullptr);
  // The descriptor of the open output.
  int DESCRIPTOR() const { return FD; }

  // Instead of writing a file, comparing: the output's bytes are held
  // against those of the file open on FD for reading, named NAME, in order
  // and to its end (ABSENT: no such file, the bytes are dropped). CLOSE
  // adds NAME and what it found to *INTO.
  // COMPAREINSTEAD makes the output open now (a file or a console kept in
  // a file) compare so, MISSING when there is no such file.
  enum TFOUND { SAME, CHANGED, MISSING };
  using TRESULTS = std::vector<std::pair<std::string, TFOUND>>;
  void COMPARED(int FD, const std::string& NAME, TRESULTS* INTO);
  void ABSENT(const std::string& NAME, TRESULTS* INTO);
  void COMPAREINSTEAD(TRESULTS* INTO, bool MISSINGFILE);
  // The console: standard output, written out line by line. Before each
  // line the background writes of SYNCED, when given, are waited for: a
  // console line comes after everything written before it. A console kept
  // in a file (FD, open on NAME) is closed with CLOSE.
  void ATTACHCONSOLE(TTEXTOUT* SYNCED = nullptr);
  void ATTACHCONSOLE(TTEXTOUT* SYNCED, int FD, const std::string& NAME);
  // The bytes put to the outputs so far, written or on their way (for a
  // progress line; the program's own count, not the writer's).
  uint64_t PRODUCED() const { return HANDED + LEN; }
  void CLOSE();

  void PUT(std::string_view S) {
    if (LEN + S.size() > CAP) [[unlikely]]
      return PUTSLOW(S);
    S.copy(BUF + LEN, S.size());
    LEN += S.size();
  }
  void PUTCH(char C) {
    if (LEN == CAP) [[unlikely]]
      FLUSH();
    BUF[LEN++] = C;
  }
  // Integer right-aligned in W characters, blank-filled; written in full
  // when longer.
  void PUTINT(long long V, int W);
  void ENDLINE();

  // Direct access for callers that assemble lines in place: room for at
  // least N (at most 4096) characters at the end of the buffer, made by
  // handing the buffer over when it has less; ROOM tells how much there
  // is; COMMIT adds N written.
  char* RESERVE(size_t N) {
    if (LEN + N > CAP) [[unlikely]]
      FLUSH();
    return BUF + LEN;
  }
  size_t ROOM() const { return CAP - LEN; }
  void COMMIT(size_t N) { LEN += N; }

  // On a fatal error (see TFATALSCOPE): writes out the complete lines held,
  // unless a background write failed; tells such a failure, once.
  void FLUSHBEFOREEXIT() noexcept;
  bool FAILEDBEFORE(std::string& KIND, std::string& WHY, std::string& WHERE) noexcept;

 private:
  struct TCHUNK {
    char* DATA;
    size_t LEN;
    std::string WHERE;  // the place of the program when handed over
  };

  void PUTSLOW(std::string_view S);
  void FLUSH();
  void HANDOVER();
  void WRITENOW();
  void SYNC();
  void WRITER();
  bool WRITEALL(int TO, const char* P, size_t N, int& E);
  [[noreturn]] void WRITEFAILED(int ERR);

  static constexpr size_t FILECAP = size_t{1} << 21;
  static constexpr size_t CONSOLECAP = size_t{1} << 12;
  static constexpr int NBUFFERS = 3;
  static_assert(BUFFERBYTES == NBUFFERS * FILECAP);
  static constexpr size_t WRITEPIECE = size_t{1} << 18;
  static constexpr size_t WRITERSTACK = size_t{1} << 19;

  int FD = -1;
  bool CONSOLE = false;
  bool OWNSFD = false;  // closed by CLOSE (a console kept in a file)
  // What a comparing output found (see COMPARED): CHANGED set by the
  // writer, read after SYNC.
  TFOUND FOUND = SAME;
  bool COMPARING = false;
  TRESULTS* RESULTS = nullptr;
  bool COMPARE(int FROM, const char* P, size_t N);
  TTEXTOUT* SYNCS = nullptr;  // the console's file (see ATTACHCONSOLE)
  TOUTLOCK* LOCK = nullptr;   // the folder's lock the file holds
  std::string FILENAME;
  char* BUF = nullptr;  // the buffer being filled
  size_t LEN = 0;
  size_t CAP = 0;
  std::unique_ptr<char[]> CONSOLEBUF;  // the console's buffer
  TBIGBLOCK FILEBUFFERS;               // a file's NBUFFERS buffers

  // The background writer of a file.
  TTHREAD THREAD;
  std::mutex M;
  std::condition_variable CV;
  std::deque<TCHUNK> QUEUE;     // handed over, not yet written
  std::vector<char*> FREE;      // buffers ready to be filled
  bool BUSY = false;            // the writer holds a chunk
  bool STOP = false;
  int ERR = 0;                  // errno of the first failed write
  uint64_t AT = 0;              // bytes written to the file so far
  uint64_t HANDED = 0;          // bytes handed to be written, all outputs
  std::string ERRWHERE;
};

// Decimal digits of V right-aligned in W characters into P; returns the
// number of characters written (at least W).
int FORMATINT(char* P, long long V, int W);
