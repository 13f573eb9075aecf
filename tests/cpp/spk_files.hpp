// The synthetic kernels of tests/support/spk_writer.py, written once per
// test run into a scratch directory, with the writer's manifest.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quorvane/records/json.hpp"
#include "support.hpp"

namespace quorvane::testing {

inline const Json& synthetic_kernels() {
  // The files live as long as the test process.
  struct Files {
    std::string directory = temp_path("quorvane-spk");
    Json manifest;
    Files() {
      std::filesystem::create_directories(directory);
      auto parsed = parse_json(run_python("tests/support/spk_writer.py", {directory}));
      if (parsed) manifest = std::move(parsed).value();
    }
    ~Files() {
      std::error_code ignored;
      std::filesystem::remove_all(directory, ignored);
    }
  };
  static const Files files;
  return files.manifest;
}

inline std::string synthetic_path(const std::string& variant) {
  const Json& manifest = synthetic_kernels();
  if (!manifest.contains(variant)) return "/nonexistent/" + variant;
  return manifest[variant]["path"].get<std::string>();
}

inline std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace quorvane::testing
