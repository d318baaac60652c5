// The progress line: written only when standard error is a terminal, rewritten in place with a
// carriage return and cleared at the end; off with --quiet; never in the listing file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::TempDir;

void copyDemo(const TempDir& dir) {
  std::filesystem::copy(test::sourcePath("examples/demo"), dir.path(),
                        std::filesystem::copy_options::recursive);
}

// Runs the program with standard error on a pseudo-terminal (standard output to /dev/null) and
// returns what the terminal received, or "<failed>" when the terminal could not be made.
std::string runOnTerminal(const TempDir& dir, const std::vector<std::string>& args, int& status) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return "<failed>";
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(AQX_EXE_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(AQX_EXE_PATH, argv.data());
    _exit(127);
  }
  std::string seen;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n > 0) {
      seen.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the child has closed the terminal
    }
  }
  int ws = 0;
  waitpid(pid, &ws, 0);
  close(master);
  status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128;
  return seen;
}

TEST(Progress, NothingOnStderrWhenItIsNotATerminalAndQuietIsAccepted) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"demo.nam"}, {"--quiet", "demo.nam"}, {"demo.nam", "--quiet"}}) {
    TempDir dir;
    copyDemo(dir);
    const test::RunResult r = test::runAquifex(dir.path(), args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.err, "") << args[0];
    EXPECT_EQ(dir.readText("demo.lst").find("outer iteration"), std::string::npos);
  }
  TempDir dir;
  const test::RunResult help = test::runAquifex(dir.path(), {"--quiet", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--quiet"), std::string::npos);
}

TEST(Progress, OnATerminalTheLineIsRewrittenInPlaceAndClearedAndQuietSilencesIt) {
  TempDir dir;
  copyDemo(dir);
  int status = -1;
  const std::string seen = runOnTerminal(dir, {"demo.nam"}, status);
  if (seen == "<failed>") GTEST_SKIP() << "no pseudo-terminal";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(seen.rfind("\r stress period 1/2, time step 1/", 0), 0u) << seen;
  EXPECT_NE(seen.find(", outer iteration 1, elapsed "), std::string::npos) << seen;
  EXPECT_EQ(seen.find('\n'), std::string::npos) << seen;  // one line, never a new one
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen.substr(seen.size() - 4), "\r\033[K");
  EXPECT_EQ(dir.readText("demo.lst").find("stress period 1/2"), std::string::npos);

  TempDir quiet;
  copyDemo(quiet);
  EXPECT_EQ(runOnTerminal(quiet, {"--quiet", "demo.nam"}, status), "");
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace aqx
