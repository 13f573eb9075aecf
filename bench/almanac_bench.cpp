// Timings of the almanac: one solar day (`rise_set`), the sun events of a
// 95-day span (`SunEvents::find`) and the single Sun-up test both repeat.
// Each reports the number of Sun-up tests per call as a counter.
//
//   almanac_bench --kernel=/path/to/de440.bsp [--memory] [google benchmark flags]
//
// With --memory the kernel is read into memory first, which shows how much
// of the time goes to reading records from the file.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/time/time_scales.hpp"

namespace {

using namespace quorvane;

KernelSet* g_kernels = nullptr;

constexpr double kLatitude = 51.5074;  // London
constexpr double kLongitude = -0.1278;
constexpr double kFirstDay = 2460310.5;  // 2024-01-01 00:00 UT

double tt_of_ut(double jd) {
  const Time t = Time::from_ut1(jd);
  return t.whole + t.tt_fraction;
}

// Sun-up tests that a search over UT a..b asks for.
double tests_over(double a, double b) {
  const Kernel& kernel = *g_kernels->for_jd(a);
  const SurfaceObserver observer = SurfaceObserver::at(kLatitude, kLongitude);
  long calls = 0;
  auto counted = [&](double tt) {
    ++calls;
    return sun_is_up(kernel, observer, tt);
  };
  auto found = find_transitions(tt_of_ut(a), tt_of_ut(b), counted);
  if (!found) std::fprintf(stderr, "search failed: %s\n", found.error().text().c_str());
  return static_cast<double>(calls);
}

void BM_SunIsUp(benchmark::State& state) {
  const Kernel& kernel = g_kernels->kernels().front();
  const SurfaceObserver observer = SurfaceObserver::at(kLatitude, kLongitude);
  double tt = kFirstDay;
  for (auto _ : state) {
    auto up = sun_is_up(kernel, observer, tt);
    benchmark::DoNotOptimize(up);
    tt += 0.0137;
  }
}
BENCHMARK(BM_SunIsUp);

// One solar day, on a different date each call (a year of dates in turn).
void BM_RiseSet(benchmark::State& state) {
  int day = 0;
  for (auto _ : state) {
    auto triple = rise_set(*g_kernels, kFirstDay + 0.3 + day, kLatitude, kLongitude);
    if (!triple) state.SkipWithError(triple.error().text().c_str());
    benchmark::DoNotOptimize(triple);
    day = (day + 1) % 365;
  }
  double tests = 0;
  for (int d = 0; d < 365; d += 30) tests += tests_over(kFirstDay + 0.3 + d - 1.5, kFirstDay + 0.3 + d + 1.5);
  state.counters["sun_up_tests"] = tests / 13.0;
}
BENCHMARK(BM_RiseSet)->Unit(benchmark::kMillisecond);

void BM_SunEventsFind95Days(benchmark::State& state) {
  for (auto _ : state) {
    auto events = SunEvents::find(*g_kernels, kFirstDay, kFirstDay + 95.0, kLatitude, kLongitude);
    if (!events || !events->has_value()) state.SkipWithError("no sun events");
    benchmark::DoNotOptimize(events);
  }
  state.counters["sun_up_tests"] = tests_over(kFirstDay, kFirstDay + 95.0);
}
BENCHMARK(BM_SunEventsFind95Days)->Unit(benchmark::kMillisecond);

// Cutting one solar day out of the precomputed events.
void BM_SunEventsRiseSet(benchmark::State& state) {
  auto events = SunEvents::find(*g_kernels, kFirstDay, kFirstDay + 95.0, kLatitude, kLongitude);
  if (!events || !events->has_value()) {
    state.SkipWithError("no sun events");
    return;
  }
  double jd = kFirstDay + 2.0;
  for (auto _ : state) {
    auto triple = (*events)->rise_set(jd);
    benchmark::DoNotOptimize(triple);
    jd += 0.007;
    if (jd > kFirstDay + 93.0) jd = kFirstDay + 2.0;
  }
}
BENCHMARK(BM_SunEventsRiseSet);

}  // namespace

int main(int argc, char** argv) {
  std::string kernel_path;
  bool in_memory = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) {
      kernel_path = argv[i] + 9;
    } else if (std::strcmp(argv[i], "--memory") == 0) {
      in_memory = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (kernel_path.empty()) {
    std::fprintf(stderr, "usage: %s --kernel=PATH [benchmark flags]\n", argv[0]);
    return 2;
  }
  if (in_memory) {
    std::ifstream in(kernel_path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    auto spk = Spk::load(Storage::memory(std::move(bytes)));
    if (!spk) {
      std::fprintf(stderr, "%s\n", spk.error().text().c_str());
      return 1;
    }
    auto kernel = Kernel::create(kernel_name(kernel_path), std::move(*spk));
    if (!kernel) {
      std::fprintf(stderr, "%s\n", kernel.error().text().c_str());
      return 1;
    }
    g_kernels = new KernelSet();
    g_kernels->push(std::move(*kernel));
  } else {
    auto loaded = KernelSet::load({kernel_path});
    if (!loaded) {
      std::fprintf(stderr, "%s\n", loaded.error().c_str());
      return 1;
    }
    g_kernels = new KernelSet(std::move(*loaded));
  }

  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
