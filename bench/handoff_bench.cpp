// What a chart costs inside the library, and what writing its record costs:
// the compact text from the record's own stream, against the way results
// were written before (a Json tree, then the JSON library's dump).
//
//   handoff_bench --kernel=/path/to/de440.bsp < charts.txt
//
// Each line of the input is "moment latitude longitude". Prints one line of
// medians in microseconds of thread CPU time:
//   compute=... text=... tree_and_dump=...

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "quorvane/chart/chart.hpp"
#include "quorvane/records/record_writer.hpp"

namespace {

using namespace quorvane;

double thread_cpu_us() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string kernel;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) kernel = argv[i] + 9;
  }
  auto kernels = KernelSet::load({kernel});
  if (!kernels) {
    std::fprintf(stderr, "%s\n", kernels.error().c_str());
    return 1;
  }
  std::vector<ChartRequest> requests;
  std::string moment;
  double latitude = 0.0;
  double longitude = 0.0;
  while (std::cin >> moment >> latitude >> longitude) {
    ChartRequest request;
    request.moment = *UtcInstant::parse(moment);
    request.latitude = latitude;
    request.longitude = longitude;
    requests.push_back(request);
  }
  // Three passes over the same charts, so that each figure is measured as
  // it runs in a call: the computation alone, then each way of writing
  // (timed alone) after an untimed computation.
  std::vector<double> compute, text, tree_and_dump;
  size_t bytes = 0;
  for (const ChartRequest& request : requests) {
    const double start = thread_cpu_us();
    auto chart = calculate_chart(*kernels, request);
    compute.push_back(thread_cpu_us() - start);
  }
  for (const ChartRequest& request : requests) {
    auto chart = calculate_chart(*kernels, request);
    if (!chart) continue;
    const double start = thread_cpu_us();
    auto written = compact_json(*chart);
    text.push_back(thread_cpu_us() - start);
    if (written) bytes += written->size();
  }
  for (const ChartRequest& request : requests) {
    auto chart = calculate_chart(*kernels, request);
    if (!chart) continue;
    const double start = thread_cpu_us();
    auto dumped = to_compact_json(to_json_tree(*chart));
    tree_and_dump.push_back(thread_cpu_us() - start);
  }
  std::printf("compute=%.1f text=%.1f tree_and_dump=%.1f charts=%zu bytes=%zu\n", median(compute),
              median(text), median(tree_and_dump), text.size(),
              text.empty() ? 0 : bytes / text.size());
  return 0;
}
