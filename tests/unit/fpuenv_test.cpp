// The check of the floating-point mode: the mode a process starts with
// passes; a wrong precision or rounding, set for real, is caught with the
// mode error, in a mode where the one-operation reading of a number would
// indeed go wrong; an exception that traps is caught too. With the
// software extended type the mode takes no part: a wrong one on this
// machine's x87 unit changes no value read and is no error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "unfatal.hpp"
#include "unfpuenv.hpp"
#include "unreanum.hpp"

namespace {

#if defined(__x86_64__) || defined(__i386__)

// Loads control word CW, with no exception pending.
void SETCONTROL(uint16_t CW) { __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(CW) : "memory"); }

// The report of CHECKFPU, or "(none)".
std::string CHECKREPORT() {
  SETFATALTHROWS(true);
  try {
    CHECKFPU();
  } catch (const TFATAL& E) {
    EXPECT_EQ(E.KIND, FPUMODETEXT);
    return E.REPORT;
  }
  return "(none)";
}

#if !PAIRTERMS_SOFT_EXTENDED

bool SAMEBITS(long double A, long double B) { return std::memcmp(&A, &B, 10) == 0; }

TEST(FpuMode, WrongPrecisionOrRoundingIsAFatalError) {
  const uint16_t START = FPUCONTROL();
  ASSERT_EQ(CHECKREPORT(), "(none)");
  const uint16_t OTHERS = START & static_cast<uint16_t>(~(FPUPRECISION | FPUROUNDING));
  const std::pair<uint16_t, const char*> CASES[] = {{0x0200, "precision 53 bits"}, {0x0000, "precision 24 bits"},
                                                    {0x0700, "rounding down"},     {0x0B00, "rounding up"},
                                                    {0x0F00, "rounding toward zero"}};
  // Quotients of exact operands, read in one operation: the first rounds
  // up to nearest at 64 bits, the second down, so any other precision or
  // direction reads one of them otherwise.
  const char* FIELDS[] = {"1.0000000000000001e-01", "7.0000000000000000e-01"};
  long double GOOD[2], V[2];
  for (int X = 0; X < 2; ++X) {
    ASSERT_TRUE(READREAL(FIELDS[X], GOOD[X]));
    ASSERT_TRUE(SAMEBITS(GOOD[X], std::strtold(FIELDS[X], nullptr)));
  }
  for (const auto& [FIELDBITS, SAYS] : CASES) {
    SCOPED_TRACE(SAYS);
    SETCONTROL(static_cast<uint16_t>(OTHERS | FIELDBITS));
    const std::string REPORT = CHECKREPORT();
    const bool READ = READREAL(FIELDS[0], V[0]) && READREAL(FIELDS[1], V[1]);
    SETCONTROL(START);
    EXPECT_NE(REPORT.find(FPUMODETEXT), std::string::npos) << REPORT;
    EXPECT_NE(REPORT.find(SAYS), std::string::npos) << REPORT;
    EXPECT_TRUE(READ && !(SAMEBITS(V[0], GOOD[0]) && SAMEBITS(V[1], GOOD[1]))) << "the mode makes no difference";
  }
  EXPECT_EQ(CHECKREPORT(), "(none)");
}

TEST(FpuMode, AnExceptionThatTrapsIsFound) {
  // On the word alone: set for real, a trap would end the test at the
  // next inexact result.
  for (uint16_t BIT = 1; BIT <= 0x20; BIT <<= 1)
    EXPECT_NE(FPUFAULT(static_cast<uint16_t>(FPUCONTROL() & ~BIT)).find("exceptions that trap"), std::string::npos)
        << BIT;
}

#else

TEST(FpuMode, TheSoftwareTypeIgnoresTheMode) {
  uint16_t START;
  __asm__ volatile("fnstcw %0" : "=m"(START));
  const char* FIELDS[] = {"1.0000000000000001e-01", "7.0000000000000000e-01", "-2.0506896781179805e-04"};
  TEXTENDED GOOD[3], V;
  for (int X = 0; X < 3; ++X) ASSERT_TRUE(READREAL(FIELDS[X], GOOD[X]));
  const uint16_t OTHERS = START & static_cast<uint16_t>(~(FPUPRECISION | FPUROUNDING));
  for (uint16_t FIELDBITS : {0x0200, 0x0000, 0x0700, 0x0B00, 0x0F00}) {
    SCOPED_TRACE(FIELDBITS);
    SETCONTROL(static_cast<uint16_t>(OTHERS | FIELDBITS));
    const std::string REPORT = CHECKREPORT();
    bool SAME = true;
    for (int X = 0; X < 3; ++X) SAME = READREAL(FIELDS[X], V) && std::memcmp(&V, &GOOD[X], 10) == 0 && SAME;
    SETCONTROL(START);
    EXPECT_EQ(REPORT, "(none)");
    EXPECT_TRUE(SAME);
  }
}

#endif
#endif

}  // namespace
