// untxtout: text output to a file or the console. Every line ends with CR
// LF. Output is gathered in a buffer and written with few system calls; the
// console writes each line out as soon as it is complete. Every failure to
// create or write ends the program with the I/O error; on any fatal exit
// the complete lines still in the buffer are written out first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "unfatal.hpp"

class TTEXTOUT final : public TFLUSHABLE {
 public:
  TTEXTOUT();
  ~TTEXTOUT();
  TTEXTOUT(const TTEXTOUT&) = delete;
  TTEXTOUT& operator=(const TTEXTOUT&) = delete;

  // Creates NAME in the current directory (an existing file is emptied).
  void CREATE(const std::string& NAME);
  // The console: standard output, written out line by line.
  void ATTACHCONSOLE();
  void CLOSE();
  bool ISOPEN() const { return FD >= 0; }

  void PUT(std::string_view S) {
    if (LEN + S.size() > CAP) [[unlikely]] {
      MAKEROOM(S.size());
      if (S.size() > CAP) return WRITEOUT(S.data(), S.size());
    }
    S.copy(BUF.get() + LEN, S.size());
    LEN += S.size();
  }
  void PUTCH(char C) {
    if (LEN == CAP) [[unlikely]] MAKEROOM(1);
    BUF[LEN++] = C;
  }
  // Integer right-aligned in W characters, blank-filled; written in full
  // when longer.
  void PUTINT(long long V, int W);
  void ENDLINE();

  // Direct access for callers that assemble lines in place: room for at
  // least N characters at the end of the buffer; COMMIT adds N written.
  char* RESERVE(size_t N) {
    if (LEN + N > CAP) [[unlikely]] MAKEROOM(N);
    return BUF.get() + LEN;
  }
  void COMMIT(size_t N) { LEN += N; }

  const std::string& NAME() const { return FILENAME; }

  void FLUSHBEFOREEXIT() noexcept override;

 private:
  void MAKEROOM(size_t N);
  void FLUSH();
  void WRITEOUT(const char* P, size_t N);

  static constexpr size_t FILECAP = size_t{1} << 20;
  static constexpr size_t CONSOLECAP = size_t{1} << 12;

  int FD = -1;
  bool CONSOLE = false;
  std::string FILENAME;
  std::unique_ptr<char[]> BUF;
  size_t LEN = 0;
  size_t CAP = 0;
};

// Decimal digits of V right-aligned in W characters into P; returns the
// number of characters written (at least W).
int FORMATINT(char* P, long long V, int W);
