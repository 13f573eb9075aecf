// Shared helpers of the C++ tests: running the project's Python reference
// scripts and finding the real kernel.
#pragma once

#include <string>
#include <vector>

namespace quorvane {
class KernelSet;
}

namespace quorvane::testing {

// Runs `python <script> args...` from the source tree (script path relative
// to the repository) and returns its standard output; empty on failure.
std::string run_python(const std::string& script, const std::vector<std::string>& args = {});

// The rows of whitespace-separated numbers a reference script printed
// (blank lines skipped).
std::vector<std::vector<double>> rows_of(const std::string& text);

// The real JPL kernel installed by the setup script, or "" when absent.
std::string real_kernel_path();

// The real kernel, opened once for the whole test run; null when absent.
const KernelSet* de440();

// A scratch file path unique to this process.
std::string temp_path(const std::string& stem);

}  // namespace quorvane::testing
