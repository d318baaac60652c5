// A model filled by hand for exercising flow and solver numerics without input files
// (allocateGrid, from the model builder), with a listing file of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"
#include "support/model_builder.hpp"

namespace aqx::test {

// A listing file in a scratch folder on a unit of its own.
struct Listing {
  TempDir dir;
  int unit;
  explicit Listing(int u = 61) : unit(u) { io::open(unit, (dir / "listing").string()); }
  ~Listing() { io::close(unit); }
  std::string text() {
    io::close(unit);
    return dir.readText("listing");
  }
  // The lines without trailing blanks.
  std::vector<std::string> trimmedLines() {
    std::vector<std::string> out = lines(text());
    for (std::string& l : out) l.erase(l.find_last_not_of(' ') + 1);
    return out;
  }
};

}  // namespace aqx::test
