// Fuzz target: the free-format word parser, called word after word over one line.
//
// Input: a byte for the mode, a byte for the starting column, a byte for the message units, then
// the line itself (its length is the record length).
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "io/record.hpp"
#include "io/word.hpp"

using namespace aqx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > 3 + 400) return 0;
  static const int kModes[] = {0, 1, 2, 3, 7};
  const int mode = kModes[data[0] % 5];
  int column = static_cast<std::int8_t>(data[1]);
  const int listunit = data[2] % 2 == 0 ? -1 : 6;
  const int inunit = (data[2] / 2) % 2 == 0 ? 0 : 5;
  std::string line(reinterpret_cast<const char*>(data) + 3, size - 3);
  const int L = static_cast<int>(line.size());
  fuzz::scratch();
  if (listunit > 0 && !fuzz::guarded([] { io::open(6, "list.txt"); })) __builtin_trap();

  fuzz::guarded([&] {
    for (int call = 0; call < 2 * L + 4; ++call) {
      int first = -99, last = -99, intval = -99;
      float realval = -99.0f;
      const int before = column;
      io::NEXTWORD(line, column, first, last, mode, intval, realval, listunit, inunit);
      if (static_cast<int>(line.size()) != L) __builtin_trap();
      if (line[L - 1] != ' ') __builtin_trap();
      const bool missing = first == L && last == L;
      if (!missing && !(1 <= first && first <= last && last <= L - 1)) __builtin_trap();
      if (column < before && before >= 1) __builtin_trap();
      if (column > L + 1 && before <= L + 1) __builtin_trap();
      if (mode == 1 && !missing)
        for (int c = first; c <= last; ++c)
          if (line[c - 1] >= 'a' && line[c - 1] <= 'z') __builtin_trap();
      if (missing && mode == 2 && intval != 0) __builtin_trap();  // a missing word converts to 0
      if (missing && mode == 3 && realval != 0.0f) __builtin_trap();
      if (missing && column == before) break;
    }
  });
  fuzz::reset();
  return 0;
}
