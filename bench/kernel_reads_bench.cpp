// What reading a kernel file by positional reads through the record cache
// costs a chart, against reading the same bytes from memory (what the old
// mapping of the file cost once its pages were resident).
//
//   kernel_reads_bench --kernel=/path/to/de440.bsp [--rounds=N]
//
// Each round times the same charts over both kernel sets, the two
// alternating in the same run, and the medians of the rounds are printed
// in CPU time of the thread (user and system, so the reads' system calls
// count; wall time on a machine shared with compilers says little):
// charts at random dates over the kernel (every chart reads records it has
// not read before) and charts one minute apart (the records are cached).

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "quorvane/chart/chart.hpp"

namespace {

using namespace quorvane;

double thread_cpu_us() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

KernelSet in_memory(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  auto spk = Spk::load(Storage::memory(std::move(bytes)));
  if (!spk) {
    std::fprintf(stderr, "%s\n", spk.error().text().c_str());
    std::exit(1);
  }
  auto kernel = Kernel::create(kernel_name(path), std::move(*spk));
  if (!kernel) std::exit(1);
  KernelSet set;
  set.push(std::move(*kernel));
  return set;
}

// Random dates from 1620 to 2440, new ones each round; or a run of
// minutes, the same each round.
std::vector<ChartRequest> requests(bool random_dates, size_t count, uint64_t round) {
  std::mt19937_64 rng(11 + round);
  std::uniform_int_distribution<int64_t> micros(-11'000'000'000'000'000, 15'000'000'000'000'000);
  const int64_t start = UtcInstant::parse("2024-03-20T00:00:00Z")->micros();
  std::vector<ChartRequest> out(count);
  for (size_t i = 0; i < count; ++i) {
    out[i].moment = UtcInstant(random_dates ? micros(rng) : start + int64_t(i) * 60'000'000);
    out[i].latitude = 51.48;
    out[i].longitude = -0.0015;
  }
  return out;
}

// Microseconds per chart over `set`, each checked for changes on disk as
// a call from Python is.
double per_chart(const KernelSet& set, const std::vector<ChartRequest>& work) {
  const double start = thread_cpu_us();
  size_t failures = 0;
  for (const ChartRequest& request : work) {
    failures += !with_unchanged_files(set, [&] { return calculate_chart(set, request); });
  }
  const double us = thread_cpu_us() - start;
  if (failures) std::fprintf(stderr, "%zu charts failed\n", failures);
  return us / static_cast<double>(work.size());
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  int rounds = 15;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) path = argv[i] + 9;
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) rounds = std::max(1, std::atoi(argv[i] + 9));
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: %s --kernel=PATH [--rounds=N]\n", argv[0]);
    return 2;
  }
  const KernelSet memory = in_memory(path);
  auto loaded = KernelSet::load({path});
  if (!loaded) {
    std::fprintf(stderr, "%s\n", loaded.error().c_str());
    return 1;
  }
  const KernelSet& file = *loaded;

  for (bool random_dates : {true, false}) {
    per_chart(memory, requests(random_dates, 100, 0));  // warm up
    per_chart(file, requests(random_dates, 100, 0));
    std::vector<double> from_memory, from_file;
    for (int round = 1; round <= rounds; ++round) {
      const auto work = requests(random_dates, 100, static_cast<uint64_t>(round));
      from_memory.push_back(per_chart(memory, work));
      from_file.push_back(per_chart(file, work));
    }
    const double m = median(from_memory), f = median(from_file);
    std::printf("%-18s memory %7.1f us/chart   file %7.1f us/chart   file/memory %.3f\n",
                random_dates ? "random dates" : "one minute apart", m, f, f / m);
  }
  return 0;
}
