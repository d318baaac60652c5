// Support for the hostile-input tests: runs the built program like runAquifex, but under a time
// limit and a file-size limit, so that a hang or runaway output fails the test instead of stalling
// the suite, and checks the outcome every hostile input must have: a nonzero exit of its own (no
// signal) and a message.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/e2e.hpp"

namespace aqx::test {

// Runs aquifex in `dir` with `input` on standard input. A run longer than `seconds` is killed
// (status 128 + SIGALRM); a file grown past 64 MiB ends it with 128 + SIGXFSZ.
inline RunResult runLimited(const std::filesystem::path& dir, const std::string& input = "", unsigned seconds = 30) {
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
    rlimit fsize{64u << 20, 64u << 20};
    setrlimit(RLIMIT_FSIZE, &fsize);
    alarm(seconds);  // survives exec
    std::string exe = AQX_EXE_PATH;
    char* argv[] = {exe.data(), nullptr};
    execv(exe.c_str(), argv);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = io.readBytes("stdout");
  r.err = io.readBytes("stderr");
  return r;
}

// Everything the run said: standard output, standard error, and the listing file when given.
inline std::string allText(const TempDir& dir, const RunResult& r, const std::string& listing = "") {
  std::string s = r.out + r.err;
  if (!listing.empty() && dir.exists(listing)) s += dir.readText(listing);
  return s;
}

}  // namespace aqx::test
