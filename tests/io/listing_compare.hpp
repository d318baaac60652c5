// Listing comparisons in the io tests ignore trailing blanks, so that the expected texts state the
// visible layout; the blanks that X editing leaves at line ends are checked by the record-engine
// tests themselves.
#pragma once

#include <string>
#include <vector>

namespace aqx::io::testing_support {

inline std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Drops the blanks at the end of every line of a text.
inline std::string rtrimLines(const std::string& text) {
  std::string out;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      out += rtrim(line) + '\n';
      line.clear();
    } else {
      line += c;
    }
  }
  return out + rtrim(line);
}

inline std::vector<std::string> rtrimAll(std::vector<std::string> lines) {
  for (auto& l : lines) l = rtrim(l);
  return lines;
}

}  // namespace aqx::io::testing_support

// Text and line comparisons that ignore trailing blanks.
#define EXPECT_TEXT(actual, expected)                         \
  EXPECT_EQ(::aqx::io::testing_support::rtrimLines(actual), \
            ::aqx::io::testing_support::rtrimLines(expected))
#define EXPECT_LINE(actual, expected) \
  EXPECT_EQ(::aqx::io::testing_support::rtrim(actual), ::aqx::io::testing_support::rtrim(expected))
