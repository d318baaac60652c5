#include "ens/engines.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "ens/csv.hpp"

extern char** environ;

namespace aqx::ens {

namespace fs = std::filesystem;

namespace {

// Runs a program found on PATH with this process's standard streams (standard output into
// `capture` when given) and returns its exit status; -1 when it cannot be started.
int spawnWait(const std::vector<std::string>& args, std::string* capture = nullptr) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipeFd[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (capture != nullptr) {
    if (pipe(pipeFd) != 0) return -1;
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFd[1]);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (capture != nullptr) {
    close(pipeFd[1]);
    if (rc == 0) {
      char buf[4096];
      ssize_t n;
      while ((n = read(pipeFd[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) capture->append(buf, static_cast<std::size_t>(n));
    }
    close(pipeFd[0]);
  }
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string joinShell(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + shellQuote(w);
  return line;
}

}  // namespace

std::vector<std::string> execCommand(const RunOptions& o, const std::string& ensembleDir,
                                     const std::string& run) {
  std::vector<std::string> cmd = {o.self, "exec", "--aquifex", o.aquifex, ensembleDir};
  if (!run.empty()) cmd.push_back(run);
  return cmd;
}

std::string shellQuote(const std::string& word) {
  if (!word.empty() &&
      word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:,+%@") ==
          std::string::npos)
    return word;
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string arraySpec(const std::vector<int>& indices) {
  std::string out;
  for (std::size_t i = 0; i < indices.size();) {
    std::size_t j = i;
    while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1) ++j;
    if (!out.empty()) out += ',';
    out += std::to_string(indices[i]);
    if (j > i) out += "-" + std::to_string(indices[j]);
    i = j + 1;
  }
  return out;
}

std::string slurmScript(const RunOptions& o, const std::string& ensembleDir,
                        const std::vector<int>& indices) {
  const fs::path logs = fs::path(ensembleDir) / "slurm-logs";
  std::string s = "#!/bin/sh\n";
  s += "# One array task per run of the ensemble in " + ensembleDir + "; the task number is the\n";
  s += "# run's line in manifest.csv. Written by aqxens run --engine slurm.\n";
  s += "#SBATCH --job-name=aqxens\n";
  s += "#SBATCH --array=" + arraySpec(indices) + (o.jobs > 0 ? "%" + std::to_string(o.jobs) : "") + "\n";
  s += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n";
  s += "#SBATCH --chdir=" + ensembleDir + "\n";
  s += "#SBATCH --output=" + (logs / "task-%a.out").string() + "\n";
  for (const std::string& opt : o.slurmOptions) s += "#SBATCH " + opt + "\n";
  std::vector<std::string> cmd = execCommand(o, ensembleDir, "");
  s += "exec " + joinShell(cmd) + " --index \"$SLURM_ARRAY_TASK_ID\"\n";
  return s;
}

bool summarize(const std::string& ensembleDir, const Manifest& m, std::ostream& out) {
  int finished = 0, failed = 0, missing = 0;
  for (const RunEntry& r : m.runs) {
    const fs::path dir = fs::path(ensembleDir) / r.name;
    const RunStatus s = readStatus(dir.string());
    if (s.finished()) {
      ++finished;
    } else if (s.ended) {
      ++failed;
      out << r.name << ": FAILED with exit status " << s.exitStatus << " after " << shortest(s.seconds)
          << " s; see " << (dir / kLogFile).string() << "\n";
    } else {
      ++missing;
      out << r.name << ": not run or not ended\n";
    }
  }
  out << m.runs.size() << " runs: " << finished << " finished, " << failed << " failed, " << missing
      << " not run\n";
  return finished == static_cast<int>(m.runs.size());
}

int runEnsemble(const std::string& ensembleDir, const RunOptions& o, std::ostream& out) {
  const Manifest m = readManifest(ensembleDir);
  std::vector<int> pending;
  std::string pendingNames;
  for (std::size_t i = 0; i < m.runs.size(); ++i) {
    if (!o.all && readStatus((fs::path(ensembleDir) / m.runs[i].name).string()).finished()) continue;
    pending.push_back(static_cast<int>(i) + 1);
    pendingNames += m.runs[i].name + "\n";
  }
  const std::size_t skipped = m.runs.size() - pending.size();
  if (o.engine == "none") {
    for (int i : pending) out << joinShell(execCommand(o, ensembleDir, m.runs[i - 1].name)) << "\n";
    return 0;
  }
  if (skipped > 0) out << skipped << " of " << m.runs.size() << " runs finished before; not run again\n";
  if (pending.empty()) {
    out << "nothing to run\n";
    return summarize(ensembleDir, m, out) ? 0 : 1;
  }
  out << "running " << pending.size() << " runs with " << o.engine << "\n" << std::flush;

  if (o.engine == "parallel") {
    const std::string list = (fs::path(ensembleDir) / "aqxens-pending.txt").string();
    writeTextFile(list, pendingNames);
    std::vector<std::string> cmd = {"parallel",
                                    "--will-cite",
                                    "--quote",
                                    "--halt",
                                    "never",
                                    "--joblog",
                                    (fs::path(ensembleDir) / "aqxens-parallel.log").string()};
    if (o.jobs > 0) {
      cmd.push_back("--jobs");
      cmd.push_back(std::to_string(o.jobs));
    }
    for (const std::string& login : o.sshLogins) {
      cmd.push_back("--sshlogin");
      cmd.push_back(login);
    }
    const std::vector<std::string> exec = execCommand(o, ensembleDir, "");
    cmd.insert(cmd.end(), exec.begin(), exec.end());
    cmd.push_back("::::");
    cmd.push_back(list);
    if (spawnWait(cmd) < 0)
      throw EnsError("GNU parallel (the program 'parallel') cannot be started; is it installed?");
    return summarize(ensembleDir, m, out) ? 0 : 1;
  }

  // Slurm: one array task per pending run.
  std::error_code ec;
  fs::create_directories(fs::path(ensembleDir) / "slurm-logs", ec);
  const std::string script = (fs::path(ensembleDir) / "aqxens-slurm.sh").string();
  writeTextFile(script, slurmScript(o, ensembleDir, pending));
  if (o.scriptOnly) {
    out << "job script written: " << script << "\n";
    return 0;
  }
  std::vector<std::string> cmd = {"sbatch", "--parsable"};
  if (o.wait) cmd.push_back("--wait");
  cmd.push_back(script);
  std::string jobId;
  const int rc = spawnWait(cmd, &jobId);
  while (!jobId.empty() && (jobId.back() == '\n' || jobId.back() == '\r')) jobId.pop_back();
  if (rc < 0) throw EnsError("sbatch cannot be started; is Slurm installed?");
  if (jobId.empty())
    throw EnsError("sbatch did not accept " + script + " (exit status " + std::to_string(rc) + ")");
  out << "submitted job array " << jobId << " (" << arraySpec(pending) << "); task logs in "
      << (fs::path(ensembleDir) / "slurm-logs").string() << "\n";
  if (!o.wait) {
    out << "'aqxens status " << ensembleDir << "' shows which runs have ended\n";
    return 0;
  }
  return summarize(ensembleDir, m, out) ? 0 : 1;
}

}  // namespace aqx::ens
