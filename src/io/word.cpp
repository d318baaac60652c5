#include "io/word.hpp"

#include <string_view>

#include "io/record.hpp"

namespace aqx::io {

namespace {

// Blank, comma and tab all separate words.
bool isSeparator(char c) {
  return c == ' ' || c == ',' || c == '\t';
}

// Converts `word` through a 20-character right-justified field; false on a conversion error.
bool convertWord(std::string_view word, int mode, int& intval, float& realval) {
  if (word.size() > 20) return false;
  std::string field(20 - word.size(), ' ');
  field.append(word);
  if (mode == 2) {
    int v = 0;
    if (!readInternal(field, AQX_FMT("(I20)"), v)) return false;
    intval = v;
  } else {
    float v = 0.0f;
    if (!readInternal(field, AQX_FMT("(F20.0)"), v)) return false;
    realval = v;
  }
  return true;
}

}  // namespace

void NEXTWORD(std::string& line, int& column, int& first, int& last, int mode, int& intval, float& realval,
              int listunit, int inunit) {
  const int L = static_cast<int>(line.size());
  // 1-based access into the caller's record.
  auto at = [&line](int col) -> char& { return line[static_cast<std::size_t>(col - 1)]; };

  if (L > 0) at(L) = ' ';
  const int E = L - 1;
  first = L;
  last = L;
  bool found = false;

  if (column >= 1 && column <= E) {
    int i = column;
    while (i <= E && isSeparator(at(i))) ++i;
    if (i > E) {
      column = E + 1;
    } else {
      int start;
      int j;
      if (at(i) == '\'') {
        start = i + 1;
        j = start;
        while (j <= E && at(j) != '\'') ++j;
      } else {
        start = i;
        j = i;
        while (j <= E && !isSeparator(at(j))) ++j;
      }
      column = j + 1;
      if (j - 1 >= start) {
        first = start;
        last = j - 1;
        found = true;
      }
    }
  }

  if (found && mode == 1) {
    for (int c = first; c <= last; ++c) {
      char& ch = at(c);
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    }
    return;
  }
  if (mode != 2 && mode != 3) return;

  // A missing word converts as the single blank at column L.
  std::string_view word;
  if (L > 0)
    word = std::string_view(line).substr(static_cast<std::size_t>(first - 1),
                                         static_cast<std::size_t>(last - first + 1));
  if (convertWord(word, mode, intval, realval)) return;

  if (listunit < 0) {
    intval = 0;
    realval = 0.0f;
    if (L >= 2) at(L - 1) = 'E';
    return;
  }
  const std::string_view type = mode == 3 ? "A REAL NUMBER" : "AN INTEGER";
  if (inunit > 0) {
    write(listunit, AQX_FMT("(1X/1X,'FILE UNIT',I4,' : ERROR CONVERTING \"',A,'\" TO ',A,' IN LINE:'/1X,A)"),
          inunit, word, type, line);
  } else {
    write(listunit, AQX_FMT("(1X/1X,'KEYBOARD INPUT : ERROR CONVERTING \"',A,'\" TO ',A,' IN LINE:'/1X,A)"),
          word, type, line);
  }
  stopRun();
}

}  // namespace aqx::io

namespace aqx::io {

int Words::integer(int listunit) {
  int v = 0;
  float r = 0.0f;
  NEXTWORD(line_, col_, first_, last_, 2, v, r, listunit, in_);
  return v;
}

float Words::real() {
  int v = 0;
  float r = 0.0f;
  NEXTWORD(line_, col_, first_, last_, 3, v, r, lu_, in_);
  return r;
}

std::string_view Words::word() const {
  if (first_ < 1 || last_ < first_) return {};
  return std::string_view(line_).substr(static_cast<std::size_t>(first_ - 1),
                                        static_cast<std::size_t>(last_ - first_ + 1));
}

std::string_view Words::take(int mode) {
  int v = 0;
  float r = 0.0f;
  NEXTWORD(line_, col_, first_, last_, mode, v, r, lu_, in_);
  return word();
}

}  // namespace aqx::io
