// Timing of the predictive searches, each beside the way it would be done
// without them, in the same run:
// - the next solar return (exact, mean-motion guess and a root search)
//   beside stepping the chart bodies a day at a time to the same day;
// - the transit timeline of the ten bodies to a natal chart over a year
//   beside stepping the chart bodies a day at a time over that year (which
//   gives no exact moments at all).
//
//   predictive_bench --kernel=/path/to/de440.bsp [google benchmark flags]

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quorvane/astronomy/planets.hpp"
#include "quorvane/predictive/returns.hpp"
#include "quorvane/predictive/timeline.hpp"

namespace {

using namespace quorvane;

KernelSet* g_kernels = nullptr;

std::vector<double> random_days(size_t n) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dates(2433282.0, 2469807.0);  // 1950 to 2050
  std::vector<double> out(n);
  for (double& jd : out) jd = dates(rng);
  return out;
}

void BM_NextSolarReturn(benchmark::State& state) {
  const LongitudeSource source(*g_kernels, {});
  const auto days = random_days(256);
  size_t i = 0;
  for (auto _ : state) {
    const double after = days[i++ % days.size()];
    auto jd = next_return(source, 10, 117.3, after, 400.0);
    benchmark::DoNotOptimize(jd);
  }
}

// The old way: the chart bodies day by day until the Sun passes the degree.
void BM_SolarReturnByDailyCharts(benchmark::State& state) {
  const auto days = random_days(256);
  size_t i = 0;
  for (auto _ : state) {
    double t = days[i++ % days.size()];
    double previous = -1.0;
    for (int day = 0; day < 370; ++day, t += 1.0) {
      auto bodies = planets_and_sidereal_time(*g_kernels, t, 0.0);
      const double offset = signed_difference(bodies->bodies.front().longitude, 117.3);
      if (previous < 0.0 && offset >= 0.0 && day > 0) break;
      previous = offset;
    }
    benchmark::DoNotOptimize(t);
  }
}

TimelineRequest year_request(double start) {
  TimelineRequest request;
  request.start = start;
  request.end = start + 365.25;
  auto natal = planets_and_sidereal_time(*g_kernels, 2448088.0, 0.0);  // 1990-07-15
  for (const BodyPosition& b : natal->bodies) {
    request.natal.push_back({std::string(b.name), b.longitude});
  }
  request.natal.push_back({"Ascendant", 123.4});
  request.natal.push_back({"Midheaven", 33.3});
  std::array<double, 12> cusps{};
  for (int i = 0; i < 12; ++i) cusps[i] = 123.4 + 30.0 * i - (i >= 10 ? 360.0 : 0.0);
  request.natal_cusps = cusps;
  return request;
}

void BM_TransitTimelineYear(benchmark::State& state) {
  const auto days = random_days(16);
  size_t i = 0;
  for (auto _ : state) {
    auto timeline = transit_timeline(*g_kernels, year_request(days[i++ % days.size()]));
    benchmark::DoNotOptimize(timeline);
  }
}

void BM_DailyChartBodiesYear(benchmark::State& state) {
  const auto days = random_days(16);
  size_t i = 0;
  for (auto _ : state) {
    double t = days[i++ % days.size()];
    for (int day = 0; day < 366; ++day, t += 1.0) {
      auto bodies = planets_and_sidereal_time(*g_kernels, t, 0.0);
      benchmark::DoNotOptimize(bodies);
    }
  }
}

// One exact longitude: what every search step costs.
void BM_OneApparentLongitude(benchmark::State& state) {
  const LongitudeSource source(*g_kernels, {});
  const auto days = random_days(256);
  size_t i = 0;
  for (auto _ : state) {
    auto value = source.longitude(10, days[i++ % days.size()]);
    benchmark::DoNotOptimize(value);
  }
}

BENCHMARK(BM_OneApparentLongitude)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NextSolarReturn)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SolarReturnByDailyCharts)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TransitTimelineYear)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DailyChartBodiesYear)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  std::string kernel;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) {
      kernel = argv[i] + 9;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (kernel.empty()) {
    std::fprintf(stderr, "usage: predictive_bench --kernel=PATH\n");
    return 2;
  }
  auto set = KernelSet::load({kernel});
  if (!set) {
    std::fprintf(stderr, "%s\n", set.error().c_str());
    return 1;
  }
  g_kernels = &*set;
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
