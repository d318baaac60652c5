#include "io/arrays.hpp"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "io/layers.hpp"
#include "io/record.hpp"
#include "io/text.hpp"
#include "io/word.hpp"

namespace aqx::io {

namespace {

// Unit bound to the file named in an "OPEN/CLOSE" control record, for one array only.

enum class Reader { Vec, IMat, RMat };

// What an array control record says.
struct Control {
  int location = 0;
  float rconst = 0.0f;  // constant or multiplier of the real readers
  int iconst = 0;       // constant or multiplier of the integer reader
  std::string format = std::string(20, ' ');
  int printCode = 0;
  bool openClose = false;
  std::string fileName;  // the word as written, for opening
};

// The format field as a 20-character variable, compared the way character variables compare
// (trailing blanks do not count).
bool formatIs(const std::string& format, std::string_view word) {
  return trimRight(format) == word;
}

// Opens unit 99 on the named file; a missing file is an input error naming it.
void openArrayFile(const Control& c, Form form, int listunit) {
  if (!fileExists(c.fileName)) {
    write(listunit,
          AQX_FMT("(1X,'ERROR: FILE \"',A,'\" NAMED IN AN OPEN/CLOSE ARRAY CONTROL RECORD DOES NOT EXIST')"),
          c.fileName);
    stopRun();
  }
  openExisting(OPENCLOSEUNIT, c.fileName, form);
}

// Reads and decodes one array control record from `inunit`.
Control readControl(Reader reader, std::string_view name, int k, int inunit, int listunit) {
  Control c;
  std::string line(80, ' ');
  readLine(inunit, line);

  Words words(line, listunit, inunit);
  const std::string word(words.upper());
  const bool twoD = reader != Reader::Vec;

  if (word == "CONSTANT") {
    c.location = 0;
  } else if (word == "INTERNAL") {
    c.location = inunit;
  } else if (word == "EXTERNAL") {
    c.location = words.integer();
  } else if (word == "OPEN/CLOSE") {
    c.fileName = std::string(words.asWritten());
    c.openClose = true;
    c.location = OPENCLOSEUNIT;
    write(listunit, AQX_FMT("(1X/1X,'OPENING FILE ON UNIT',I4,':'/1X,A)"), OPENCLOSEUNIT,
          fit(c.fileName, 80));
    if (!twoD) openArrayFile(c, Form::Text, listunit);
  } else {
    // Fixed-column record (the first word, upper-cased above, stays so in the line).
    bool ok;
    if (reader == Reader::IMat) {
      ok = readInternal(line, AQX_FMT("(I10,I10,A20,I10)"), c.location, c.iconst, c.format, c.printCode);
    } else {
      ok = readInternal(line, AQX_FMT("(I10,F10.0,A20,I10)"), c.location, c.rconst, c.format, c.printCode);
    }
    if (!ok) {
      if (twoD && k > 0) {
        write(listunit, AQX_FMT("(1X/1X,'ERROR READING ARRAY CONTROL RECORD FOR ',A,' FOR LAYER',I4,':')"),
              name, k);
      } else {
        write(listunit, AQX_FMT("(1X/1X,'ERROR READING ARRAY CONTROL RECORD FOR ',A,':')"), name);
      }
      write(listunit, AQX_FMT("(1X,A)"), line);
      stopRun();
    }
    return c;
  }

  // Free form: constant, then format and print code where the location calls for them.
  if (reader == Reader::IMat) {
    c.iconst = words.integer();
  } else {
    c.rconst = words.real();
  }
  const bool wantsFormat = twoD ? c.location != 0 : c.location > 0;
  if (wantsFormat) {
    c.format = fit(words.upper(), 20);
    if (twoD) {
      const bool binary = formatIs(c.format, "(BINARY)");
      if (c.openClose) openArrayFile(c, binary ? Form::Stream : Form::Text, listunit);
      if (binary && c.location > 0) c.location = -c.location;
      if (reader == Reader::IMat && formatIs(c.format, "BINARY") && c.location > 0) c.location = -c.location;
    }
    c.printCode = words.integer();
  }
  return c;
}

// Text heading of the two-dimensional readers, by layer kind.
void textHeading2D(std::string_view name, int k, int unit, const std::string& format, int listunit) {
  if (k > 0) {
    write(listunit, AQX_FMT("(1X///11X,A,' FOR LAYER',I4/1X,'READING ON UNIT',I4,' WITH FORMAT: ',A)"), name,
          k, unit, format);
  } else if (k == 0) {
    write(listunit, AQX_FMT("(1X///11X,A/1X,'READING ON UNIT',I4,' WITH FORMAT: ',A)"), name, unit, format);
  } else {
    write(listunit, AQX_FMT("(1X///11X,A,' FOR CROSS SECTION'/1X,'READING ON UNIT',I4,' WITH FORMAT: ',A)"),
          name, unit, format);
  }
}

// Reads rows x columns values row by row, one statement per row.
template <class T>
void readRowsText(T* values, int rows, int columns, int unit, const std::string& format) {
  const std::size_t nc = static_cast<std::size_t>(columns);
  if (formatIs(format, "(FREE)")) {
    for (int r = 0; r < rows; ++r)
      readList(unit, std::span<T>(values + static_cast<std::size_t>(r) * nc, nc));
  } else {
    const Format& f = Format::runtime(trimRight(format));
    for (int r = 0; r < rows; ++r) read(unit, f, std::span<T>(values + static_cast<std::size_t>(r) * nc, nc));
  }
}

// A binary read that runs short (or fails otherwise) is reported in the listing with the file.
template <class Fn>
void binaryRead(int unit, std::string_view name, int listunit, Fn&& fn) {
  try {
    fn();
  } catch (const IoError& e) {
    std::string file = fileName(unit);
    if (file.empty()) file = e.file();
    write(listunit, AQX_FMT("(1X,'ERROR READING BINARY ARRAY ',A,' ON UNIT',I4,' FROM FILE \"',A,'\": ',A)"),
          name, unit, file, std::string(e.what()));
    stopRun();
  }
}

// The unit of a negative (binary) location. The most negative integer has no positive
// counterpart: it names no unit, and negating it would overflow.
int binaryUnit(int location) {
  if (location == INT_MIN)
    throw IoError("unit not open", location, "", 0, "unit " + std::to_string(location) + " is not open");
  return -location;
}

void closeIfOpenClose(const Control& c) {
  if (c.openClose) close(OPENCLOSEUNIT);
}

}  // namespace

void READVEC(float* values, std::string_view name, int n, int inunit, int listunit) {
  const Control c = readControl(Reader::Vec, name, 0, inunit, listunit);
  const std::size_t nn = n > 0 ? static_cast<std::size_t>(n) : 0;

  if (c.location <= 0) {
    for (std::size_t i = 0; i < nn; ++i) values[i] = c.rconst;
    write(listunit, AQX_FMT("(1X/1X,A,' =',G15.7)"), name, c.rconst);
    closeIfOpenClose(c);
    return;
  }

  write(listunit, AQX_FMT("(1X///11X,A/1X,'READING ON UNIT',I4,' WITH FORMAT: ',A20)"), name, c.location,
        c.format);
  if (formatIs(c.format, "(FREE)")) {
    readList(c.location, std::span<float>(values, nn));
  } else {
    read(c.location, Format::runtime(trimRight(c.format)), std::span<float>(values, nn));
  }
  closeIfOpenClose(c);

  if (c.rconst != 0.0f) {
    for (std::size_t i = 0; i < nn; ++i) values[i] *= c.rconst;
  }
  if (c.printCode < 0) return;
  if (c.printCode == 0) {
    write(listunit, AQX_FMT("(1(1X,1P,G12.5,9(1X,G12.5)))"), std::span<const float>(values, nn));
  } else {
    write(listunit, AQX_FMT("(1(1X,1P,G12.5,4(1X,G12.5)))"), std::span<const float>(values, nn));
  }
}

void READRMAT(float* values, std::string_view name, int rows, int columns, int k, int inunit, int listunit) {
  const Control c = readControl(Reader::RMat, name, k, inunit, listunit);
  const std::size_t count =
      rows > 0 && columns > 0 ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) : 0;

  if (c.location == 0) {
    for (std::size_t i = 0; i < count; ++i) values[i] = c.rconst;
    if (k > 0) {
      write(listunit, AQX_FMT("(1X/1X,A,' =',G15.7,' FOR LAYER',I4)"), name, c.rconst, k);
    } else {
      write(listunit, AQX_FMT("(1X/1X,A,' =',G15.7)"), name, c.rconst);
    }
    return;
  }

  if (c.location > 0) {
    textHeading2D(name, k, c.location, c.format, listunit);
    readRowsText(values, rows, columns, c.location, c.format);
  } else {
    const int unit = binaryUnit(c.location);
    if (k > 0) {
      write(listunit, AQX_FMT("(1X///11X,A,' FOR LAYER',I4/1X,'READING BINARY ON UNIT',I4)"), name, k, unit);
    } else if (k == 0) {
      write(listunit, AQX_FMT("(1X///1X,A/1X,'READING BINARY ON UNIT',I4)"), name, unit);
    } else {
      write(listunit, AQX_FMT("(1X///1X,A,' FOR CROSS SECTION'/1X,'READING BINARY ON UNIT',I4)"), name, unit);
    }
    binaryRead(unit, name, listunit, [&] {
      // The layer-record header: read, not checked.
      int kstp = 0;
      int kper = 0;
      float pertim = 0.0f;
      float totim = 0.0f;
      std::string text(16, ' ');
      int ncol = 0;
      int nrow = 0;
      int ilay = 0;
      readBinary(unit, kstp, kper, pertim, totim, text, ncol, nrow, ilay);
      readBinary(unit, std::span<float>(values, count));
    });
  }
  closeIfOpenClose(c);

  if (c.rconst != 0.0f) {
    for (std::size_t i = 0; i < count; ++i) values[i] *= c.rconst;
  }
  if (c.printCode < 0) return;
  PRTLAYWRAP(values, name, 0, 0, columns, rows, 0, c.printCode, listunit);
}

namespace {

// Echo of an integer array row under print code 1 to 9.
const Format& intRowFormat(int code) {
  switch (code) {
    case 1:
      return AQX_FMT("(1X,I3,1X,60(1X,I1),:/1(5X,60(1X,I1)))");
    case 2:
      return AQX_FMT("(1X,I3,1X,40(1X,I2),:/1(5X,40(1X,I2)))");
    case 3:
      return AQX_FMT("(1X,I3,1X,30(1X,I3),:/1(5X,30(1X,I3)))");
    case 4:
      return AQX_FMT("(1X,I3,1X,25(1X,I4),:/1(5X,25(1X,I4)))");
    case 5:
      return AQX_FMT("(1X,I3,1X,20(1X,I5),:/1(5X,20(1X,I5)))");
    case 7:
      return AQX_FMT("(1X,I3,1X,25(1X,I2),:/1(5X,25(1X,I2)))");
    case 8:
      return AQX_FMT("(1X,I3,1X,15(1X,I4),:/1(5X,15(1X,I4)))");
    case 9:
      return AQX_FMT("(1X,I3,1X,10(1X,I6),:/1(5X,10(1X,I6)))");
    default:
      return AQX_FMT("(1X,I3,1X,10(1X,I11),:/1(5X,10(1X,I11)))");
  }
}

struct IntEcho {
  int perLine;
  int width;
};

IntEcho intEcho(int code) {
  switch (code) {
    case 1:
      return {60, 2};
    case 2:
      return {40, 3};
    case 3:
      return {30, 4};
    case 4:
      return {25, 5};
    case 5:
      return {20, 6};
    case 7:
      return {25, 3};
    case 8:
      return {15, 5};
    case 9:
      return {10, 7};
    default:
      return {10, 12};
  }
}

}  // namespace

void READIMAT(int* values, std::string_view name, int rows, int columns, int k, int inunit, int listunit) {
  const Control c = readControl(Reader::IMat, name, k, inunit, listunit);
  const std::size_t count =
      rows > 0 && columns > 0 ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) : 0;

  if (c.location == 0) {
    for (std::size_t i = 0; i < count; ++i) values[i] = c.iconst;
    if (k > 0) {
      write(listunit, AQX_FMT("(1X/1X,A,' =',I15,' FOR LAYER',I4)"), name, c.iconst, k);
    } else {
      write(listunit, AQX_FMT("(1X/1X,A,' =',I15)"), name, c.iconst);
    }
    return;
  }

  if (c.location > 0) {
    textHeading2D(name, k, c.location, c.format, listunit);
    readRowsText(values, rows, columns, c.location, c.format);
  } else {
    const int unit = binaryUnit(c.location);
    if (k > 0) {
      write(listunit, AQX_FMT("(1X///11X,A,' FOR LAYER',I4/1X,'READING BINARY ON UNIT',I4)"), name, k, unit);
    } else if (k == 0) {
      write(listunit, AQX_FMT("(1X///11X,A/1X,'READING BINARY ON UNIT',I4)"), name, unit);
    } else {
      write(listunit, AQX_FMT("(1X///11X,A,' FOR CROSS SECTION'/1X,'READING BINARY ON UNIT',I4)"), name,
            unit);
    }
    binaryRead(unit, name, listunit, [&] { readBinary(unit, std::span<int>(values, count)); });
  }
  closeIfOpenClose(c);

  if (c.iconst != 0) {
    // Wraps like the machine's integer arithmetic instead of overflowing.
    for (std::size_t i = 0; i < count; ++i) {
      values[i] =
          static_cast<int>(static_cast<std::uint32_t>(values[i]) * static_cast<std::uint32_t>(c.iconst));
    }
  }
  if (c.printCode < 0) return;
  const int code = c.printCode == 0 || c.printCode > 9 ? 6 : c.printCode;
  const IntEcho echo = intEcho(code);
  COLHEAD(1, columns, 4, echo.perLine, echo.width, listunit);
  const Format& f = intRowFormat(code);
  const std::size_t nc = static_cast<std::size_t>(columns > 0 ? columns : 0);
  for (int r = 1; r <= rows; ++r) {
    write(listunit, f, r, std::span<const int>(values + static_cast<std::size_t>(r - 1) * nc, nc));
  }
}

}  // namespace aqx::io
