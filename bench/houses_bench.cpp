// Cusps of every house system per call, beside Placidus, in one run: the
// same random RAMCs, latitudes (within the polar circles) and Sun
// declinations for each system, interleaved round by round so that a busy
// machine slows all of them alike. Prints the median thread CPU time of a
// call and its ratio to Placidus.
//
//   houses_bench [--calls=20000] [--rounds=15]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/options.hpp"

namespace {

using namespace quorvane;

double thread_cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e9 + static_cast<double>(t.tv_nsec);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int calls = 20000, rounds = 15;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--calls=", 8) == 0) calls = std::stoi(argv[i] + 8);
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) rounds = std::stoi(argv[i] + 9);
  }
  struct Input {
    double ramc, latitude, sun;
  };
  std::mt19937_64 rng(37);
  std::uniform_real_distribution<double> ramc(0.0, 360.0), lat(-66.0, 66.0), sun(-23.4, 23.4);
  std::vector<Input> inputs(calls);
  for (Input& in : inputs) in = {ramc(rng), lat(rng), sun(rng)};

  const size_t n = kHouseSystemCodes.size();
  std::vector<std::vector<double>> per_call(n);
  double sink = 0.0;
  for (int round = 0; round < rounds; ++round) {
    for (size_t s = 0; s < n; ++s) {
      const HouseSystem system(static_cast<HouseSystem::Value>(s));
      const double start = thread_cpu_ns();
      for (const Input& in : inputs) {
        sink += houses_at_ramc(system, in.ramc, in.latitude, 23.44, in.sun).cusps[10];
      }
      per_call[s].push_back((thread_cpu_ns() - start) / calls);
    }
  }
  const double placidus = median(per_call[HouseSystem::Placidus]);
  std::printf("%-4s %-26s %12s %8s\n", "code", "system", "ns per call", "/ P");
  for (size_t s = 0; s < n; ++s) {
    const double m = median(per_call[s]);
    std::printf("%-4s %-26s %12.0f %8.2f\n", std::string(kHouseSystemCodes[s].code).c_str(),
                std::string(kHouseSystemCodes[s].name).c_str(), m, m / placidus);
  }
  std::fprintf(stderr, "(%g)\n", sink);
  return 0;
}
