// Planet factors (FORFACTOM) and power tables (POWOMEL) against published
// figures, their bit-exact recurrences, the planet names and the bounds of
// the checked arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "testbits.hpp"
#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unvarpow.hpp"

namespace {

// E with ten significant digits, as "%.9LE" writes it.
std::string TEN(TEXTENDED E) {
  std::string T = LIBRARYSCIENTIFIC(E, 9);
  T[T.find('e')] = 'E';
  return T;
}

class PlanetFactors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FORFACTOM();
    POWOMEL();
  }
};

TEST_F(PlanetFactors, MassesAndMeanMotionsMatchThePublishedFigures) {
  const char* FAMUSTEXT[] = {"4.912547451E-11", "7.243452486E-10", "8.997011347E-10", "9.549535106E-11",
                             "2.825345910E-07", "8.459715186E-08", "1.292024917E-08", "1.524358901E-08"};
  const char* FAMUPTEXT[] = {"2.959122574E-04", "2.959129818E-04", "2.959138815E-04", "2.959139770E-04",
                             "2.961965115E-04", "2.962811087E-04", "2.962940289E-04", "2.963092725E-04"};
  const char* VALANTEXT[] = {"7.142480717E-02", "2.796249062E-02", "1.720217855E-02", "9.146154646E-03",
                             "1.450346717E-03", "5.835877770E-04", "2.046978184E-04", "1.043880573E-04"};
  const char* PERIODTEXT[] = {"87.9692", "224.7005", "365.2552", "686.9756",
                              "4332.1954", "10766.4786", "30694.9305", "60190.6528"};
  for (int N = 1; N <= MAXIPA; ++N) {
    SCOPED_TRACE(N);
    EXPECT_EQ(TEN(FAMUS[N]), FAMUSTEXT[N - 1]);
    EXPECT_EQ(TEN(FAMUP[N]), FAMUPTEXT[N - 1]);
    EXPECT_EQ(TEN(VALAN[N]), VALANTEXT[N - 1]);
    EXPECT_TRUE(SAMEBITS(VALAX[N], SEMIMAJORAXI[N]));
    EXPECT_EQ(LIBRARYFIXED(TWOPIEXT / VALAN[N], 0, 4), PERIODTEXT[N - 1]);
    if (N > 1) {
      EXPECT_GT(FAMUP[N], FAMUP[N - 1]);
    }
  }
  // The first mass to twelve digits: the quotient is 4.91254745145e-11.
  EXPECT_EQ(LIBRARYSCIENTIFIC(FAMUS[1], 11).substr(0, 12), "4.9125474514");
  EXPECT_NEAR(APPROX(FAMUP[8] / SQRGAUK), 1.0013, 1e-4);
  EXPECT_NEAR(APPROX(TWOPIEXT / VALAN[8] / 365.25_EXT), 164.79, 0.005);
}

// With the hardware's operations where long double is the x87 type: the
// factors of a build with the software type are the hardware's bits too.
TEST_F(PlanetFactors, FactorsFollowTheirOperationsBitForBit) {
  SKIPWITHOUTX87();
  volatile long double K = LDOF(GAUSSK);
  volatile long double K2 = K * K;
  EXPECT_TRUE(SAMEBITS(SQRGAUK, EXTOF(K2)));
  volatile long double SUM = K2;
  for (int N = 1; N <= MAXIPA; ++N) {
    SCOPED_TRACE(N);
    volatile long double MASS = LDOF(SYSTEMOFMASS[N]);
    volatile long double Q = K2 / MASS;
    EXPECT_TRUE(SAMEBITS(FAMUS[N], EXTOF(Q)));
    SUM = Q + SUM;
    EXPECT_TRUE(SAMEBITS(FAMUP[N], EXTOF(SUM)));
    volatile long double A = LDOF(SEMIMAJORAXI[N]);
    volatile long double A2 = A * A;
    volatile long double A3 = A2 * A;
    volatile long double R = SUM / A3;
    volatile long double S = std::sqrt(static_cast<long double>(R));
    EXPECT_TRUE(SAMEBITS(VALAN[N], EXTOF(S)));
  }
}

TEST_F(PlanetFactors, AxisPowersAndHalvings) {
  EXPECT_EQ(POWAR[0], 1.0_EXT);
  EXPECT_EQ(POWAR[10], 1.0_EXT / 1024.0_EXT);
  for (int K = 0; K <= MAXHALF; ++K) EXPECT_TRUE(SAMEBITS(POWAR[K], FROMBITS(0, 16383 - K, false))) << K;

  EXPECT_NEAR(APPROX(AXIPO[8][30] / 2.210223E44_EXT), 1.0, 1e-6);
  EXPECT_NEAR(APPROX(AXIPO[1][-30] / 2.319274E12_EXT), 1.0, 1e-6);
  EXPECT_NEAR(APPROX(AXIPO[3][30]), 0.99996400, 1e-8);
  EXPECT_NEAR(APPROX(AXIPO[3][-30]), 1.00003600, 1e-8);
  for (int N = 1; N <= MAXIPA; ++N) {
    SCOPED_TRACE(N);
    EXPECT_EQ(AXIPO[N][0], 1.0_EXT);
    EXPECT_TRUE(SAMEBITS(AXIPO[N][1], VALAX[N]));
    // Repeated multiplication upwards, repeated division downwards.
    const TEXTENDED A = VALAX[N];
    TEXTENDED P = 1.0_EXT;
    for (int K = 1; K <= MAXAXIEXP; ++K) {
      P = A * P;
      ASSERT_TRUE(SAMEBITS(AXIPO[N][K], P)) << "k = " << K;
    }
    P = 1.0_EXT;
    for (int K = -1; K >= -MAXAXIEXP; --K) {
      P = P / A;
      ASSERT_TRUE(SAMEBITS(AXIPO[N][K], P)) << "k = " << K;
    }
  }
}

TEST_F(PlanetFactors, NamesAreTwelveCharactersRightAligned) {
  const char* PLAIN[] = {"Mercury", "Venus", "Earth-Moon", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune"};
  for (int N = 1; N <= MAXIPA; ++N) {
    std::string S = NAMEOFPLANET[N];
    ASSERT_EQ(S.size(), 12u) << N;
    EXPECT_EQ(S, std::string(12 - std::strlen(PLAIN[N - 1]), ' ') + PLAIN[N - 1]);
  }
}

TEST_F(PlanetFactors, IndexesOutsideTheBoundsAreRangeErrors) {
  SETFATALTHROWS(true);
  auto KINDOF = [](auto F) -> std::string {
    try {
      F();
    } catch (const TFATAL& E) {
      EXPECT_NE(E.REPORT.find(RANGETEXT), std::string::npos) << E.REPORT;
      return E.KIND;
    }
    return "(none)";
  };
  EXPECT_EQ(KINDOF([] { (void)AXIPO[1][31]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)AXIPO[1][-31]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)AXIPO[0][0]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)AXIPO[9][0]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)POWAR[MAXHALF + 1]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)POWAR[-1]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)FAMUS[0]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([] { (void)NAMEOFPLANET[9]; }), RANGETEXT);
  std::unique_ptr<TROWDIM> T(new TROWDIM);
  TROWDIM& R = *T;
  EXPECT_EQ(KINDOF([&R] { (void)R[0]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([&R] { (void)R[74968]; }), RANGETEXT);
  EXPECT_EQ(KINDOF([&R] { R[1].MEC[7] = 0; }), RANGETEXT);
  EXPECT_EQ(KINDOF([&R] { R[1].MAR[0] = 0; }), RANGETEXT);
  // The first and last rows are inside.
  EXPECT_EQ(KINDOF([&R] { R[1].FCS = 'S'; R[MAXARR].FCS = 'C'; }), "(none)");
  // The check without the access reports an index as the access does.
  auto REPORTOF = [](auto F) -> std::string {
    try {
      F();
    } catch (const TFATAL& E) {
      return E.REPORT;
    }
    return "(none)";
  };
  EXPECT_EQ(REPORTOF([] { AXIPO[1].CHECKINDEX(-31); }), REPORTOF([] { (void)AXIPO[1][-31]; }));
  EXPECT_EQ(REPORTOF([&R] { R.CHECKINDEX(MAXARR + 1); }), REPORTOF([&R] { (void)R[MAXARR + 1]; }));
  EXPECT_EQ(REPORTOF([&R] { R.CHECKINDEX(1); R.CHECKINDEX(MAXARR); }), "(none)");
  // The report names the index and the bounds.
  try {
    (void)AXIPO[1][31];
  } catch (const TFATAL& E) {
    EXPECT_NE(E.REPORT.find("31"), std::string::npos) << E.REPORT;
    EXPECT_NE(E.REPORT.find("-30"), std::string::npos) << E.REPORT;
  }
}

}  // namespace
