// Support for the hostile-input tests: runs the built program like runAquifex, but under a time
// limit and a file-size limit, so that a hang or runaway output fails the test instead of stalling
// the suite, and checks the outcome every hostile input must have: a nonzero exit of its own (no
// signal) and a message.
#pragma once

#include <filesystem>
#include <string>

#include "support/e2e.hpp"

namespace aqx::test {

// Runs aquifex in `dir` with `input` on standard input, killed after `seconds` and stopped when a
// file grows past 64 MiB.
inline RunResult runLimited(const std::filesystem::path& dir, const std::string& input = "", unsigned seconds = 30) {
  return runAquifex(dir, {}, input, RunLimits{seconds, 64ull << 20});
}

// Everything the run said: standard output, standard error, and the listing file when given.
inline std::string allText(const TempDir& dir, const RunResult& r, const std::string& listing = "") {
  std::string s = r.out + r.err;
  if (!listing.empty() && dir.exists(listing)) s += dir.readText(listing);
  return s;
}

}  // namespace aqx::test
