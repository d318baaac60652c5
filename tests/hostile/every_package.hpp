// The model with every package that the whole-model fuzz target starts from, for the hostile-input
// tests: its seeds split into files in a test folder, run by the built program under the limits of
// hostile_support.hpp.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/model_input.hpp"
#include "hostile/hostile_support.hpp"

namespace aqx::test {

// The files of seed `name` of the whole-model fuzz corpus.
inline model_input::Files everyPackageModel(const std::string& name) {
  std::ifstream in(sourcePath("tests/fuzz/corpus/model_fuzz/" + name), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return model_input::split(s.str());
}

inline std::string& fileOf(model_input::Files& files, const std::string& name) {
  for (auto& [n, text] : files) {
    if (n == name) return text;
  }
  ADD_FAILURE() << "no file " << name;
  static std::string none;
  return none;
}

inline RunResult runFiles(const TempDir& dir, const model_input::Files& files) {
  for (const auto& [name, text] : files) dir.write(name, text);
  return runLimited(dir.path(), std::string(model_input::kNameFile) + "\n");
}

// The outcome every hostile input must have: a nonzero status of the program's own and a message.
inline void expectCleanStop(const TempDir& dir, const RunResult& r, const std::string& mention) {
  EXPECT_GE(r.status, 1) << "reported success";
  EXPECT_LT(r.status, 128) << "ended by a signal (status " << r.status << ")\n" << r.err;
  const std::string said = allText(dir, r, model_input::kListing);
  EXPECT_NE(said.find(mention), std::string::npos)
      << "no message mentioning \"" << mention << "\":\n"
      << said.substr(said.size() > 2000 ? said.size() - 2000 : 0);
}

}  // namespace aqx::test
