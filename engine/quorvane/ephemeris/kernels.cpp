#include "quorvane/ephemeris/kernels.hpp"

#include <cmath>
#include <limits>

#include "quorvane/base/text.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {
namespace {

constexpr size_t kMaxChain = 8;

double et_to_jd(double et) { return et / 86400.0 + kJ2000; }

}  // namespace

Expected<Kernel, SpkError> Kernel::create(std::string name, Spk spk) {
  if (spk.segments().empty()) return unexpected(SpkError::malformed("kernel has no segments"));
  Kernel kernel(std::move(spk));
  kernel.name_ = std::move(name);
  double start = -std::numeric_limits<double>::infinity();
  double end = std::numeric_limits<double>::infinity();
  const auto& segments = kernel.spk_.segments();
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& segment = segments[i];
    const double first = et_to_jd(segment.start_et), last = et_to_jd(segment.end_et);
    if (!std::isnan(first)) start = std::max(start, first);
    if (!std::isnan(last)) end = std::min(end, last);
    kernel.first_segment_.try_emplace(segment.target, i);
    kernel.bodies_.insert(segment.target);
    kernel.bodies_.insert(segment.center);
  }
  kernel.start_ = start;
  kernel.end_ = end;
  return kernel;
}

Expected<State, SpkError> Kernel::barycentric(int32_t target, const Time& time,
                                              RecordCache* records) const {
  State state;
  // The first segment for each body, regardless of the time it covers.
  std::array<const Segment*, kMaxChain> chain{};
  size_t links = 0;
  for (int32_t body = target; body != 0;) {
    if (links == kMaxChain) {
      return unexpected(SpkError::malformed(format("segment chain for %d loops", target)));
    }
    auto found = first_segment_.find(body);
    if (found == first_segment_.end()) return unexpected(SpkError::no_segment(body, 0));
    const Segment& segment = spk_.segments()[found->second];
    chain[links++] = &segment;
    body = segment.center;
  }
  // Summed from the segment nearest the barycentre outwards.
  for (size_t i = links; i-- > 0;) {
    auto part = spk_.segment_state_split(*chain[i], time.whole, time.tdb_fraction, records);
    if (!part) return unexpected(std::move(part).error());
    const auto& s = *part;
    state.position = state.position + Vec3{s[0] / kAuKm, s[1] / kAuKm, s[2] / kAuKm};
    state.velocity = state.velocity + Vec3{s[3] * 86400.0 / kAuKm, s[4] * 86400.0 / kAuKm,
                                           s[5] * 86400.0 / kAuKm};
  }
  return state;
}

const Kernel* KernelSet::for_jd(double jd) const {
  for (const Kernel& kernel : kernels_) {
    if (kernel.start() <= jd && jd <= kernel.end()) return &kernel;
  }
  return nullptr;
}

Expected<uint64_t, EngineError> KernelSet::generation() const {
  uint64_t sum = 0;
  for (const Kernel& kernel : kernels_) {
    auto generation = kernel.spk().generation();
    if (!generation) {
      SpkError error = std::move(generation).error();
      if (auto* io = std::get_if<SpkIo>(&error.kind)) io->message = kernel.name() + ": " + io->message;
      return unexpected(EngineError::spk(std::move(error)));
    }
    sum += *generation;
  }
  return sum;
}

std::optional<std::pair<double, double>> KernelSet::coverage() const {
  if (kernels_.empty()) return std::nullopt;
  double first = kernels_.front().start(), last = kernels_.front().end();
  for (const Kernel& kernel : kernels_) {
    first = std::min(first, kernel.start());
    last = std::max(last, kernel.end());
  }
  return std::make_pair(first, last);
}

std::string kernel_name(const std::string& path) {
  // Like a path's file name: empty and interior "." components do not
  // count, and a last component of "." or ".." (or none at all) gives no
  // name, so the whole path is shown instead.
  std::vector<std::string_view> parts;
  std::string_view rest(path);
  bool first = true;
  while (true) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    if (!part.empty() && !(part == "." && !(first && path[0] != '/'))) parts.push_back(part);
    first = false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  if (!parts.empty() && parts.back() != "." && parts.back() != "..") {
    return decode_utf8_lossy(parts.back());
  }
  return decode_utf8_lossy(path);
}

Expected<KernelSet, std::string> KernelSet::load(const std::vector<std::string>& paths) {
  KernelSet set;
  for (const std::string& path : paths) {
    const auto failure = [&](const SpkError& error) {
      return unexpected(decode_utf8_lossy(path) + ": " + error.text());
    };
    std::string name = kernel_name(path);
    auto spk = Spk::open(path);
    if (!spk) return failure(spk.error());
    auto kernel = Kernel::create(std::move(name), std::move(spk).value());
    if (!kernel) return failure(kernel.error());
    set.push(std::move(kernel).value());
  }
  return set;
}

Expected<const Kernel*, EngineError> choose_kernel(const KernelSet& set, double jd) {
  if (set.empty()) return unexpected(EngineError::out_of_range(jd, std::nullopt));
  const Kernel* chosen = set.for_jd(jd);
  if (!chosen) return unexpected(EngineError::out_of_range(jd, set.coverage()));
  const double later = jd + 1.0 / 24.0;
  const Kernel* at_later = set.for_jd(later);
  if (!at_later) return unexpected(EngineError::out_of_range(later, set.coverage()));
  return at_later == chosen ? chosen : at_later;
}

}  // namespace quorvane
