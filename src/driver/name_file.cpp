// The name-file reader. Each entry is one line of words: file type, unit, file name, and an
// optional access word "DIRECT" followed by the record length. The first entry must be the
// listing file; comments ("#" in column 1) are copied to the listing once it is open.
#include "driver/name_file.hpp"

#include <map>
#include <string>
#include <string_view>

#include "io/record.hpp"
#include "io/word.hpp"

namespace aqx {

namespace {

constexpr std::size_t kLineLength = 80;

bool isBlankLine(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

// Slot of a package file type (1-based), or 0. Blank slots never match.
int findSlot(std::string_view type) {
  for (int slot = 1; slot <= kPkgSlots; ++slot) {
    const std::string_view code = pkgType(slot);
    if (!code.empty() && code == type) return slot;
  }
  return 0;
}

// Stops the run with a message on the listing file, or on the console before it is open.
[[noreturn]] void entryError(int listUnit, const std::string& text) {
  if (listUnit > 0) {
    io::write(listUnit, AQX_FMT("(1X/1X,A)"), text);
  } else {
    io::writeList(io::kConsole, text);
  }
  io::stopRun(1);
}

}  // namespace

void readNameFile(Model& m) {
  m.BASUNIT = 0;
  m.LISTUNIT = 0;
  m.PKGUNIT.fill(0);
  bool listOpen = false;
  std::map<int, std::string> opened;  // unit -> file name, for the check of units used twice

  std::string line(kLineLength, ' ');
  for (;;) {
    line.assign(kLineLength, ' ');
    if (!io::tryReadLine(NAMEUNIT, line)) break;
    if (isBlankLine(line)) continue;
    if (line[0] == '#') {
      if (listOpen) io::write(m.LISTUNIT, AQX_FMT("(A)"), line);
      continue;
    }

    // Conversion errors go to the listing file once it is open, to the console before.
    const int messageUnit = listOpen ? m.LISTUNIT : io::kConsole;
    io::Words words(line, messageUnit, NAMEUNIT);
    const std::string type(words.upper());
    const int unit = words.integer();

    io::Form form = io::Form::Text;
    if (!listOpen) {
      if (type != "LIST") {
        io::writeList(io::kConsole, " FIRST ENTRY IN NAME FILE MUST BE \"LIST\".");
        io::stopRun(1);
      }
      m.LISTUNIT = unit;
    } else if (type == "BAS") {
      m.BASUNIT = unit;
    } else if (type == "DATA(BINARY)") {
      form = io::Form::Stream;
    } else if (type == "DATA") {
      // formatted text
    } else if (int slot = findSlot(type); slot > 0) {
      m.PKGUNIT[slot] = unit;
    } else {
      io::write(m.LISTUNIT, AQX_FMT("(1X,'ILLEGAL FILE TYPE IN NAME FILE: ',A)"), type);
      io::stopRun(1);
    }

    const std::string fileName(words.asWritten());
    const bool direct = words.upper() == "DIRECT";
    const int recordLength = direct ? words.integer() : 0;

    // Units 97 to 99 carry the batch report, the batch file and the name file; a unit can hold
    // only one file at a time.
    const int errorUnit = listOpen ? m.LISTUNIT : 0;
    if (unit < 1 || (unit >= BATCHRPTUNIT && unit <= NAMEUNIT)) {
      entryError(errorUnit,
                 "UNIT " + std::to_string(unit) + " OF FILE " + fileName +
                     " CANNOT BE USED: UNITS MUST BE 1 OR MORE AND UNITS 97, 98 AND 99 ARE RESERVED");
    }
    if (auto it = opened.find(unit); it != opened.end()) {
      entryError(errorUnit, "UNIT " + std::to_string(unit) + " OF FILE " + fileName +
                                " IS ALREADY USED BY FILE " + it->second);
    }
    if (fileName == " ") {
      entryError(errorUnit, "NO FILE NAME IN NAME FILE ENTRY OF TYPE " + type);
    }

    if (direct) {
      if (listOpen) {
        io::write(m.LISTUNIT,
                  AQX_FMT("(1X/1X,'OPENING ',A/1X,'FILE TYPE:',A,'   UNIT',I4,'   DIRECT ACCESS',I10)"),
                  fileName, type, unit, recordLength);
      }
      io::open(unit, fileName, form, io::Access::Direct, recordLength);
    } else {
      if (listOpen) {
        io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'OPENING ',A/1X,'FILE TYPE:',A,'   UNIT',I4)"), fileName, type,
                  unit);
      }
      io::open(unit, fileName, form, io::Access::Sequential);
    }
    opened[unit] = fileName;

    if (!listOpen) {
      io::write(m.LISTUNIT, AQX_FMT("(1X,'LISTING FILE: ',A/25X,'UNIT',I4)"), fileName, unit);
      listOpen = true;
    }
  }

  if (!listOpen) {
    io::writeList(io::kConsole, " NAME FILE IS EMPTY.");
    io::stopRun(1);
  }
  if (m.BASUNIT == 0) {
    io::writeList(m.LISTUNIT, " BAS PACKAGE FILE HAS NOT BEEN OPENED.");
    io::stopRun(1);
  }
  io::close(NAMEUNIT);
}

}  // namespace aqx
