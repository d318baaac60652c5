// End-to-end test support: a scratch folder per test, files written into it, the built program
// run there, and its outputs read back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace aqx::test {

// A fresh folder under the system temporary directory, removed when the object goes away
// (kept when the environment variable AQX_KEEP_TMP is set, for debugging).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Writes a file (text as given: use "\n" line ends, or "\r\n" where that matters).
  void write(const std::string& name, const std::string& content) const;
  // Reads a file whole; readText also drops every carriage return.
  std::string readBytes(const std::string& name) const;
  std::string readText(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;  // exit status, or 128 + signal number when killed by a signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// Limits for a run: a run longer than `seconds` is killed (status 128 + SIGALRM); a file grown
// past `maxFileBytes` ends it with 128 + SIGXFSZ. Zero means no limit.
struct RunLimits {
  unsigned seconds = 0;
  unsigned long long maxFileBytes = 0;
};

// Runs the built aquifex in `dir` with the given arguments and standard input text.
RunResult runAquifex(const std::filesystem::path& dir, const std::vector<std::string>& args = {},
                     const std::string& input = "", RunLimits limits = {});

// Runs the built aqxpost in `dir` (60 s at most).
RunResult runPost(const std::filesystem::path& dir, const std::vector<std::string>& args);
// Runs any program by path the same way.
RunResult runProgram(const std::string& program, const std::filesystem::path& dir,
                     const std::vector<std::string>& args, const std::string& input = "",
                     RunLimits limits = {});

// Lines of a text (CR dropped), without their line ends.
std::vector<std::string> lines(const std::string& text);

// The last volumetric budget printed in a listing: the rates of one row (label with its leading
// blanks, as in the table), and the two percent discrepancies. found is false when the listing
// has no such row or no budget.
struct ListedRates {
  double in = 0.0, out = 0.0;
  bool found = false;
};
ListedRates lastBudgetRates(const std::vector<std::string>& listing, const std::string& label);
struct ListedDiscrepancy {
  double cumulative = 0.0, rate = 0.0;
  bool found = false;
};
ListedDiscrepancy lastDiscrepancy(const std::vector<std::string>& listing);

// Path of a file under the source tree (e.g. "examples/demo").
std::filesystem::path sourcePath(const std::string& relative);

}  // namespace aqx::test
