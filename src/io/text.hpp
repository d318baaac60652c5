// Small text helpers for character variables: fixed lengths with blank padding.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace aqx::io {

// The text without its trailing blanks.
inline std::string trimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

// The text as a character variable of n characters: cut, or padded with blanks.
inline std::string fit(std::string_view s, std::size_t n) {
  std::string out(s.substr(0, std::min(n, s.size())));
  out.resize(n, ' ');
  return out;
}

}  // namespace aqx::io
