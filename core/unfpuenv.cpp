// unfpuenv: the check of the x87 control word (see unfpuenv.hpp).
#include "unfpuenv.hpp"

#include <cstdio>

#include "unfatal.hpp"

#if PAIRTERMS_SOFT_EXTENDED

void CHECKFPU() {}

#else

#if !defined(__x86_64__) && !defined(__i386__)
#error "the arithmetic is that of the x87 unit"
#endif

uint16_t FPUCONTROL() {
  uint16_t CW;
  __asm__ volatile("fnstcw %0" : "=m"(CW));
  return CW;
}

std::string FPUFAULT(uint16_t CW) {
  static const char* const PRECISION[] = {"24 bits", "an undefined setting", "53 bits", "64 bits"};
  static const char* const ROUNDING[] = {"to nearest", "down", "up", "toward zero"};
  const int PC = (CW & FPUPRECISION) >> 8, RC = (CW & FPUROUNDING) >> 10;
  const bool MASKED = (CW & FPUMASKS) == FPUMASKS;
  if ((CW & (FPUMASKS | FPUPRECISION | FPUROUNDING)) == FPUNEEDED) return {};
  char B[200];
  std::snprintf(B, sizeof B,
                "the x87 control word 0x%04X sets precision %s, rounding %s, %s; the arithmetic needs "
                "precision 64 bits, rounding to nearest, exceptions masked",
                static_cast<unsigned>(CW), PRECISION[PC], ROUNDING[RC],
                MASKED ? "exceptions masked" : "exceptions that trap");
  return B;
}

void CHECKFPU() {
  const std::string WHY = FPUFAULT(FPUCONTROL());
  if (!WHY.empty()) FPUMODEERROR(WHY);
}

#endif
