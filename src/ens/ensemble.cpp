#include "ens/ensemble.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "ens/csv.hpp"
#include "ens/template.hpp"

namespace aqx::ens {

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kReserved = {"run", "namefile", "inputs", "status", "seconds", "host"};

std::string hex(std::uint64_t h) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

std::string runName(std::size_t index, std::size_t count) {
  std::string digits = std::to_string(index + 1);
  const std::size_t width = std::max<std::size_t>(3, std::to_string(count).size());
  return "run" + std::string(width - digits.size(), '0') + digits;
}

bool isName(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

std::string findNameFile(const ModelTemplate& t) {
  std::vector<std::string> found;
  for (const TemplateFile& f : t.files) {
    const fs::path p(f.relPath);
    if (!p.has_parent_path() && p.extension() == ".nam") found.push_back(f.relPath);
  }
  if (found.size() != 1)
    throw EnsError(t.root + ": " + std::to_string(found.size()) +
                   " name files (*.nam) at the top of the template; name the one to run with --namefile");
  return found[0];
}

}  // namespace

Manifest readManifest(const std::string& ensembleDir) {
  const std::string path = (fs::path(ensembleDir) / kManifestFile).string();
  const CsvTable t = readCsvFile(path);
  if (t.header.size() < 3 || t.header[0] != "run" || t.header[1] != "namefile" || t.header[2] != "inputs")
    throw EnsError(path + ": not an ensemble manifest (header must start run,namefile,inputs)");
  Manifest m;
  m.parameters.assign(t.header.begin() + 3, t.header.end());
  for (const auto& row : t.rows) {
    if (!isName(row[0])) throw EnsError(path + ": '" + row[0] + "' is not a run name");
    m.nameFile = row[1];
    m.runs.push_back({row[0], row[2], std::vector<std::string>(row.begin() + 3, row.end())});
  }
  return m;
}

void writeManifest(const std::string& ensembleDir, const Manifest& m) {
  std::vector<std::string> header = {"run", "namefile", "inputs"};
  header.insert(header.end(), m.parameters.begin(), m.parameters.end());
  std::string text = csvLine(header);
  for (const RunEntry& r : m.runs) {
    std::vector<std::string> line = {r.name, m.nameFile, r.inputs};
    line.insert(line.end(), r.values.begin(), r.values.end());
    text += csvLine(line);
  }
  writeFileAtomic((fs::path(ensembleDir) / kManifestFile).string(), text);
}

PrepareResult prepare(const std::string& templateDir, const std::string& paramsCsv,
                      const std::string& ensembleDir, const std::string& nameFileOption) {
  const ModelTemplate tmpl = scanTemplate(templateDir);
  const CsvTable params = readCsvFile(paramsCsv);
  PrepareResult result;

  std::set<std::string> seen;
  for (const std::string& h : params.header) {
    if (!isName(h))
      throw EnsError(paramsCsv + ": '" + h +
                     "' is not a parameter name (a letter or '_', then letters, digits, '_')");
    if (kReserved.count(h))
      throw EnsError(paramsCsv + ": '" + h + "' is reserved and cannot name a parameter");
    if (!seen.insert(h).second) throw EnsError(paramsCsv + ": parameter '" + h + "' is given twice");
  }
  for (const TemplateFile& f : tmpl.files)
    for (const Placeholder& p : f.placeholders)
      if (!seen.count(p.name))
        throw EnsError(f.relPath + ", line " + std::to_string(p.line) + ": placeholder {{" + p.name +
                       "}} has no column in " + paramsCsv);
  const std::set<std::string> used = tmpl.names();
  for (const std::string& h : params.header)
    if (!used.count(h)) result.notes.push_back("parameter '" + h + "' is not used by any template file");
  if (params.rows.empty()) throw EnsError(paramsCsv + ": no parameter rows");

  Manifest m;
  m.nameFile = nameFileOption.empty() ? findNameFile(tmpl) : nameFileOption;
  if (!fs::exists(fs::path(templateDir) / m.nameFile))
    throw EnsError(templateDir + ": has no name file " + m.nameFile);
  m.parameters = params.header;

  // First pass: fill every file of every row, so that no value that does not fit is found after
  // folders were written; keep only the hash of each run's inputs.
  for (std::size_t r = 0; r < params.rows.size(); ++r) {
    std::map<std::string, std::string> values;
    for (std::size_t c = 0; c < params.header.size(); ++c) values[params.header[c]] = params.rows[r][c];
    RunEntry run{runName(r, params.rows.size()), "", params.rows[r]};
    std::uint64_t h = fnv1a(m.nameFile);
    for (const TemplateFile& f : tmpl.files) {
      try {
        h = fnv1a(fillFile(f, values), fnv1a(f.relPath + '\0', h));
      } catch (const EnsError& e) {
        throw EnsError(paramsCsv + ", line " + std::to_string(params.lineOf[r]) + " (" + run.name +
                       "): " + e.what());
      }
    }
    run.inputs = hex(h);
    m.runs.push_back(std::move(run));
  }

  // An earlier preparation of the same shape keeps the runs whose inputs did not change.
  std::map<std::string, std::string> before;
  std::error_code ec;
  const fs::path dir(ensembleDir);
  if (fs::exists(dir / kManifestFile)) {
    const Manifest old = readManifest(ensembleDir);
    if (old.runs.size() != m.runs.size() || old.parameters != m.parameters)
      throw EnsError(ensembleDir + ": holds an ensemble of " + std::to_string(old.runs.size()) +
                     " runs with other parameters; prepare into a new folder");
    for (const RunEntry& r : old.runs) before[r.name] = r.inputs;
  } else if (fs::exists(dir) && !fs::is_empty(dir, ec)) {
    throw EnsError(ensembleDir +
                   ": exists and is not an ensemble folder; prepare into a new or empty folder");
  }
  fs::create_directories(dir, ec);
  if (ec) throw EnsError(ensembleDir + ": cannot be created (" + ec.message() + ")");

  for (std::size_t r = 0; r < m.runs.size(); ++r) {
    const RunEntry& run = m.runs[r];
    const fs::path runDir = dir / run.name;
    const auto old = before.find(run.name);
    if (old != before.end() && old->second == run.inputs && fs::is_directory(runDir)) {
      ++result.kept;
      continue;
    }
    fs::remove_all(runDir, ec);
    std::map<std::string, std::string> values;
    for (std::size_t c = 0; c < m.parameters.size(); ++c) values[m.parameters[c]] = run.values[c];
    for (const TemplateFile& f : tmpl.files) {
      const fs::path out = runDir / fs::path(f.relPath);
      fs::create_directories(out.parent_path(), ec);
      writeTextFile(out.string(), fillFile(f, values));
      fs::permissions(out, fs::status(fs::path(templateDir) / f.relPath).permissions(), ec);
    }
    ++result.written;
  }
  writeManifest(ensembleDir, m);
  return result;
}

RunStatus readStatus(const std::string& runDir) {
  RunStatus s;
  std::error_code ec;
  const fs::path p = fs::path(runDir) / kStatusFile;
  if (!fs::exists(p, ec)) return s;
  std::istringstream in(readTextFile(p.string()));
  std::string key;
  bool haveExit = false;
  while (in >> key) {
    if (key == "exit")
      haveExit = static_cast<bool>(in >> s.exitStatus);
    else if (key == "seconds")
      in >> s.seconds;
    else if (key == "host")
      in >> s.host;
    else
      in.ignore(1 << 20, '\n');
  }
  s.ended = haveExit;
  return s;
}

int execRun(const std::string& ensembleDir, const RunEntry& run, const std::string& nameFile,
            const std::string& aquifex) {
  const fs::path runDir = fs::path(ensembleDir) / run.name;
  if (!fs::is_directory(runDir)) throw EnsError(runDir.string() + ": no such run folder");
  std::error_code ec;
  fs::remove(runDir / kStatusFile, ec);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw EnsError("cannot start a process");
  if (pid == 0) {
    if (chdir(runDir.c_str()) != 0) _exit(127);
    const int in = open("/dev/null", O_RDONLY);
    const int log = open(kLogFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || log < 0) _exit(127);
    dup2(in, 0);
    dup2(log, 1);
    dup2(log, 2);
    std::string exe = aquifex, nam = nameFile, quiet = "--quiet";
    char* argv[] = {exe.data(), nam.data(), quiet.data(), nullptr};
    execvp(exe.c_str(), argv);
    std::fprintf(stderr, "aqxens: cannot start %s\n", exe.c_str());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  char host[256] = "unknown";
  gethostname(host, sizeof host - 1);
  writeFileAtomic((runDir / kStatusFile).string(), "exit " + std::to_string(code) + "\nseconds " +
                                                       shortest(seconds) + "\nhost " + host + "\n");
  return code;
}

std::string shortest(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string shortest(float v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace aqx::ens
