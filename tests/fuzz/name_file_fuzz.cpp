// Fuzz target: the name-file reader. The input is the name file; every file it names is opened
// (and created) inside the scratch folder.
#include <cstdint>
#include <string_view>

#include "driver/model.hpp"
#include "driver/name_file.hpp"
#include "fuzz_support.hpp"
#include "io/record.hpp"

using namespace aqx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (fuzz::unsafePath(text)) return 0;
  fuzz::scratch();
  fuzz::writeFile("fuzz.nam", text);

  Model model;
  const bool done = fuzz::guarded([&] {
    io::openExisting(NAMEUNIT, "fuzz.nam");
    readNameFile(model);
  });
  if (done) {
    // A name file that was accepted named a BAS file.
    if (model.BASUNIT == 0) __builtin_trap();
  }
  fuzz::reset();
  return 0;
}
