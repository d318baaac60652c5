// Transfer statements: formatted, list-directed, internal and byte-stream reads and writes.
#include "io/record.hpp"

#include <bit>
#include <charconv>
#include <cstring>

#include "io/format_internal.hpp"
#include "io/units.hpp"

namespace aqx::io {

using detail::Op;
using detail::OpCode;
using detail::Unit;

static_assert(std::endian::native == std::endian::little, "byte-stream records are little-endian");

namespace {

// ---------------------------------------------------------------------------------------------
// Format control shared by reads and writes. The handler supplies the record operations; the
// items are consumed one value at a time, so arrays and repeat counts never expand in memory.

template <class H>
void runFormat(const Format::Impl& f, H& h) {
  const Op* ops = f.ops.data();
  struct Frame {
    int begin;
    int left;
  };
  Frame stack[detail::kMaxNesting + 1];
  int sp = 0;
  bool consumed = false;
  int pc = 0;
  for (;;) {
    const Op& op = ops[pc];
    switch (op.code) {
      case OpCode::GroupBegin:
        stack[sp++] = {pc, op.rep};
        ++pc;
        break;
      case OpCode::GroupEnd:
        if (--stack[sp - 1].left > 0) {
          pc = stack[sp - 1].begin + 1;
        } else {
          --sp;
          ++pc;
        }
        break;
      case OpCode::End:
        if (!h.more()) return;
        // Reverting to a part of the format that transfers nothing would never end.
        if (!consumed) h.formatError("no data edit descriptor for the remaining items");
        consumed = false;
        h.newRecord();
        pc = f.reversion;
        break;
      case OpCode::Colon:
        if (!h.more()) return;
        ++pc;
        break;
      case OpCode::Slash:
        for (int r = 0; r < op.rep; ++r) h.newRecord();
        ++pc;
        break;
      case OpCode::Literal:
        h.literal(op, f.literals);
        ++pc;
        break;
      case OpCode::X:
        h.skipX(static_cast<std::size_t>(op.w));
        ++pc;
        break;
      case OpCode::TR:
        h.pos += static_cast<std::size_t>(op.w);
        ++pc;
        break;
      case OpCode::TL:
        h.pos = h.pos > static_cast<std::size_t>(op.w) ? h.pos - op.w : 0;
        ++pc;
        break;
      case OpCode::T:
        h.pos = static_cast<std::size_t>(op.w - 1);
        ++pc;
        break;
      case OpCode::Scale:
        h.scale = op.d;
        ++pc;
        break;
      case OpCode::BN:
        h.blankZero = false;
        ++pc;
        break;
      case OpCode::BZ:
        h.blankZero = true;
        ++pc;
        break;
      case OpCode::SignDefault:
        h.plus = false;
        ++pc;
        break;
      case OpCode::SignPlus:
        h.plus = true;
        ++pc;
        break;
      default:  // data edit descriptor
        for (int r = 0; r < op.rep; ++r) {
          if (!h.more()) return;
          h.data(op);
        }
        consumed = true;
        ++pc;
        break;
    }
  }
}

const char* descriptorName(OpCode c) {
  switch (c) {
    case OpCode::I:
      return "I";
    case OpCode::F:
      return "F";
    case OpCode::E:
      return "E";
    case OpCode::D:
      return "D";
    case OpCode::G:
      return "G";
    case OpCode::L:
      return "L";
    case OpCode::A:
      return "A";
    default:
      return "?";
  }
}

// ---------------------------------------------------------------------------------------------
// Output

struct OutCursor {
  std::span<const OutItem> items;
  std::size_t i = 0, k = 0;
  explicit OutCursor(std::span<const OutItem> it) : items(it) { skipEmpty(); }
  void skipEmpty() {
    while (i < items.size() && items[i].kind() != OutItem::Kind::Chars && items[i].size() == 0) ++i;
  }
  bool more() const { return i < items.size(); }
  void advance() {
    if (items[i].kind() == OutItem::Kind::Chars || ++k >= items[i].size()) {
      ++i;
      k = 0;
      skipEmpty();
    }
  }
};

class Writer {
 public:
  Writer(std::string& rec, std::span<const OutItem> items, Unit* unit, std::size_t internalLength)
      : rec_(rec), cur_(items), unit_(unit), internalLength_(internalLength) {
    rec_.clear();
  }

  std::size_t pos = 0;
  int scale = 0;
  bool plus = false;
  bool blankZero = false;

  bool more() const { return cur_.more(); }

  // nX writes n blanks, also at the end of a record: "(1X)" is a line holding one blank, which
  // keeps the first column of every listing line a real character.
  void skipX(std::size_t n) { field(n); }

  [[noreturn]] void formatError(const std::string& why) {
    if (unit_) throw FormatError(why, unit_->number, unit_->name);
    throw FormatError(why);
  }

  char* field(std::size_t w) {
    std::size_t end = pos + w;
    if (end > detail::kMaxRecord) {
      if (unit_) detail::fail(*unit_, "write error", "output record too long", false);
      throw IoError("write error", -1, "", 0, "output record too long");
    }
    if (end > rec_.size()) rec_.resize(end, ' ');
    char* p = rec_.data() + pos;
    pos = end;
    return p;
  }

  void literal(const Op& op, const std::string& lits) {
    for (int r = 0; r < op.rep; ++r) std::memcpy(field(op.litLen), lits.data() + op.litOff, op.litLen);
  }

  void newRecord() {
    emit();
    rec_.clear();
    pos = 0;
  }

  void finish() { emit(); }

  void data(const Op& op) {
    const OutItem& it = cur_.items[cur_.i];
    std::size_t k = cur_.k;
    switch (it.kind()) {
      case OutItem::Kind::Int:
        if (op.code == OpCode::I) {
          detail::editInt(field(op.w), op.w, op.hasM, op.d, it.intAt(k), plus);
        } else if (op.code == OpCode::G) {
          detail::editInt(field(op.w), op.w, false, 0, it.intAt(k), plus);
        } else {
          mismatch(op, "an integer");
        }
        break;
      case OutItem::Kind::Real4:
      case OutItem::Kind::Real8: {
        double x = it.kind() == OutItem::Kind::Real4 ? static_cast<double>(it.real4At(k)) : it.real8At(k);
        switch (op.code) {
          case OpCode::F:
            detail::editF(field(op.w), op.w, op.d, scale, x, plus);
            break;
          case OpCode::E:
            detail::editE(field(op.w), op.w, op.d, op.e, op.hasE, scale, x, 'E', plus);
            break;
          case OpCode::D:
            detail::editE(field(op.w), op.w, op.d, 0, false, scale, x, 'D', plus);
            break;
          case OpCode::G:
            detail::editG(field(op.w), op.w, op.d, op.e, op.hasE, scale, x, plus);
            break;
          default:
            mismatch(op, "a real");
        }
        break;
      }
      case OutItem::Kind::Logical:
        if (op.code == OpCode::L || op.code == OpCode::G) {
          detail::editL(field(op.w), op.w, it.intAt(0) != 0);
        } else {
          mismatch(op, "a logical");
        }
        break;
      case OutItem::Kind::Chars: {
        if (op.code != OpCode::A && op.code != OpCode::G) mismatch(op, "a character");
        std::string_view s = it.chars();
        if (op.code == OpCode::A && op.w == 0) {
          std::memcpy(field(s.size()), s.data(), s.size());
        } else {
          std::size_t w = static_cast<std::size_t>(op.w);
          char* p = field(w);
          if (s.size() >= w) {
            std::memcpy(p, s.data(), w);
          } else {
            std::memset(p, ' ', w - s.size());
            std::memcpy(p + (w - s.size()), s.data(), s.size());
          }
        }
        break;
      }
    }
    cur_.advance();
  }

  std::string internalResult() {
    std::string r(internalLength_, ' ');
    if (records_ > 0) std::memcpy(r.data(), first_.data(), first_.size());
    return r;
  }

 private:
  [[noreturn]] void mismatch(const Op& op, const char* what) {
    formatError(std::string(descriptorName(op.code)) + " editing cannot write " + what + " item");
  }

  void emit() {
    if (unit_) {
      detail::putRecord(*unit_, rec_);
    } else {
      if (records_ > 0) throw IoError("write error", -1, "", 0, "internal write of more than one record");
      if (rec_.size() > internalLength_)
        throw IoError("write error", -1, "", 0, "internal write longer than its variable");
      first_ = rec_;
    }
    ++records_;
  }

  std::string& rec_;
  OutCursor cur_;
  Unit* unit_;
  std::size_t internalLength_;
  int records_ = 0;
  std::string first_;
};

Unit& textUnit(int unit) {
  Unit& u = detail::unitFor(unit);
  if (u.form != Form::Text) detail::fail(u, "wrong form", "formatted transfer on a byte-stream unit", false);
  return u;
}

Unit& streamUnit(int unit) {
  Unit& u = detail::unitFor(unit);
  if (u.form != Form::Stream) detail::fail(u, "wrong form", "byte-stream transfer on a text unit", false);
  return u;
}

// ---------------------------------------------------------------------------------------------
// Input

struct InCursor {
  std::span<const InItem> items;
  std::size_t i = 0, k = 0;
  explicit InCursor(std::span<const InItem> it) : items(it) { skipEmpty(); }
  void skipEmpty() {
    while (i < items.size() && items[i].kind() != InItem::Kind::Chars && items[i].size() == 0) ++i;
  }
  bool more() const { return i < items.size(); }
  void advance() {
    if (items[i].kind() == InItem::Kind::Chars || ++k >= items[i].size()) {
      ++i;
      k = 0;
      skipEmpty();
    }
  }
};

// Thrown inside an internal read to take the caller's conversion-error branch.
struct InternalFailure {};

// Assigns text to a character variable of fixed length: truncated or blank-padded.
void assignChars(std::string& var, std::string_view text) {
  std::size_t n = var.size();
  if (text.size() >= n) {
    std::memcpy(var.data(), text.data(), n);
  } else {
    std::memcpy(var.data(), text.data(), text.size());
    std::memset(var.data() + text.size(), ' ', n - text.size());
  }
}

class Reader {
 public:
  Reader(std::string_view first, std::span<const InItem> items, Unit* unit)
      : line_(first), cur_(items), unit_(unit) {}

  std::size_t pos = 0;
  void skipX(std::size_t n) { pos += n; }
  int scale = 0;
  bool plus = false;
  bool blankZero = false;

  bool more() const { return cur_.more(); }

  [[noreturn]] void formatError(const std::string& why) {
    if (unit_) throw FormatError(why, unit_->number, unit_->name);
    throw FormatError(why);
  }

  void literal(const Op&, const std::string&) { formatError("a character constant cannot be read"); }

  void newRecord() {
    if (!unit_) throw InternalFailure{};
    if (!detail::nextLine(*unit_, line_)) detail::fail(*unit_, "end of file", "unexpected end of file", true);
    pos = 0;
  }

  // The next w columns, blank-padded past the end of the line.
  std::string_view field(std::size_t w) {
    std::size_t start = pos;
    pos += w;
    if (start + w <= line_.size()) return line_.substr(start, w);
    std::size_t have = start < line_.size() ? line_.size() - start : 0;
    if (have) std::memcpy(pad_, line_.data() + start, have);
    std::memset(pad_ + have, ' ', w - have);
    return {pad_, w};
  }

  void data(const Op& op) {
    const InItem& it = cur_.items[cur_.i];
    std::size_t k = cur_.k;
    switch (it.kind()) {
      case InItem::Kind::Int: {
        if (op.code != OpCode::I && op.code != OpCode::G) mismatch(op, "an integer");
        std::string_view f = field(op.w);
        if (!detail::convertInt(f, blankZero, it.ints()[k])) conversionError(op, f, "an integer");
        break;
      }
      case InItem::Kind::Real4:
      case InItem::Kind::Real8: {
        if (op.code != OpCode::F && op.code != OpCode::E && op.code != OpCode::D && op.code != OpCode::G)
          mismatch(op, "a real");
        std::string_view f = field(op.w);
        bool ok = it.kind() == InItem::Kind::Real4
                      ? detail::convertReal(f, op.d, scale, blankZero, nullptr, it.real4s() + k)
                      : detail::convertReal(f, op.d, scale, blankZero, it.real8s() + k, nullptr);
        if (!ok) conversionError(op, f, "a real");
        break;
      }
      case InItem::Kind::Chars: {
        if (op.code != OpCode::A) mismatch(op, "a character");
        std::string& var = *it.chars();
        std::size_t len = var.size();
        std::size_t w = op.w == 0 ? len : static_cast<std::size_t>(op.w);
        std::string_view f = field(w);
        if (w >= len) {
          assignChars(var, f.substr(w - len));
        } else {
          assignChars(var, f);
        }
        break;
      }
    }
    cur_.advance();
  }

 private:
  [[noreturn]] void mismatch(const Op& op, const char* what) {
    formatError(std::string(descriptorName(op.code)) + " editing cannot read " + what + " item");
  }

  [[noreturn]] void conversionError(const Op& op, std::string_view f, const char* what) {
    if (!unit_) throw InternalFailure{};
    detail::fail(*unit_, "conversion error",
                 "cannot read '" + std::string(f) + "' as " + what + " under " + descriptorName(op.code) +
                     std::to_string(op.w) + " at column " + std::to_string(pos - op.w + 1),
                 true);
  }

  std::string_view line_;
  InCursor cur_;
  Unit* unit_;
  char pad_[detail::kMaxFieldWidth + 1];
};

// ---------------------------------------------------------------------------------------------
// List-directed input

class ListReader {
 public:
  ListReader(Unit& u, std::span<const InItem> items) : u_(u), cur_(items) {}

  void run() {
    if (!detail::nextLine(u_, line_)) eof();
    while (cur_.more()) {
      if (repeatLeft_ > 0) {
        --repeatLeft_;
        if (!repeatNull_) assign(repeat_, repeatQuoted_);
        cur_.advance();
        continue;
      }
      if (!nextValue()) return;  // "/" ends the statement
      cur_.advance();
    }
  }

 private:
  static bool isBlank(char c) { return c == ' ' || c == '\t'; }
  static bool isSep(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/'; }

  [[noreturn]] void eof() {
    detail::fail(u_, "end of file", "unexpected end of file in list-directed read", true);
  }

  [[noreturn]] void syntax(const std::string& why) {
    detail::fail(u_, "list-directed input error", why, true);
  }

  // Finds and transfers the next value (or null). Returns false at "/".
  bool nextValue() {
    for (;;) {
      while (pos_ < line_.size() && isBlank(line_[pos_])) ++pos_;
      if (pos_ == line_.size()) {
        if (!detail::nextLine(u_, line_)) eof();
        pos_ = 0;
        continue;
      }
      char c = line_[pos_];
      if (c == ',') {
        ++pos_;
        if (afterValue_) {
          afterValue_ = false;
          continue;
        }
        return true;  // null value: the item keeps its value
      }
      if (c == '/') return false;
      break;
    }
    afterValue_ = true;
    // Optional repeat count r*.
    std::size_t p = pos_;
    while (p < line_.size() && line_[p] >= '0' && line_[p] <= '9') ++p;
    long r = 1;
    if (p > pos_ && p < line_.size() && line_[p] == '*') {
      r = 0;
      for (std::size_t q = pos_; q < p; ++q) {
        r = r * 10 + (line_[q] - '0');
        if (r > 1000000000) syntax("repeat count too large");
      }
      if (r == 0) syntax("repeat count of zero");
      pos_ = p + 1;
      if (pos_ == line_.size() || isSep(line_[pos_])) {
        // r* alone: r null values
        repeatNull_ = true;
        repeatLeft_ = r - 1;
        return true;
      }
    }
    bool quoted = false;
    std::string_view tok = token(quoted);
    if (r > 1) {
      repeat_.assign(tok);
      repeatQuoted_ = quoted;
      repeatNull_ = false;
      repeatLeft_ = r - 1;
    }
    assign(tok, quoted);
    return true;
  }

  std::string_view token(bool& quoted) {
    char c = line_[pos_];
    if (c == '\'' || c == '"') {
      quoted = true;
      quotedText_.clear();
      ++pos_;
      for (;;) {
        if (pos_ == line_.size()) {
          // a character constant may continue on the next line
          if (!detail::nextLine(u_, line_)) eof();
          pos_ = 0;
          continue;
        }
        char ch = line_[pos_++];
        if (ch == c) {
          if (pos_ < line_.size() && line_[pos_] == c) {
            quotedText_.push_back(c);
            ++pos_;
            continue;
          }
          break;
        }
        quotedText_.push_back(ch);
      }
      return quotedText_;
    }
    std::size_t start = pos_;
    while (pos_ < line_.size() && !isSep(line_[pos_])) ++pos_;
    return line_.substr(start, pos_ - start);
  }

  void assign(std::string_view tok, bool quoted) {
    const InItem& it = cur_.items[cur_.i];
    std::size_t k = cur_.k;
    bool ok = true;
    switch (it.kind()) {
      case InItem::Kind::Int:
        ok = !quoted && detail::convertListInt(tok, it.ints()[k]);
        break;
      case InItem::Kind::Real4:
        ok = !quoted && detail::convertListReal(tok, nullptr, it.real4s() + k);
        break;
      case InItem::Kind::Real8:
        ok = !quoted && detail::convertListReal(tok, it.real8s() + k, nullptr);
        break;
      case InItem::Kind::Chars:
        assignChars(*it.chars(), tok);
        break;
    }
    if (!ok) {
      const char* what = it.kind() == InItem::Kind::Int ? "an integer" : "a real";
      syntax("cannot read '" + std::string(tok) + "' as " + what);
    }
  }

  Unit& u_;
  InCursor cur_;
  std::string_view line_;
  std::size_t pos_ = 0;
  bool afterValue_ = false;
  long repeatLeft_ = 0;
  bool repeatNull_ = false;
  bool repeatQuoted_ = false;
  std::string repeat_;
  std::string quotedText_;
};

// ---------------------------------------------------------------------------------------------
// List-directed output

void appendListValue(std::string& rec, const OutItem& it, std::size_t k) {
  char buf[64];
  char* end = buf;
  switch (it.kind()) {
    case OutItem::Kind::Chars:
      rec.append(it.chars());
      return;
    case OutItem::Kind::Int:
      end = std::to_chars(buf, buf + sizeof buf, it.intAt(k)).ptr;
      break;
    case OutItem::Kind::Real4:
      end = std::to_chars(buf, buf + sizeof buf, it.real4At(k)).ptr;
      break;
    case OutItem::Kind::Real8:
      end = std::to_chars(buf, buf + sizeof buf, it.real8At(k)).ptr;
      break;
    case OutItem::Kind::Logical:
      *end++ = it.intAt(k) ? 'T' : 'F';
      break;
  }
  if (rec.empty() || rec.back() != ' ') rec.push_back(' ');
  rec.append(buf, end);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public transfer statements

void writeItems(int unit, const Format& format, std::span<const OutItem> items) {
  Unit& u = textUnit(unit);
  detail::beginWrite(u);
  Writer w(u.rec, items, &u, 0);
  runFormat(format.impl(), w);
  w.finish();
  detail::endStatement(u);
}

void writeListItems(int unit, std::span<const OutItem> items) {
  Unit& u = textUnit(unit);
  detail::beginWrite(u);
  u.rec.clear();
  u.rec.push_back(' ');
  for (const OutItem& it : items) {
    std::size_t n = it.kind() == OutItem::Kind::Chars ? 1 : it.size();
    for (std::size_t k = 0; k < n; ++k) appendListValue(u.rec, it, k);
  }
  detail::putRecord(u, u.rec);
  detail::endStatement(u);
}

std::string writeInternalItems(std::size_t length, const Format& format, std::span<const OutItem> items) {
  static std::string rec;
  Writer w(rec, items, nullptr, length);
  runFormat(format.impl(), w);
  w.finish();
  return w.internalResult();
}

void readItems(int unit, const Format& format, std::span<const InItem> items) {
  Unit& u = textUnit(unit);
  std::string_view line;
  if (!detail::nextLine(u, line)) detail::fail(u, "end of file", "unexpected end of file", true);
  Reader r(line, items, &u);
  runFormat(format.impl(), r);
}

bool tryReadLine(int unit, std::string& line) {
  Unit& u = textUnit(unit);
  std::string_view text;
  if (!detail::nextLine(u, text)) return false;
  assignChars(line, text);
  return true;
}

void readLine(int unit, std::string& line) {
  if (!tryReadLine(unit, line)) {
    Unit& u = detail::unitFor(unit);
    detail::fail(u, "end of file", "unexpected end of file", true);
  }
}

void readListItems(int unit, std::span<const InItem> items) {
  Unit& u = textUnit(unit);
  ListReader(u, items).run();
}

bool readInternalItems(std::string_view record, const Format& format, std::span<const InItem> items) {
  Reader r(record, items, nullptr);
  try {
    runFormat(format.impl(), r);
  } catch (const InternalFailure&) {
    return false;
  }
  return true;
}

void writeBinaryItems(int unit, std::span<const OutItem> items) {
  Unit& u = streamUnit(unit);
  detail::beginWrite(u);
  for (const OutItem& it : items) {
    std::size_t width = 4;
    if (it.kind() == OutItem::Kind::Chars) width = 1;
    if (it.kind() == OutItem::Kind::Real8) width = 8;
    detail::putBytes(u, it.data(), it.size() * width);
  }
  detail::endStatement(u);
}

void readBinaryItems(int unit, std::span<const InItem> items) {
  Unit& u = streamUnit(unit);
  for (const InItem& it : items) {
    switch (it.kind()) {
      case InItem::Kind::Chars: {
        std::string& s = *it.chars();
        detail::readBytes(u, s.data(), s.size());
        break;
      }
      case InItem::Kind::Int:
        detail::readBytes(u, it.ints(), it.size() * 4);
        break;
      case InItem::Kind::Real4:
        detail::readBytes(u, it.real4s(), it.size() * 4);
        break;
      case InItem::Kind::Real8:
        detail::readBytes(u, it.real8s(), it.size() * 8);
        break;
    }
  }
}

}  // namespace aqx::io
