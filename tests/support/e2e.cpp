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
    std::string exe = AQX_EXE_PATH;
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

ListedRates lastBudgetRates(const std::vector<std::string>& listing, const std::string& label) {
  // Each row appears twice per budget, in the IN part then in the OUT part; the rate is the
  // second number of the line.
  ListedRates r;
  const std::string key = "    " + label + " =";
  bool inPart = true;
  for (const std::string& l : listing) {
    if (l.find("VOLUMETRIC BUDGET FOR ENTIRE MODEL") != std::string::npos) inPart = true;
    if (l.find("OUT:") != std::string::npos) inPart = false;
    if (l.compare(0, key.size(), key) != 0 || l.size() < 80) continue;
    const double rate = std::stod(l.substr(63, 17));
    (inPart ? r.in : r.out) = rate;
    r.found = true;
  }
  return r;
}

ListedDiscrepancy lastDiscrepancy(const std::vector<std::string>& listing) {
  ListedDiscrepancy d;
  const std::string key = " PERCENT DISCREPANCY =";
  for (const std::string& l : listing) {
    if (l.compare(0, key.size(), key) != 0) continue;
    const std::size_t second = l.find('=', key.size());
    d.cumulative = std::stod(l.substr(key.size(), 15));
    d.rate = std::stod(l.substr(second + 1));
    d.found = true;
  }
  return d;
}

fs::path sourcePath(const std::string& relative) {
  return fs::path(AQX_SOURCE_DIR) / relative;
}

}  // namespace aqx::test
