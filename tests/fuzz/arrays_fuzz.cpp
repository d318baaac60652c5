// Fuzz target: the array readers, control record and values, from the package file itself, from
// other units (text and byte stream) and from files named in the record.
//
// Input: a byte choosing the reader and the layer number, a byte for the rows (or the length), a
// byte for the columns, then the package file, "\n%%\n", the text file open on unit 12
// ("ext.txt"), "\n%%\n", the byte-stream file open on unit 13 ("ext.bin"). Both files can also be
// named in an "OPEN/CLOSE" record.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "io/arrays.hpp"
#include "io/record.hpp"

using namespace aqx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
  if (fuzz::unsafePath(rest)) return 0;
  const int reader = data[0] % 3;
  const int k = (data[0] / 3) % 5 - 2;
  const int rows = 1 + data[1] % 10;
  const int cols = 1 + data[2] % 12;
  std::string_view pkg = fuzz::takeSection(rest);
  std::string_view ext = fuzz::takeSection(rest);
  std::string_view bin = rest;
  fuzz::scratch();
  fuzz::writeFile("pkg.txt", pkg);
  fuzz::writeFile("ext.txt", ext);
  fuzz::writeFile("ext.bin", bin);

  // Exactly the size the reader is told, so that any write past the end is caught.
  std::vector<float> reals(static_cast<std::size_t>(rows) * cols);
  std::vector<int> ints(static_cast<std::size_t>(rows) * cols);
  const std::string name = "   FUZZED ARRAY NAME    ";

  bool ok = fuzz::guarded([] {
    io::open(6, "list.txt");
    io::openExisting(11, "pkg.txt");
    io::openExisting(12, "ext.txt");
    io::openExisting(13, "ext.bin", io::Form::Stream);
  });
  if (!ok) __builtin_trap();

  // Up to three arrays one after the other from the same package file.
  for (int n = 0; n < 3 && ok; ++n) {
    ok = fuzz::guarded([&] {
      switch (reader) {
        case 0: io::READVEC(reals.data(), name, rows * cols, 11, 6); break;
        case 1: io::READIMAT(ints.data(), name, rows, cols, k, 11, 6); break;
        default: io::READRMAT(reals.data(), name, rows, cols, k, 11, 6); break;
      }
    });
    // A read that completed has closed the "OPEN/CLOSE" unit.
    if (ok && io::isOpen(99)) __builtin_trap();
  }
  fuzz::reset();
  return 0;
}
