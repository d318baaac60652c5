// Fuzz target: the format parser and the formatted writer and reader.
//
// Input: format text, "\n%%\n", a text record (also the content of a file read under the format),
// "\n%%\n", then bytes that choose the output items and their values.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "io/record.hpp"

using namespace aqx;

namespace {

// Output items with their storage kept alive for the length of one input.
struct Items {
  std::deque<std::vector<int>> ints;
  std::deque<std::vector<float>> floats;
  std::deque<std::vector<double>> doubles;
  std::deque<std::string> strings;
  std::vector<io::OutItem> out;

  void build(FuzzedDataProvider& p) {
    int n = p.ConsumeIntegralInRange(0, 12);
    for (int k = 0; k < n && p.remaining_bytes() > 0; ++k) {
      switch (p.ConsumeIntegralInRange(0, 7)) {
        case 0: out.emplace_back(p.ConsumeIntegral<int>()); break;
        case 1: out.emplace_back(p.ConsumeFloatingPoint<float>()); break;
        case 2: out.emplace_back(p.ConsumeFloatingPoint<double>()); break;
        case 3: out.emplace_back(strings.emplace_back(p.ConsumeRandomLengthString(40))); break;
        case 4: out.emplace_back(p.ConsumeBool()); break;
        case 5: {
          auto& v = ints.emplace_back(p.ConsumeIntegralInRange(0, 20));
          for (auto& x : v) x = p.ConsumeIntegral<int>();
          out.emplace_back(std::span<const int>(v));
          break;
        }
        case 6: {
          auto& v = floats.emplace_back(p.ConsumeIntegralInRange(0, 20));
          for (auto& x : v) x = p.ConsumeFloatingPoint<float>();
          out.emplace_back(std::span<const float>(v));
          break;
        }
        default: {
          auto& v = doubles.emplace_back(p.ConsumeIntegralInRange(0, 20));
          for (auto& x : v) x = p.ConsumeFloatingPoint<double>();
          out.emplace_back(std::span<const double>(v));
          break;
        }
      }
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::string_view text = fuzz::takeSection(rest);
  std::string_view record = fuzz::takeSection(rest);
  FuzzedDataProvider p(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
  fuzz::scratch();

  std::unique_ptr<io::Format> format;
  try {
    format = std::make_unique<io::Format>(text);
  } catch (const io::FormatError&) {
    return 0;
  }
  // The text a format keeps is its own copy.
  (void)format->text().size();

  Items items;
  items.build(p);
  std::size_t length = p.ConsumeIntegralInRange<std::size_t>(0, 200);

  fuzz::guarded([&] {
    std::string s = io::writeInternalItems(length, *format, items.out);
    if (s.size() != length) __builtin_trap();  // an internal record keeps its length
  });
  fuzz::guarded([&] {
    io::open(20, "out.txt");
    io::writeItems(20, *format, items.out);
    io::writeListItems(20, items.out);
    io::close(20);
  });

  // Reads of the record under the same format, into targets of every kind.
  int i1 = 0;
  float f1 = 0;
  double d1 = 0;
  std::string c1(p.ConsumeIntegralInRange(0, 30), ' ');
  std::vector<int> ia(p.ConsumeIntegralInRange(0, 12));
  std::vector<float> fa(p.ConsumeIntegralInRange(0, 12));
  std::vector<double> da(p.ConsumeIntegralInRange(0, 4));
  std::size_t c1size = c1.size();
  const io::InItem in[] = {io::InItem(i1), io::InItem(fa), io::InItem(c1),
                           io::InItem(f1), io::InItem(ia), io::InItem(d1), io::InItem(da)};
  std::size_t nin = p.ConsumeIntegralInRange<std::size_t>(0, 7);
  fuzz::guarded([&] { io::readInternalItems(record, *format, std::span(in, nin)); });
  if (c1.size() != c1size) __builtin_trap();

  fuzz::guarded([&] {
    fuzz::writeFile("in.txt", record);
    io::openExisting(21, "in.txt");
    io::readItems(21, *format, std::span(in, nin));
    io::readItems(21, *format, std::span(in, nin));
  });
  if (c1.size() != c1size) __builtin_trap();

  fuzz::reset();
  return 0;
}
