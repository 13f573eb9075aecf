// Wall time of one election search over 30 and over 92 days at the default
// 10-minute step (with and without the daytime-only filter, which skips
// the night samples before any chart work), and of one sample's assessment.
//
//   election_bench --kernel=/path/to/de440.bsp [google benchmark flags]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "quorvane/election/election.hpp"
#include "quorvane/election/election_search.hpp"

namespace {

using namespace quorvane;

KernelSet* g_kernels = nullptr;

ChartRequest london(std::string_view start) {
  ChartRequest request;
  request.moment = *UtcInstant::parse(start);
  request.latitude = 51.5074;
  request.longitude = -0.1278;
  return request;
}

void search(benchmark::State& state, const char* criteria_text) {
  const ChartRequest request = london("2024-01-01T00:00:00Z");
  const UtcInstant end(request.moment.micros() + state.range(0) * UtcInstant::kMicrosPerDay);
  const ElectionCriteria criteria = *ElectionCriteria::from_text(criteria_text);
  uint32_t evaluated = 0;
  for (auto _ : state) {
    auto result = search_elections(*g_kernels, request, end, criteria);
    if (!result) {
      state.SkipWithError(result.error().text().c_str());
      return;
    }
    evaluated = result->evaluated;
    benchmark::DoNotOptimize(result);
  }
  state.counters["samples_assessed"] = evaluated;
}

void BM_Search(benchmark::State& state) { search(state, "null"); }
BENCHMARK(BM_Search)->Arg(30)->Arg(92)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchDaytimeOnly(benchmark::State& state) { search(state, R"({"daytime_only": true})"); }
BENCHMARK(BM_SearchDaytimeOnly)->Arg(30)->Arg(92)->Unit(benchmark::kMillisecond)->UseRealTime();

// One exact election chart, for comparison with the per-sample cost above.
void BM_ElectionChart(benchmark::State& state) {
  const ChartRequest request = london("2024-01-10T09:00:00Z");
  const ElectionCriteria criteria;
  for (auto _ : state) {
    auto chart = calculate_election_chart(*g_kernels, request, criteria);
    if (!chart) {
      state.SkipWithError(chart.error().text().c_str());
      return;
    }
    benchmark::DoNotOptimize(chart);
  }
}
BENCHMARK(BM_ElectionChart)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::string kernel_path;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) {
      kernel_path = argv[i] + 9;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (kernel_path.empty()) {
    std::fprintf(stderr, "usage: %s --kernel=PATH [benchmark flags]\n", argv[0]);
    return 2;
  }
  auto loaded = KernelSet::load({kernel_path});
  if (!loaded) {
    std::fprintf(stderr, "%s\n", loaded.error().c_str());
    return 1;
  }
  g_kernels = new KernelSet(std::move(*loaded));

  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
