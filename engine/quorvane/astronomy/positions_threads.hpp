// A batch of positions filled by several threads at once. Each thread takes
// runs of moments in turn, in the order fill_order gives; a moment's cells
// depend on that moment alone, so the columns are the same whatever the
// thread count.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "quorvane/astronomy/positions.hpp"

namespace quorvane {

// Below this many body-moments a batch is filled on the calling thread when
// the caller leaves the thread count to the engine: starting threads costs
// more than it saves there.
inline constexpr size_t kThreadedPositionsCells = 20'000;

// The threads a batch of `cells` body-moments uses when the caller names no
// count: every core for large batches, one otherwise.
unsigned default_position_threads(size_t cells);

// The moments `order` (indices, as fill_order gives them) of `columns`
// filled by `threads` threads started at construction. The caller waits in slices (wait_for),
// free to look for an interrupt between them, and may stop the work; the
// destructor stops and joins whatever still runs. Request, kernels, order
// and columns must outlive the object.
class PositionsWork {
 public:
  PositionsWork(const KernelSet& kernels, const PositionsRequest& request,
                std::span<const size_t> order, PositionColumns* columns, unsigned threads);
  ~PositionsWork();
  PositionsWork(const PositionsWork&) = delete;
  PositionsWork& operator=(const PositionsWork&) = delete;

  // True once every thread has finished (done, failed or stopped).
  bool wait_for(std::chrono::milliseconds timeout);
  // Asks the threads to stop after their current run of moments.
  void stop() { stop_.store(true, std::memory_order_relaxed); }
  // The failure of the earliest failing moment (by index), as one thread
  // filling in index order would report it; read after wait_for returned
  // true.
  const std::optional<PositionsFailure>& failure() const { return failure_; }
  // Whether a thread ran out of memory (the batch is then incomplete).
  bool out_of_memory() const { return out_of_memory_; }

 private:
  void run();

  const KernelSet& kernels_;
  const PositionsRequest& request_;
  std::span<const size_t> order_;
  PositionColumns* columns_;
  size_t run_length_;
  std::atomic<size_t> next_;
  std::atomic<size_t> skip_from_;  // moments from this index on need not be filled
  std::atomic<bool> stop_{false};

  std::mutex mutex_;  // guards the four below
  std::condition_variable finished_;
  size_t running_ = 0;
  std::optional<PositionsFailure> failure_;
  bool out_of_memory_ = false;

  std::vector<std::thread> threads_;
};

}  // namespace quorvane
