// Shared scaffolding of the fuzz targets: a private scratch folder per process (the process works
// inside it, so every relative file name an input mentions lands there), helpers to write files
// into it, and a reset that closes every unit and empties the folder between inputs.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "io/record.hpp"

namespace aqx::fuzz {

// The scratch folder, created on first use under $AQX_FUZZ_SCRATCH, /dev/shm or the system
// temporary folder, and made the working directory; removed when the process exits normally.
inline const std::filesystem::path& scratch() {
  static const std::filesystem::path dir = [] {
    namespace fs = std::filesystem;
    // tools/fuzz.sh names a base folder that it removes after the run (libFuzzer may end the
    // process without running exit handlers).
    const char* given = std::getenv("AQX_FUZZ_SCRATCH");
    fs::path base = given && *given ? fs::path(given)
                    : fs::exists("/dev/shm")  ? fs::path("/dev/shm")
                                              : fs::temp_directory_path();
    std::string tmpl = (base / "aqx-fuzz-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    fs::path p(tmpl);
    if (chdir(p.c_str()) != 0) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratch(), ec);
    });
    return p;
  }();
  return dir;
}

inline void writeFile(const std::string& name, std::string_view bytes) {
  std::ofstream f(scratch() / name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Closes every unit (the engine keeps its state between inputs otherwise) and removes every file
// the input made.
inline void reset() {
  io::closeAll();
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(scratch(), ec)) std::filesystem::remove_all(e.path(), ec);
}

// Inputs may name files. The scratch folder holds plain files only, so a relative name can reach
// outside it only through a leading slash or a "." or ".." component; an input that has a slash at
// the start of a word or after a dot is not run. ("OPEN/CLOSE" and "(1X/1X)" pass.)
inline bool unsafePath(std::string_view s) {
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s[k] != '/') continue;
    if (k == 0) return true;
    unsigned char p = static_cast<unsigned char>(s[k - 1]);
    if (p <= 0x20 || p == '.' || p == ',' || p == '\'' || p == '"' || p >= 0x7f) return true;
  }
  return false;
}

// Runs `f`, treating the program's own failures (an I/O failure, a bad format, a stopped run) as
// normal outcomes. Returns false when one of them was thrown.
template <class F>
bool guarded(F&& f) {
  try {
    f();
    return true;
  } catch (const io::FormatError&) {
  } catch (const io::IoError&) {
  } catch (const io::RunStop&) {
  }
  return false;
}

// Splits `rest` at the first occurrence of `sep`: returns the part before it and leaves the part
// after it in `rest` (the whole of `rest` and an empty remainder when there is none).
inline std::string_view takeSection(std::string_view& rest, std::string_view sep = "\n%%\n") {
  std::size_t at = rest.find(sep);
  std::string_view head = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + sep.size());
  return head;
}

}  // namespace aqx::fuzz
