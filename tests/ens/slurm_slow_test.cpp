// The example ensemble as a Slurm job array on a single-node cluster that the test starts on
// this machine (munge, slurmctld and slurmd on localhost, configured in a scratch folder) and
// stops at the end, also when a check fails. The daemons are started with a parent-death signal,
// so they also end if the test itself is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ensemble_check.hpp"

namespace aqx::test {
namespace {

namespace fs = std::filesystem;

class LocalSlurm {
 public:
  LocalSlurm() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string h = host;
    h = h.substr(0, h.find('.'));
    const fs::path d = dir_.path();
    for (const char* sub : {"state", "spool", "log", "munge"}) fs::create_directories(d / sub);
    fs::permissions(d / "munge", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    std::random_device rd;
    std::string key;
    for (int i = 0; i < 1024; ++i) key += static_cast<char>(rd() & 0xff);
    dir_.write("munge/munge.key", key);
    fs::permissions(d / "munge/munge.key", fs::perms::owner_read | fs::perms::owner_write);
    const int port = 20000 + static_cast<int>(rd() % 20000);
    const std::string p = d.string();
    dir_.write("slurm.conf",
               "ClusterName=aqxtest\nSlurmctldHost=" + h + "(127.0.0.1)\nSlurmctldPort=" +
                   std::to_string(port) + "\nSlurmdPort=" + std::to_string(port + 1) +
                   "\nSlurmUser=root\nSlurmdUser=root\nAuthType=auth/munge\nAuthInfo=socket=" + p +
                   "/munge/munge.socket\nCredType=cred/munge\nStateSaveLocation=" + p +
                   "/state\nSlurmdSpoolDir=" + p + "/spool\nSlurmctldPidFile=" + p +
                   "/slurmctld.pid\nSlurmdPidFile=" + p + "/slurmd.pid\nSlurmctldLogFile=" + p +
                   "/log/slurmctld.log\nSlurmdLogFile=" + p +
                   "/log/slurmd.log\nProctrackType=proctrack/linuxproc\nTaskPlugin=task/none\n"
                   "JobAcctGatherType=jobacct_gather/none\nAccountingStorageType=accounting_storage/"
                   "none\nSchedulerType=sched/builtin\nSelectType=select/cons_tres\n"
                   "SelectTypeParameters=CR_Core\nMpiDefault=none\nReturnToService=2\nNodeName=" +
                   h + " NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN\nPartitionName=debug Nodes=" + h +
                   " Default=YES MaxTime=INFINITE State=UP\n");
    setenv("SLURM_CONF", (d / "slurm.conf").c_str(), 1);
  }
  ~LocalSlurm() {
    for (auto it = pids_.rbegin(); it != pids_.rend(); ++it) {
      kill(*it, SIGTERM);
      int status = 0;
      for (int n = 0; n < 100 && waitpid(*it, &status, WNOHANG) == 0; ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (waitpid(*it, &status, WNOHANG) == 0) {
        kill(*it, SIGKILL);
        waitpid(*it, &status, 0);
      }
    }
    unsetenv("SLURM_CONF");
  }

  // Starts the three daemons; an empty text when the node is up, else why not.
  std::string start() {
    if (geteuid() != 0) return "the daemons need root";
    const std::string p = dir_.path().string();
    daemon({"munged", "-F", "--key-file=" + p + "/munge/munge.key", "--socket=" + p + "/munge/munge.socket",
            "--pid-file=" + p + "/munge/munged.pid", "--log-file=" + p + "/munge/munged.log",
            "--seed-file=" + p + "/munge/seed"},
           "munged.out");
    for (int n = 0; n < 50 && !fs::exists(dir_.path() / "munge/munge.socket"); ++n)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!fs::exists(dir_.path() / "munge/munge.socket"))
      return "munged did not start: " + dir_.readText("munged.out");
    daemon({"slurmctld", "-D", "-f", p + "/slurm.conf"}, "slurmctld.out");
    daemon({"slurmd", "-D", "-f", p + "/slurm.conf"}, "slurmd.out");
    for (int n = 0; n < 60; ++n) {
      const RunResult r = runProgram("/usr/bin/sinfo", dir_.path(), {"-h", "-o", "%t"}, "", RunLimits{20, 0});
      if (r.status == 0 && r.out.find("idle") != std::string::npos) return "";
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return "the node did not come up within 30 s: " + dir_.readText("log/slurmctld.log").substr(0, 2000) +
           dir_.readText("slurmd.out").substr(0, 2000);
  }

 private:
  void daemon(const std::vector<std::string>& args, const std::string& out) {
    const std::string outPath = (dir_.path() / out).string();
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(1);
      freopen(outPath.c_str(), "w", stdout);
      dup2(fileno(stdout), 2);
      std::vector<std::string> copy = args;
      std::vector<char*> argv;
      for (auto& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    if (pid > 0) pids_.push_back(pid);
  }

  TempDir dir_;
  std::vector<pid_t> pids_;
};

TEST(EnsembleSlurm, JobArrayOnALocalClusterGivesTheSingleRunValues) {
  TempDir dir;
  const std::string tmpl = sourcePath("examples/ensemble/template").string();
  RunResult r =
      runEns(dir.path(), {"prepare", tmpl, sourcePath("examples/ensemble/params.csv").string(), "ens"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  LocalSlurm cluster;
  const std::string why = cluster.start();
  if (!why.empty()) {
    r = runEns(dir.path(), {"run", "ens", "--engine", "slurm", "-j", "2", "--script-only"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const RunResult check = runProgram("/usr/bin/sbatch", dir.path(), {"--test-only", "ens/aqxens-slurm.sh"});
    GTEST_SKIP() << "no local Slurm cluster: " << why << "\nsbatch --test-only on the job script: exit "
                 << check.status << " " << check.err;
  }

  r = runEns(dir.path(), {"run", "ens", "--engine", "slurm", "-j", "2", "--wait"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("20 runs: 20 finished, 0 failed, 0 not run"), std::string::npos) << r.out;
  const std::string script = dir.readText("ens/aqxens-slurm.sh");
  EXPECT_NE(script.find("#SBATCH --array=1-20%2\n"), std::string::npos) << script;
  for (int task : {1, 20}) EXPECT_TRUE(dir.exists("ens/slurm-logs/task-" + std::to_string(task) + ".out"));

  r = runEns(dir.path(), {"collect", "ens", "--obs", sourcePath("examples/ensemble/obs.csv").string()});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto table = collectedRows(dir.readText("ens/collected.csv"));
  ASSERT_EQ(table.size(), 20u);
  for (const auto& row : table) EXPECT_EQ(row.at("status"), "0") << row.at("run");
  for (int i : {0, 12, 19}) {
    TempDir single;
    expectSameAsSingleRun(single.path(), table[i]);
  }
}

}  // namespace
}  // namespace aqx::test
