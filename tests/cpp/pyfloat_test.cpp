#include "quorvane/base/pyfloat.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "support.hpp"

namespace {

using quorvane::pyfloat::round;

TEST(PyFloatRound, KnownValues) {
  EXPECT_EQ(round(2.675, 2), 2.67);  // the double just below 2.675
  EXPECT_EQ(round(0.125, 2), 0.12);  // exact tie: even digit
  EXPECT_EQ(round(0.375, 2), 0.38);
  EXPECT_EQ(round(2.5, 0), 2.0);
  EXPECT_EQ(round(-2.5, 0), -2.0);
  EXPECT_TRUE(std::signbit(round(-0.4, 0)));
  EXPECT_TRUE(std::isnan(round(std::nan(""), 3)));
  EXPECT_EQ(round(std::numeric_limits<double>::infinity(), 3),
            std::numeric_limits<double>::infinity());
  EXPECT_EQ(round(1.7976931348623157e308, 2), 1.7976931348623157e308);
  EXPECT_EQ(round(5e-324, 65535), 5e-324);
}

// Every value Python rounds must round to the same bits here.
TEST(PyFloatRound, AgreesWithPythonOnRandomAndAdversarialDoubles) {
  const std::string vectors =
      quorvane::testing::run_python("tests/cpp/reference/pyfloat_vectors.py", {"100000"});
  ASSERT_FALSE(vectors.empty()) << "reference script failed";
  std::istringstream lines(vectors);
  std::string line;
  size_t checked = 0;
  std::string seed;
  while (std::getline(lines, line)) {
    if (line.rfind("#", 0) == 0) {
      seed = line;
      continue;
    }
    std::istringstream fields(line);
    std::string x_text, expected_text;
    unsigned digits = 0;
    fields >> x_text >> digits >> expected_text;
    const double x = std::strtod(x_text.c_str(), nullptr);
    const double expected = std::strtod(expected_text.c_str(), nullptr);
    const double got = round(x, digits);
    ASSERT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(expected))
        << seed << ": round(" << x_text << ", " << digits << ")";
    ++checked;
  }
  EXPECT_GE(checked, 100000u);
}

}  // namespace
