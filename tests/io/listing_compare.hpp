// Listing comparisons in the io tests ignore trailing blanks: a record that ends in blank
// positioning (a lone "1X") may or may not carry the blank, and nothing reads trailing blanks.
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
