// libFuzzer target: any byte block loaded as a kernel, then every segment
// and every chain evaluated at a few instants. Loading and evaluation must
// return errors, never crash, read out of bounds or allocate without bound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/ephemeris/spk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvane;
  auto spk = Spk::load(Storage::memory(std::vector<uint8_t>(data, data + size)));
  if (!spk) {
    (void)spk.error().text();
    return 0;
  }
  // Instants: fixed ones, each segment's ends and middle, and one taken
  // from the input's last bytes.
  std::vector<std::pair<double, double>> instants = {{2451545.0, 0.0}, {2451545.0, 0.5}, {0.0, 0.0}};
  if (size >= 16) {
    double whole, fraction;
    std::memcpy(&whole, data + size - 16, 8);
    std::memcpy(&fraction, data + size - 8, 8);
    instants.emplace_back(whole, fraction);
  }
  const auto& segments = spk->segments();
  for (size_t i = 0; i < segments.size() && i < 64; ++i) {
    const Segment& s = segments[i];
    for (double et : {s.start_et, s.end_et, 0.5 * (s.start_et + s.end_et), s.init,
                      s.init + static_cast<double>(s.n) * s.intlen}) {
      instants.emplace_back(2451545.0, et / 86400.0);
    }
  }
  for (size_t i = 0; i < segments.size() && i < 64; ++i) {
    for (const auto& [whole, fraction] : instants) {
      auto state = spk->segment_state_split(segments[i], whole, fraction);
      if (!state) (void)state.error().text();
    }
  }
  std::vector<int32_t> targets;
  for (size_t i = 0; i < segments.size() && i < 16; ++i) targets.push_back(segments[i].target);
  auto kernel = Kernel::create("fuzz.bsp", std::move(spk).value());
  if (!kernel) return 0;
  KernelSet set;
  set.push(std::move(kernel).value());
  for (double jd : {2451545.0, set.kernels()[0].start(), set.kernels()[0].end()}) {
    auto chosen = choose_kernel(set, jd);
    if (!chosen) (void)chosen.error().text();
  }
  for (int32_t target : targets) {
    for (const auto& [whole, fraction] : instants) {
      Time time;
      time.whole = whole;
      time.tdb_fraction = fraction;
      auto state = set.kernels()[0].barycentric(target, time);
      if (!state) (void)state.error().text();
    }
  }
  return 0;
}
