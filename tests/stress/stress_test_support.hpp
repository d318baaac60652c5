// Small pieces shared by the boundary-package tests: a text search for listing checks, and the
// case type of the tables of input that stops a run with a message.
#pragma once

#include <ostream>
#include <string>

namespace aqx::test {

inline bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

struct StopCase {
  const char* name;
  const char* input;
  const char* message;  // a piece of the listing
};
inline void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.name;
}

}  // namespace aqx::test
