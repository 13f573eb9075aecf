// Timing of the chart bodies: `planets_and_sidereal_time` at random dates
// over the kernel (ten apparent places at two instants, nodes, Chiron,
// Lilith, sidereal time).
//
//   planets_bench --kernel=/path/to/de440.bsp [google benchmark flags]
//
// bench/bench_skyfield_apparent.py times skyfield doing the same ten
// apparent places at two instants, for comparison.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quorvane/astronomy/planets.hpp"

namespace {

using namespace quorvane;

KernelSet* g_kernels = nullptr;

void BM_PlanetsAndSiderealTime(benchmark::State& state) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dates(2305448.0, 2670000.0);  // 1600 to 2600
  std::vector<double> jds(4096);
  for (double& jd : jds) jd = dates(rng);
  size_t i = 0;
  for (auto _ : state) {
    auto result = planets_and_sidereal_time(*g_kernels, jds[i++ % jds.size()], 0.0);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_PlanetsAndSiderealTime)->Unit(benchmark::kMicrosecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

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
    std::fprintf(stderr, "usage: planets_bench --kernel=PATH\n");
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
