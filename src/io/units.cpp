// The unit table and the buffered file access under it (POSIX descriptors: reads return what is
// there, so the console prompt does not wait for a full buffer).
#include "io/units.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace aqx::io {

namespace detail {

namespace {

constexpr std::size_t kInChunk = 1 << 18;
constexpr std::size_t kOutFlush = 1 << 17;
constexpr std::size_t kMaxLine = std::size_t{1} << 26;  // longest input line accepted

struct Table {
  std::map<int, std::unique_ptr<Unit>> units;
  Unit* last = nullptr;  // most recent lookup

  Table() { addConsole(); }
  void addConsole() {
    auto c = std::make_unique<Unit>();
    c->number = kConsole;
    c->name = "console";
    c->console = true;
    units[kConsole] = std::move(c);
  }
  ~Table() {
    // Safety net for a run that ends without closing: complete pending output, report nothing.
    for (auto& [n, u] : units) {
      try {
        flushUnit(*u);
      } catch (...) {
      }
      if (!u->console && u->fd >= 0) ::close(u->fd);
    }
  }
};

Table& table() {
  static Table t;
  return t;
}

void writeAll(Unit& u, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t k = ::write(u.console ? 1 : u.fd, p, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      std::string why = std::strerror(errno);
      u.out.clear();
      fail(u, "write error", why, false);
    }
    p += k;
    n -= static_cast<std::size_t>(k);
  }
}

void releaseFd(Unit& u) {
  if (!u.console && u.fd >= 0) ::close(u.fd);
  u.fd = -1;
}

void beginRead(Unit& u) {
  if (u.mode == Unit::Mode::Reading) return;
  if (u.console) {
    // The console reads standard input and writes standard output: show any pending prompt.
    flushUnit(u);
    std::fflush(stdout);
  } else if (u.mode == Unit::Mode::Writing) {
    fail(u, "read error", "the unit was written to and cannot be read back", false);
  } else if (u.fd < 0) {
    int fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(u, "open error", std::strerror(errno), false);
    u.fd = fd;
  }
  u.mode = Unit::Mode::Reading;
  if (u.in.empty()) u.in.resize(kInChunk);
}

// Reads more input after the unread tail; returns false at end of file.
bool refill(Unit& u) {
  if (u.inEof) return false;
  if (u.inPos > 0) {
    std::memmove(u.in.data(), u.in.data() + u.inPos, u.inEnd - u.inPos);
    u.inEnd -= u.inPos;
    u.inPos = 0;
  }
  if (u.inEnd == u.in.size()) {
    if (u.in.size() >= kMaxLine) fail(u, "read error", "input line too long", true);
    u.in.resize(u.in.size() * 2);
  }
  for (;;) {
    ssize_t k = ::read(u.console ? 0 : u.fd, u.in.data() + u.inEnd, u.in.size() - u.inEnd);
    if (k < 0) {
      if (errno == EINTR) continue;
      fail(u, "read error", std::strerror(errno), false);
    }
    if (k == 0) {
      u.inEof = true;
      return false;
    }
    u.inEnd += static_cast<std::size_t>(k);
    return true;
  }
}

}  // namespace

void fail(const Unit& u, const char* kind, const std::string& detail, bool withLine) {
  throw IoError(kind, u.number, u.name, withLine ? u.lineNo : 0, detail);
}

Unit& unitFor(int number) {
  Table& t = table();
  if (t.last && t.last->number == number) return *t.last;
  auto it = t.units.find(number);
  if (it == t.units.end())
    throw IoError("unit not open", number, "", 0, "unit " + std::to_string(number) + " is not open");
  t.last = it->second.get();
  return *t.last;
}

bool nextLine(Unit& u, std::string_view& line) {
  beginRead(u);
  for (;;) {
    const char* base = u.in.data();
    const void* nl = std::memchr(base + u.inPos, '\n', u.inEnd - u.inPos);
    if (nl) {
      std::size_t end = static_cast<const char*>(nl) - base;
      std::size_t stop = end;
      if (stop > u.inPos && base[stop - 1] == '\r') --stop;
      line = std::string_view(base + u.inPos, stop - u.inPos);
      u.inPos = end + 1;
      ++u.lineNo;
      return true;
    }
    if (!refill(u)) {
      if (u.inPos < u.inEnd) {
        // a last line without a line end
        std::size_t stop = u.inEnd;
        if (base[stop - 1] == '\r') --stop;
        line = std::string_view(base + u.inPos, stop - u.inPos);
        u.inPos = u.inEnd;
        ++u.lineNo;
        return true;
      }
      return false;
    }
  }
}

void readBytes(Unit& u, void* dst, std::size_t n) {
  beginRead(u);
  char* d = static_cast<char*>(dst);
  while (n > 0) {
    if (u.inPos == u.inEnd) {
      u.inPos = u.inEnd = 0;
      if (!refill(u)) fail(u, "end of file", "unexpected end of file in binary read", false);
    }
    std::size_t k = std::min(n, u.inEnd - u.inPos);
    std::memcpy(d, u.in.data() + u.inPos, k);
    u.inPos += k;
    d += k;
    n -= k;
  }
}

void beginWrite(Unit& u) {
  if (u.mode == Unit::Mode::Writing) return;
  if (u.console) {
    u.mode = Unit::Mode::Writing;  // standard input keeps what it has buffered
    return;
  } else {
    releaseFd(u);
    // The first write replaces the earlier content of the file.
    int fd = ::open(u.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail(u, "open error", std::strerror(errno), false);
    u.fd = fd;
  }
  u.mode = Unit::Mode::Writing;
  u.inPos = u.inEnd = 0;
  u.inEof = false;
  if (u.out.capacity() < kOutFlush + 4096) u.out.reserve(kOutFlush + 4096);
}

void putRecord(Unit& u, std::string_view rec) {
  u.out.append(rec);
  u.out.append("\r\n", 2);
  if (u.out.size() >= kOutFlush) flushUnit(u);
}

void putBytes(Unit& u, const void* src, std::size_t n) {
  if (n >= kOutFlush) {
    flushUnit(u);
    writeAll(u, static_cast<const char*>(src), n);
    return;
  }
  u.out.append(static_cast<const char*>(src), n);
  if (u.out.size() >= kOutFlush) flushUnit(u);
}

void endStatement(Unit& u) {
  if (u.console || u.out.size() >= kOutFlush) flushUnit(u);
}

void flushUnit(Unit& u) {
  if (u.out.empty()) return;
  if (u.console) std::fflush(stdout);  // keep order with anything written through stdio
  std::string pending;
  pending.swap(u.out);
  writeAll(u, pending.data(), pending.size());
  pending.clear();
  u.out.swap(pending);
}

}  // namespace detail

using detail::Unit;

bool fileExists(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0;
}

void open(int unit, const std::string& name, Form form, Access access, int recordLength) {
  close(unit);
  // An existing file stays open for reading (the descriptor is kept for the first read); a
  // missing one is created empty.
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    }
  }
  if (fd < 0) throw IoError("open error", unit, name, 0, std::strerror(errno));
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  auto& t = detail::table();
  // A file is connected to one unit at a time: a second unit on the same file would read what
  // the other writes, or replace the content the other is still reading (a name file that names
  // itself as the listing file).
  if (known) {
    for (auto& [n, other] : t.units) {
      if (!other->console && other->dev == st.st_dev && other->ino == st.st_ino) {
        ::close(fd);
        throw IoError("open error", unit, name, 0,
                      "the file is already open on unit " + std::to_string(n) + " (" + other->name + ")");
      }
    }
  }
  auto u = std::make_unique<Unit>();
  u->fd = fd;
  if (known) {
    u->dev = st.st_dev;
    u->ino = st.st_ino;
  }
  u->number = unit;
  u->name = name;
  u->form = form;
  u->access = access;
  u->recordLength = recordLength;
  t.last = nullptr;
  t.units[unit] = std::move(u);
}

void openExisting(int unit, const std::string& name, Form form) {
  if (!fileExists(name)) throw IoError("open error", unit, name, 0, "file does not exist");
  open(unit, name, form);
}

void close(int unit) {
  auto& t = detail::table();
  auto it = t.units.find(unit);
  if (it == t.units.end()) return;
  Unit& u = *it->second;
  if (u.console) {
    detail::flushUnit(u);
    return;
  }
  t.last = nullptr;
  std::unique_ptr<Unit> gone = std::move(it->second);
  t.units.erase(it);
  try {
    detail::flushUnit(*gone);
  } catch (...) {
    if (gone->fd >= 0) ::close(gone->fd);
    throw;
  }
  if (gone->fd >= 0) ::close(gone->fd);
  if (unit == kConsole) t.addConsole();  // unit 0 was bound to a file: back to the console
}

void closeRange(int first, int last) {
  auto& t = detail::table();
  std::vector<int> numbers;
  for (auto& [n, u] : t.units)
    if (n >= first && n <= last) numbers.push_back(n);
  for (int n : numbers) close(n);
}

void closeAll() {
  auto& t = detail::table();
  std::vector<int> numbers;
  for (auto& [n, u] : t.units) numbers.push_back(n);
  // Close every unit even when one of them fails, then report the first failure.
  bool failed = false;
  IoError first("write error", 0, "", 0, "");
  for (int n : numbers) {
    try {
      close(n);
    } catch (const IoError& e) {
      if (!failed) first = e;
      failed = true;
    }
  }
  if (failed) throw first;
}

void flushAll() {
  for (auto& [n, u] : detail::table().units) detail::flushUnit(*u);
}

bool isOpen(int unit) {
  auto& t = detail::table();
  return t.units.count(unit) != 0;
}

std::string fileName(int unit) {
  auto& t = detail::table();
  auto it = t.units.find(unit);
  return it == t.units.end() ? std::string() : it->second->name;
}

}  // namespace aqx::io
