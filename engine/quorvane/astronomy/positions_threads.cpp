#include "quorvane/astronomy/positions_threads.hpp"

#include <algorithm>
#include <new>

namespace quorvane {
namespace {

// Body-moments per run a thread takes: a few milliseconds of work, short
// enough that a stop is seen quickly and the threads end together.
constexpr size_t kCellsPerRun = 2'000;

}  // namespace

unsigned default_position_threads(size_t cells) {
  if (cells < kThreadedPositionsCells) return 1;
  return std::max(1u, std::thread::hardware_concurrency());
}

PositionsWork::PositionsWork(const KernelSet& kernels, const PositionsRequest& request,
                             std::span<const size_t> order, PositionColumns* columns,
                             unsigned threads)
    : kernels_(kernels),
      request_(request),
      order_(order),
      columns_(columns),
      run_length_(std::max<size_t>(1, kCellsPerRun / std::max<size_t>(1, request.bodies.size()))),
      next_(0),
      skip_from_(request.jds.size()) {
  const size_t runs = (order.size() + run_length_ - 1) / run_length_;
  const size_t count = std::clamp<size_t>(threads, 1, std::max<size_t>(1, runs));
  running_ = count;
  threads_.reserve(count);
  try {
    for (size_t i = 0; i < count; ++i) threads_.emplace_back([this] { run(); });
  } catch (...) {
    // Threads that did start finish the batch; the others never count.
    std::lock_guard<std::mutex> lock(mutex_);
    running_ -= count - threads_.size();
    if (threads_.empty()) throw;
    if (running_ == 0) finished_.notify_all();
  }
}

PositionsWork::~PositionsWork() {
  stop();
  for (std::thread& thread : threads_) thread.join();
}

void PositionsWork::run() {
  // Runs go on past a failure, for moments of smaller index: the batch
  // reports the failure of the smallest index, wherever in the order it lies.
  const auto at = [](const PositionsFailure& f) { return f.moment.value_or(0); };
  std::optional<PositionsFailure> failed;
  bool out_of_memory = false;
  try {
    while (!stop_.load(std::memory_order_relaxed)) {
      const size_t first = next_.fetch_add(run_length_, std::memory_order_relaxed);
      if (first >= order_.size()) break;
      const size_t count = std::min(run_length_, order_.size() - first);
      auto run_failed = fill_positions_in_order(kernels_, request_, order_.subspan(first, count),
                                                &skip_from_, columns_);
      if (run_failed && (!failed || at(*run_failed) < at(*failed))) failed = std::move(run_failed);
    }
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
    stop();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  out_of_memory_ = out_of_memory_ || out_of_memory;
  if (failed && (!failure_ || at(*failed) < at(*failure_))) failure_ = std::move(failed);
  if (--running_ == 0) finished_.notify_all();
}

bool PositionsWork::wait_for(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return finished_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

}  // namespace quorvane
