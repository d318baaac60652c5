// Fuzz target: input conversion, fixed-field (formats of the kinds the packages use) and
// list-directed, from a file and from character variables.
//
// Input: three bytes (what to do, which format, which targets), then the content of the file.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "io/record.hpp"

using namespace aqx;

namespace {

const char* const kFormats[] = {
    "(3I10)",          "(I10,F10.0,A20,I10)", "(I10,I10,A20,I10)", "(F10.0)",       "(F20.0)",
    "(I20)",           "(10F8.2)",            "(20I4)",            "(E15.6)",       "(G12.4,D20.10)",
    "(2X,I5,F8.3,T3,I2)", "(BN,I5,BZ,I5)",    "(3I10,3F10.0)",     "(A)",           "(A4,2X,A)",
    "(7F10.0)",        "(I3,1X,4(I2,1X))",    "(1P,E12.4,F7.1)",   "(2(I5/),F5.0)", "(F10.3,TL5,I5,TR2,A2)",
    "(40A1)",          "(I10,2F10.0,I10)",    "(3I10,F10.0,3I10)", "(L5,I5)",       "(5G14.0)",
    "(I5,:,F5.0)",     "(2F5.0/(3I4))",       "(I2,T1,I2)",        "(E10.3E3,D12.4)",       "(SP,S,SS,I5)",
};
constexpr int kFormatCount = sizeof(kFormats) / sizeof(kFormats[0]);

struct Targets {
  int i1 = 7, i2 = 7;
  float f1 = 7, f2 = 7;
  double d1 = 7;
  std::string s1, s2;
  std::vector<int> ia = std::vector<int>(20, 7);
  std::vector<float> fa = std::vector<float>(10, 7);
  std::vector<io::InItem> items;

  // mask picks the targets and their order; lengths come from the mask too.
  explicit Targets(unsigned mask) : s1(mask % 23, ' '), s2((mask / 7) % 100, ' ') {
    unsigned m = mask;
    for (int k = 0; k < 6; ++k, m /= 9) {
      switch (m % 9) {
        case 0: items.emplace_back(i1); break;
        case 1: items.emplace_back(f1); break;
        case 2: items.emplace_back(s1); break;
        case 3: items.emplace_back(std::span<int>(ia)); break;
        case 4: items.emplace_back(std::span<float>(fa)); break;
        case 5: items.emplace_back(d1); break;
        case 6: items.emplace_back(i2); break;
        case 7: items.emplace_back(f2); break;
        default: items.emplace_back(s2); break;
      }
    }
  }
  void check(unsigned mask) const {
    // Character targets keep their length; arrays are never resized.
    if (s1.size() != mask % 23 || s2.size() != (mask / 7) % 100) __builtin_trap();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const unsigned what = data[0] % 5;
  const char* fmt = kFormats[data[1] % kFormatCount];
  const unsigned mask = data[2] * 2654435761u % 531441u;
  std::string_view content(reinterpret_cast<const char*>(data) + 3, size - 3);
  fuzz::scratch();
  fuzz::writeFile("in.txt", content);

  Targets t(mask);
  std::unique_ptr<io::Format> format;
  if (!fuzz::guarded([&] { format = std::make_unique<io::Format>(fmt); })) __builtin_trap();

  switch (what) {
    case 0:  // list-directed statements until the file ends
      fuzz::guarded([&] {
        io::openExisting(11, "in.txt");
        for (int k = 0; k < 50; ++k) io::readListItems(11, t.items);
      });
      break;
    case 1:  // fixed-field statements until the file ends
      fuzz::guarded([&] {
        io::openExisting(11, "in.txt");
        for (int k = 0; k < 50; ++k) io::readItems(11, *format, t.items);
      });
      break;
    case 2: {  // whole lines, then a list-directed statement after them
      fuzz::guarded([&] {
        io::openExisting(11, "in.txt");
        std::string line(mask % 200, ' ');
        for (int k = 0; k < 50; ++k) {
          std::size_t n = line.size();
          if (!io::tryReadLine(11, line)) break;
          if (line.size() != n) __builtin_trap();
        }
        io::readLine(11, line);
      });
      break;
    }
    case 3: {  // internal reads of each line, fixed-field
      std::size_t start = 0;
      for (int k = 0; k < 50 && start <= content.size(); ++k) {
        std::size_t end = content.find('\n', start);
        std::string_view rec = content.substr(start, end == std::string_view::npos ? end : end - start);
        fuzz::guarded([&] { io::readInternalItems(rec, *format, t.items); });
        if (end == std::string_view::npos) break;
        start = end + 1;
      }
      break;
    }
    default:  // lines and list-directed statements interleaved
      fuzz::guarded([&] {
        io::openExisting(11, "in.txt");
        std::string line(80, ' ');
        for (int k = 0; k < 25; ++k) {
          io::readLine(11, line);
          io::readListItems(11, t.items);
        }
      });
      break;
  }
  t.check(mask);
  fuzz::reset();
  return 0;
}
