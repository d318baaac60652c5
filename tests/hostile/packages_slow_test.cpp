// Every package file of the model with every package cut short at every record, under each flow
// package and solver (output control aside). Every cut must stop with a message naming the file and a nonzero
// status.
#include <gtest/gtest.h>

#include <string>

#include "hostile/every_package.hpp"

namespace aqx::test {
namespace {

TEST(HostilePackagesSlow, EveryFileCutShortAtEveryRecord) {
  for (const char* seed : {"bcf_solver0", "bcf_solver1", "bcf_solver2", "bcf_solver3", "gfd_solver0"}) {
    const model_input::Files whole = everyPackageModel(seed);
    for (const auto& [name, text] : whole) {
      // Output control may end anywhere: the steps after its last request just print and save
      // nothing.
      if (name == model_input::kNameFile || name == "in.rst" || name == "m.oc") continue;
      const std::size_t records = lines(text).size();
      for (std::size_t k = 0, at = 0; k < records; ++k, at = text.find('\n', at) + 1) {
        SCOPED_TRACE(std::string(seed) + ": " + name + " cut after " + std::to_string(k) + " records");
        model_input::Files files = whole;
        fileOf(files, name) = text.substr(0, at);
        TempDir dir;
        expectCleanStop(dir, runFiles(dir, files), "");
      }
    }
  }
}

}  // namespace
}  // namespace aqx::test
