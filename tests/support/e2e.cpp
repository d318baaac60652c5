#include "support/e2e.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "post/listing_budget.hpp"

namespace aqx::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("aqx-" + std::to_string(getpid()) + "-" +
                                              std::to_string(counter++) + "-" + std::to_string(rd()));
    if (fs::create_directory(p)) {
      path_ = p;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  if (std::getenv("AQX_KEEP_TMP") == nullptr) {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
}

void TempDir::write(const std::string& name, const std::string& content) const {
  fs::path p = path_ / name;
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << content;
  if (!f) throw std::runtime_error("cannot write " + p.string());
}

std::string TempDir::readBytes(const std::string& name) const {
  std::ifstream f(path_ / name, std::ios::binary);
  if (!f) return {};
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string TempDir::readText(const std::string& name) const {
  std::string s = readBytes(name);
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\r') out += c;
  return out;
}

bool TempDir::exists(const std::string& name) const {
  return fs::exists(path_ / name);
}

namespace {
std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
}  // namespace

RunResult runAquifex(const fs::path& dir, const std::vector<std::string>& args, const std::string& input,
                     RunLimits limits) {
  return runProgram(AQX_EXE_PATH, dir, args, input, limits);
}

RunResult runPost(const fs::path& dir, const std::vector<std::string>& args) {
  return runProgram(AQX_POST_PATH, dir, args, "", RunLimits{60, 0});
}

RunResult runProgram(const std::string& program, const fs::path& dir, const std::vector<std::string>& args,
                     const std::string& input, RunLimits limits) {
  // Standard input, output and error go through files in a private folder beside `dir`, so that
  // the run's own folder holds only what the program writes.
  TempDir io;
  io.write("stdin", input);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    int in = open((io.path() / "stdin").c_str(), O_RDONLY);
    int out = open((io.path() / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open((io.path() / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (limits.maxFileBytes > 0) {
      rlimit fsize{limits.maxFileBytes, limits.maxFileBytes};
      setrlimit(RLIMIT_FSIZE, &fsize);
    }
    if (limits.seconds > 0) alarm(limits.seconds);  // survives exec
    std::vector<char*> argv;
    std::string exe = program;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = slurp(io.path() / "stdout");
  r.err = slurp(io.path() / "stderr");
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// Both read the last printed budget through the post library's reader of budget tables.
ListedRates lastBudgetRates(const std::vector<std::string>& listing, const std::string& label) {
  std::string text;
  for (const std::string& l : listing) text += l + "\n";
  const auto tables = post::readBudgetTables(text);
  ListedRates r;
  if (tables.empty()) return r;
  for (const post::BudgetRow& row : tables.back().rows) {
    if (row.label != label) continue;
    r.in = row.rateIn;
    r.out = row.rateOut;
    r.found = true;
  }
  return r;
}

ListedDiscrepancy lastDiscrepancy(const std::vector<std::string>& listing) {
  std::string text;
  for (const std::string& l : listing) text += l + "\n";
  const auto tables = post::readBudgetTables(text);
  ListedDiscrepancy d;
  if (tables.empty()) return d;
  d.cumulative = tables.back().discrepancy[0];
  d.rate = tables.back().discrepancy[1];
  d.found = true;
  return d;
}

fs::path sourcePath(const std::string& relative) {
  return fs::path(AQX_SOURCE_DIR) / relative;
}

}  // namespace aqx::test
