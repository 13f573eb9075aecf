#include "support.hpp"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane::testing {

std::string run_python(const std::string& script, const std::vector<std::string>& args) {
  std::string command = std::string("'") + QUORVANE_PYTHON + "' '" + QUORVANE_SOURCE_DIR + "/" +
                        script + "'";
  for (const auto& arg : args) command += " '" + arg + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string output;
  std::array<char, 65536> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  if (pclose(pipe) != 0) return {};
  return output;
}

std::string real_kernel_path() {
  static const std::string path = [] {
    std::string out = run_python("tests/support/kernels.py");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }();
  return path;
}

std::string temp_path(const std::string& stem) {
  return (std::filesystem::temp_directory_path() /
          (stem + "-" + std::to_string(getpid())))
      .string();
}

std::vector<std::vector<double>> rows_of(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    double x;
    while (fields >> x) row.push_back(x);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

const KernelSet* de440() {
  // Kept for the whole run (never freed) so every test shares one mapping.
  static const KernelSet* set = []() -> const KernelSet* {
    const std::string path = real_kernel_path();
    if (path.empty()) return nullptr;
    auto loaded = KernelSet::load({path});
    return loaded ? new KernelSet(std::move(*loaded)) : nullptr;
  }();
  return set;
}

}  // namespace quorvane::testing
