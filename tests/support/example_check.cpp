#include "support/example_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "support/e2e.hpp"

namespace aqx::test {

namespace {

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

}  // namespace

std::vector<ExampleCheck> exampleChecks(const std::string& name) {
  std::vector<ExampleCheck> checks;
  const auto path = sourcePath("examples/" + name + "/README.md");
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = trimmed(line);
    if (text.rfind("Check:", 0) != 0) continue;
    const auto eq = text.rfind('=');
    const auto pm = text.find("+/-", eq == std::string::npos ? 0 : eq);
    ExampleCheck check;
    bool ok = eq != std::string::npos && pm != std::string::npos;
    if (ok) {
      check.what = trimmed(text.substr(6, eq - 6));
      std::istringstream value(text.substr(eq + 1, pm - eq - 1));
      std::istringstream tolerance(text.substr(pm + 3));
      ok = static_cast<bool>(value >> check.value) && static_cast<bool>(tolerance >> check.tolerance) &&
           !check.what.empty();
    }
    EXPECT_TRUE(ok) << path << ": cannot read the check line \"" << text << "\"";
    if (ok) checks.push_back(check);
  }
  return checks;
}

ExampleCheck exampleCheck(const std::string& name, const std::string& what) {
  for (const auto& check : exampleChecks(name))
    if (check.what == what) return check;
  ADD_FAILURE() << "examples/" << name << "/README.md has no line \"Check: " << what << " = ...\"";
  return {what, std::numeric_limits<double>::quiet_NaN(), 0.0};
}

void copyExample(const std::string& name, const std::filesystem::path& dir) {
  std::filesystem::copy(
      sourcePath("examples/" + name), dir,
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

}  // namespace aqx::test
