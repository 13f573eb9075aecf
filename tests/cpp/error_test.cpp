#include "quorvane/base/error.hpp"

#include <gtest/gtest.h>

namespace {

using quorvane::EngineError;
using quorvane::SpkError;

TEST(EngineErrorText, Variants) {
  EXPECT_EQ(EngineError::out_of_range(2816787.5, std::make_pair(2287184.5, 2688976.5)).text(),
            "JD 2816787.5 is outside the loaded ephemeris coverage (JD 2287184.5 to 2688976.5)");
  EXPECT_EQ(EngineError::out_of_range(2451545.04, std::nullopt).text(),
            "JD 2451545.04 cannot be computed: no ephemeris loaded");
  EXPECT_EQ(EngineError::invalid_input("bad").text(), "invalid input: bad");
  EXPECT_EQ(EngineError::spk(SpkError::no_segment(599, 0)).text(),
            "kernel has no segment for 0 -> 599");
}

TEST(SpkErrorText, Variants) {
  EXPECT_EQ(SpkError::io("No such file or directory (os error 2)").text(),
            "SPK I/O error: No such file or directory (os error 2)");
  EXPECT_EQ(SpkError::malformed("word address 0").text(), "malformed SPK file: word address 0");
  EXPECT_EQ(SpkError::unsupported_type(13).text(), "unsupported SPK segment type 13");
  EXPECT_EQ(SpkError::not_covered(301, 3, 1.25e9).text(),
            "no SPK segment for 3 -> 301 covers ET 1250000000.0 s");
}

}  // namespace
