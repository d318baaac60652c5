// Units: the table of open files with their input and output buffers. Internal to src/io.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/record.hpp"

namespace aqx::io::detail {

struct Unit {
  int number = 0;
  std::string name;
  Form form = Form::Text;
  Access access = Access::Sequential;
  int recordLength = 0;
  bool console = false;
  int fd = -1;
  // Identity of the file (device and inode), to refuse connecting one file to two units.
  unsigned long long dev = 0, ino = 0;
  enum class Mode { None, Reading, Writing } mode = Mode::None;

  // input
  std::vector<char> in;
  std::size_t inPos = 0, inEnd = 0;
  bool inEof = false;
  long lineNo = 0;  // lines read so far (the current line's 1-based number)

  // output
  std::string out;  // bytes not yet handed to the system
  std::string rec;  // record being built
};

// The unit, or IoError "unit not open".
Unit& unitFor(int number);

// Next input line without its line end (LF, optionally preceded by CR). The view is valid until
// the next read from the unit. Returns false at end of file.
bool nextLine(Unit& u, std::string_view& line);
// Exactly n bytes; IoError at end of file.
void readBytes(Unit& u, void* dst, std::size_t n);

void beginWrite(Unit& u);
// Appends one finished record (CR LF added).
void putRecord(Unit& u, std::string_view rec);
void putBytes(Unit& u, const void* src, std::size_t n);
// Hands buffered output to the system when the buffer is large or the unit is the console.
void endStatement(Unit& u);
void flushUnit(Unit& u);

[[noreturn]] void fail(const Unit& u, const char* kind, const std::string& detail, bool withLine);

}  // namespace aqx::io::detail
