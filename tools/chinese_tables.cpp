// Raw data for the jie and lunar-year tables, from the engine's own
// calendar searches over a real kernel. Driven by tools/gen_chinese_tables.py,
// which builds this program against the core library and writes the tables.
//
//   chinese_tables KERNEL FIRST_YEAR LAST_YEAR
//
// prints, with Julian days in UT to full precision:
//   jie YEAR INDEX JD           the twelve jie of each Gregorian year, INDEX 0
//                               ("xiaohan") to 11 ("daxue")
//   month START END YEAR MONTH LEAP
//                               every lunar month of the sui from the one
//                               holding month 1 of FIRST_YEAR to the one
//                               holding month 1 of LAST_YEAR + 1, days as
//                               China day numbers, LEAP 0 or 1
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quorvane/chinese/calendar.hpp"
#include "quorvane/time/instant.hpp"

using namespace quorvane;

namespace {

[[noreturn]] void fail(const EngineError& error) {
  std::fprintf(stderr, "%s\n", error.text().c_str());
  std::exit(1);
}

template <class T>
T value_or_exit(Expected<T, EngineError> result) {
  if (!result) fail(result.error());
  return std::move(*result);
}

double jd_of(int year, unsigned month, unsigned day) {
  return UtcInstant::from_civil(year, month, day, 0, 0, 0, 0).julian_day();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s KERNEL FIRST_YEAR LAST_YEAR\n", argv[0]);
    return 2;
  }
  auto loaded = KernelSet::load({argv[1]});
  if (!loaded) {
    std::fprintf(stderr, "%s\n", loaded.error().c_str());
    return 1;
  }
  const KernelSet kernels = std::move(*loaded);
  const chinese::Sky sky(kernels);
  const int first_year = std::atoi(argv[2]);
  const int last_year = std::atoi(argv[3]);

  // The jie of a year in time order: xiaohan (285) near 6 January, then
  // every 30 degrees, about 30.44 days apart.
  for (int year = first_year; year <= last_year; ++year) {
    double guess = jd_of(year, 1, 6);
    for (int index = 0; index < 12; ++index) {
      const double target = static_cast<double>((285 + 30 * index) % 360);
      const double jd = value_or_exit(sky.sun_at(target, guess));
      std::printf("jie %d %d %.17g\n", year, index, jd);
      guess = jd + 30.44;
    }
  }

  // Sui from the solstice of December (first_year - 2), so that month 1 of
  // first_year is inside, to the one that ends after month 1 of last_year + 1.
  double solstice = value_or_exit(sky.sun_before(270.0, jd_of(first_year - 1, 1, 1)));
  const double stop = jd_of(last_year + 2, 1, 1);
  while (solstice < stop) {
    const chinese::Sui sui = value_or_exit(sky.sui(solstice));
    for (const chinese::Month& m : sui.months) {
      std::printf("month %lld %lld %d %u %d\n", static_cast<long long>(m.start),
                  static_cast<long long>(m.end), m.year, static_cast<unsigned>(m.month),
                  m.leap ? 1 : 0);
    }
    solstice = sui.next_solstice;
  }
  return 0;
}
