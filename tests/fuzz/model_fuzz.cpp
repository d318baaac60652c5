// Fuzz target: a whole simulation with every package (input layout in model_input.hpp). The
// target writes the package files and a name file naming every package whose file is not empty,
// and runs the simulation in-process under caps on the grid size, the number of steps and the
// outer iterations per step, so that a valid but large model cannot pass for a hang.
//
// A finding, beside a crash, a sanitizer report or a hang: a step that reports convergence (or
// goes on without it at the user's request) with a variable-head cell whose head, as saved in
// single precision, is not finite.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "driver/model.hpp"
#include "driver/simulation.hpp"
#include "fuzz_support.hpp"
#include "io/record.hpp"
#include "model_input.hpp"

using namespace aqx;

namespace {

RunCaps caps() {
  RunCaps c;
  c.maxCells = 4000;
  c.maxSteps = 60;
  c.maxOuterIterations = 100;
  c.afterStep = [](const Model& m) {
    if (m.CONVERGED != 1 && m.CONTINUEFLAG != 1) return;
    if (m.HEADNEW == nullptr || m.IBOUND == nullptr) return;
    for (std::int64_t n = 0; n < m.NCELLS; ++n) {
      if (m.IBOUND[n] > 0 && !std::isfinite(static_cast<float>(m.HEADNEW[n]))) __builtin_trap();
    }
  };
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty() || fuzz::unsafePath(input.substr(1))) return 0;
  fuzz::scratch();
  for (const auto& [name, text] : model_input::split(input)) fuzz::writeFile(name, text);

  static const RunCaps kCaps = caps();
  fuzz::guarded([&] {
    io::openExisting(NAMEUNIT, model_input::kNameFile);
    runSimulation(kCaps);
  });
  fuzz::reset();
  return 0;
}
