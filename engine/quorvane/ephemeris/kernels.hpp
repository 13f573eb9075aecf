// Loaded kernels in the user's preference order, barycentric states from a
// kernel's segment chains, and the choice of kernel for a chart date.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/base/vector.hpp"
#include "quorvane/ephemeris/spk.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

constexpr double kAuKm = 149597870.7;

// Relative to the solar-system barycentre: AU and AU/day, ICRF axes.
struct State {
  Vec3 position{};
  Vec3 velocity{};
};

class Kernel {
 public:
  // Fails with `Malformed` "kernel has no segments" for an empty kernel.
  static Expected<Kernel, SpkError> create(std::string name, Spk spk);

  const std::string& name() const { return name_; }
  // The TDB Julian days in which every segment has data.
  double start() const { return start_; }
  double end() const { return end_; }
  const Spk& spk() const { return spk_; }

  // The body's state at TDB = time.whole + time.tdb_fraction; with
  // `records`, its Chebyshev records kept there for the rest of the call.
  Expected<State, SpkError> barycentric(int32_t target, const Time& time,
                                        RecordCache* records = nullptr) const;

  // Whether some segment has the code as its target or its centre.
  bool has_body(int32_t code) const { return bodies_.count(code) != 0; }

 private:
  explicit Kernel(Spk spk) : spk_(std::move(spk)) {}

  std::string name_;
  Spk spk_;
  double start_ = 0.0;
  double end_ = 0.0;
  std::unordered_map<int32_t, size_t> first_segment_;  // target -> first segment in file order
  std::unordered_set<int32_t> bodies_;
};

class KernelSet {
 public:
  void push(Kernel kernel) { kernels_.push_back(std::move(kernel)); }
  // The first kernel, in order, with start <= jd <= end.
  const Kernel* for_jd(double jd) const;
  // The smallest start and the largest end (gaps included), none when empty.
  std::optional<std::pair<double, double>> coverage() const;
  const std::vector<Kernel>& kernels() const { return kernels_; }
  bool empty() const { return kernels_.empty(); }

  // Once per call: every kernel file checked for changes on disk. The sum
  // of their generations (it grows whenever a changed file was accepted
  // anew), or the error of the first kernel whose file no longer reads as
  // it was indexed.
  Expected<uint64_t, EngineError> generation() const;

  // Opens every path in order; the first failure is "{path}: {error}" and
  // nothing loaded so far is kept.
  static Expected<KernelSet, std::string> load(const std::vector<std::string>& paths);

 private:
  std::vector<Kernel> kernels_;
};

// Runs `compute` (giving Expected<T, EngineError>) between two checks of
// the kernel files, so that no change on disk passes for a result: the
// result of a computation during which a file changed is refused.
template <class Compute>
std::invoke_result_t<Compute&> with_unchanged_files(const KernelSet& kernels, Compute&& compute) {
  auto before = kernels.generation();
  if (!before) return unexpected(std::move(before).error());
  auto result = compute();
  auto after = kernels.generation();
  if (!after) return unexpected(std::move(after).error());
  if (*after != *before) {
    return unexpected(EngineError::spk(
        SpkError::io("a kernel file changed on disk during the computation")));
  }
  return result;
}

// The display name of a kernel file: the path's last component.
std::string kernel_name(const std::string& path);

// The kernel a chart at UT Julian day `jd` uses: the one covering jd,
// or the one covering jd + 1 hour (the second instant of the speeds) when
// that differs, so that both instants come from the same kernel.
Expected<const Kernel*, EngineError> choose_kernel(const KernelSet& set, double jd);

}  // namespace quorvane
