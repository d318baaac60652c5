// The numbers a bundled example promises in its README, read back so that the test checks
// exactly what the README tells a reader to look for.
//
// A README states each promised number on a line of its own:
//
//   Check: <what is measured> = <value> +/- <tolerance>
//
// for example "Check: drawdown at 100 m from the well = 1.2345 +/- 0.005".
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace aqx::test {

struct ExampleCheck {
  std::string what;  // the text between "Check:" and "=", trimmed
  double value = 0.0;
  double tolerance = 0.0;
};

// Every "Check:" line of examples/<name>/README.md, in order. A line that starts with "Check:"
// but does not parse fails the calling test.
std::vector<ExampleCheck> exampleChecks(const std::string& name);

// The check whose text is `what`; fails the calling test (and returns a check with a NaN
// value) when the README has no such line.
ExampleCheck exampleCheck(const std::string& name, const std::string& what);

// Copies examples/<name> into `dir` (which must exist).
void copyExample(const std::string& name, const std::filesystem::path& dir);

}  // namespace aqx::test
