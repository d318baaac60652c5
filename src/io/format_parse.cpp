// Parsing of format text into a flat list of operations. Repeat counts stay counts: nothing is
// expanded, so "(1000000000I5)" costs one operation.
#include <cctype>
#include <climits>
#include <memory>
#include <string>
#include <unordered_map>

#include "io/format_internal.hpp"

namespace aqx::io {

using detail::Op;
using detail::OpCode;

namespace {

class Parser {
 public:
  Parser(std::string_view text, Format::Impl& out) : s_(text), f_(out) {}

  void parse() {
    skipBlanks();
    if (p_ >= s_.size() || s_[p_] != '(') fail("a format must begin with '('");
    ++p_;
    int groupStack[detail::kMaxNesting];
    int depth = 0;  // open groups inside the outer parentheses
    for (;;) {
      skipBlanks();
      if (p_ >= s_.size()) fail("missing ')'");
      char c = s_[p_];
      if (c == ',') {
        ++p_;
        continue;
      }
      if (c == ')') {
        ++p_;
        if (depth == 0) {
          f_.ops.push_back(Op{OpCode::End});
          break;
        }
        int begin = groupStack[--depth];
        Op end{OpCode::GroupEnd};
        end.w = begin;
        f_.ops[begin].w = static_cast<int>(f_.ops.size());
        f_.ops.push_back(end);
        continue;
      }
      // Optional repeat count or scale factor.
      bool haveNumber = false;
      bool negative = false;
      long n = 1;
      if (c == '+' || c == '-') {
        negative = c == '-';
        ++p_;
        skipBlanks();
        if (p_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[p_]))) fail("sign without a number");
        n = readNumber();
        haveNumber = true;
        skipBlanks();
        if (p_ >= s_.size() || toupper(static_cast<unsigned char>(s_[p_])) != 'P')
          fail("a signed number must be a scale factor (kP)");
      } else if (isdigit(static_cast<unsigned char>(c))) {
        n = readNumber();
        haveNumber = true;
        skipBlanks();
      }
      if (p_ >= s_.size()) fail("missing ')'");
      c = s_[p_];
      char u = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      if (u == 'P') {
        if (!haveNumber) fail("P needs a scale factor before it");
        ++p_;
        Op op{OpCode::Scale};
        if (n > 1000) fail("scale factor out of range");
        op.d = static_cast<int>(negative ? -n : n);
        f_.ops.push_back(op);
        continue;
      }
      if (haveNumber && n < 1) fail("a repeat count must be at least 1");
      int rep = static_cast<int>(n);
      if (c == '(') {
        ++p_;
        if (depth >= detail::kMaxNesting) fail("groups nested too deeply");
        Op op{OpCode::GroupBegin};
        op.rep = rep;
        if (depth == 0) f_.reversion = static_cast<int>(f_.ops.size());
        groupStack[depth++] = static_cast<int>(f_.ops.size());
        f_.ops.push_back(op);
        continue;
      }
      if (c == '\'' || c == '"') {
        literal(c, rep);
        continue;
      }
      if (c == '/') {
        ++p_;
        Op op{OpCode::Slash};
        op.rep = rep;
        f_.ops.push_back(op);
        continue;
      }
      if (c == ':') {
        if (haveNumber) fail("':' takes no repeat count");
        ++p_;
        f_.ops.push_back(Op{OpCode::Colon});
        continue;
      }
      ++p_;
      switch (u) {
        case 'H': {
          if (!haveNumber) fail("H needs a character count before it");
          if (static_cast<std::size_t>(n) > s_.size() - p_) fail("Hollerith text runs past the end");
          Op op{OpCode::Literal};
          op.litOff = static_cast<std::uint32_t>(f_.literals.size());
          op.litLen = static_cast<std::uint32_t>(n);
          f_.literals.append(s_.substr(p_, n));
          p_ += n;
          f_.ops.push_back(op);
          break;
        }
        case 'X': {
          if (n > detail::kMaxPosition) fail("X count too large");
          Op op{OpCode::X};
          op.w = rep;
          f_.ops.push_back(op);
          break;
        }
        case 'T': {
          if (haveNumber) fail("T takes no repeat count");
          OpCode code = OpCode::T;
          skipBlanks();
          if (p_ < s_.size() && toupper(static_cast<unsigned char>(s_[p_])) == 'L') {
            code = OpCode::TL;
            ++p_;
          } else if (p_ < s_.size() && toupper(static_cast<unsigned char>(s_[p_])) == 'R') {
            code = OpCode::TR;
            ++p_;
          }
          Op op{code};
          op.w = requiredNumber("position");
          if (op.w > detail::kMaxPosition) fail("position too large");
          if (code == OpCode::T && op.w < 1) fail("T position must be at least 1");
          f_.ops.push_back(op);
          break;
        }
        case 'B': {
          if (haveNumber) fail("BN/BZ take no repeat count");
          skipBlanks();
          char v = p_ < s_.size() ? static_cast<char>(toupper(static_cast<unsigned char>(s_[p_]))) : '\0';
          if (v != 'N' && v != 'Z') fail("unknown descriptor B");
          ++p_;
          f_.ops.push_back(Op{v == 'N' ? OpCode::BN : OpCode::BZ});
          break;
        }
        case 'S': {
          if (haveNumber) fail("S/SP/SS take no repeat count");
          skipBlanks();
          char v = p_ < s_.size() ? static_cast<char>(toupper(static_cast<unsigned char>(s_[p_]))) : '\0';
          OpCode code = OpCode::SignDefault;
          if (v == 'P') {
            code = OpCode::SignPlus;
            ++p_;
          } else if (v == 'S') {
            ++p_;
          }
          f_.ops.push_back(Op{code});
          break;
        }
        case 'I':
        case 'F':
        case 'E':
        case 'D':
        case 'G':
        case 'L':
        case 'A':
          dataDescriptor(u, rep);
          break;
        default:
          fail(std::string("unknown edit descriptor '") + c + "'");
      }
    }
    // Anything after the closing parenthesis is ignored (as for a format held in a variable).
    checkWork();
  }

 private:
  [[noreturn]] void fail(const std::string& why) {
    throw FormatError("bad format " + std::string(s_) + ": " + why);
  }

  void skipBlanks() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t')) ++p_;
  }

  // Digits, with blanks allowed between them; capped so that it cannot overflow.
  long readNumber() {
    long n = 0;
    bool any = false;
    while (p_ < s_.size()) {
      char c = s_[p_];
      if (c == ' ' || c == '\t') {
        // a blank inside a number is insignificant only when more digits follow
        std::size_t q = p_;
        while (q < s_.size() && (s_[q] == ' ' || s_[q] == '\t')) ++q;
        if (q < s_.size() && isdigit(static_cast<unsigned char>(s_[q])) && any) {
          p_ = q;
          continue;
        }
        break;
      }
      if (!isdigit(static_cast<unsigned char>(c))) break;
      n = n * 10 + (c - '0');
      if (n > INT_MAX) fail("number too large");
      any = true;
      ++p_;
    }
    return n;
  }

  int requiredNumber(const char* what) {
    skipBlanks();
    if (p_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[p_]))) fail(std::string("missing ") + what);
    return static_cast<int>(readNumber());
  }

  void literal(char quote, int rep) {
    ++p_;
    Op op{OpCode::Literal};
    op.rep = rep;
    op.litOff = static_cast<std::uint32_t>(f_.literals.size());
    for (;;) {
      if (p_ >= s_.size()) fail("unterminated character constant");
      char c = s_[p_++];
      if (c == quote) {
        if (p_ < s_.size() && s_[p_] == quote) {
          f_.literals.push_back(quote);
          ++p_;
          continue;
        }
        break;
      }
      f_.literals.push_back(c);
    }
    op.litLen = static_cast<std::uint32_t>(f_.literals.size() - op.litOff);
    f_.ops.push_back(op);
  }

  void dataDescriptor(char u, int rep) {
    Op op{OpCode::A};
    switch (u) {
      case 'I':
        op.code = OpCode::I;
        break;
      case 'F':
        op.code = OpCode::F;
        break;
      case 'E':
        op.code = OpCode::E;
        break;
      case 'D':
        op.code = OpCode::D;
        break;
      case 'G':
        op.code = OpCode::G;
        break;
      case 'L':
        op.code = OpCode::L;
        break;
      default:
        break;
    }
    op.rep = rep;
    skipBlanks();
    bool haveW = p_ < s_.size() && isdigit(static_cast<unsigned char>(s_[p_]));
    if (!haveW) {
      if (op.code != OpCode::A) fail(std::string("missing field width after ") + u);
    } else {
      long w = readNumber();
      if (w < 1 || w > detail::kMaxFieldWidth) fail("field width out of range");
      op.w = static_cast<int>(w);
    }
    if (op.code == OpCode::A || op.code == OpCode::L) {
      f_.ops.push_back(op);
      f_.hasData = true;
      return;
    }
    skipBlanks();
    bool haveDot = p_ < s_.size() && s_[p_] == '.';
    if (haveDot) {
      ++p_;
      long d = requiredNumber("digit count");
      if (d > detail::kMaxFieldWidth) fail("digit count out of range");
      op.d = static_cast<int>(d);
      if (op.code == OpCode::I) op.hasM = true;
    } else if (op.code != OpCode::I) {
      fail(std::string("missing '.d' after ") + u);
    }
    if (op.code == OpCode::E || op.code == OpCode::G) {
      skipBlanks();
      if (p_ < s_.size() && toupper(static_cast<unsigned char>(s_[p_])) == 'E') {
        std::size_t save = p_;
        ++p_;
        skipBlanks();
        if (p_ < s_.size() && isdigit(static_cast<unsigned char>(s_[p_]))) {
          long e = readNumber();
          if (e < 1 || e > detail::kMaxExponentDigits) fail("exponent digits out of range");
          op.e = static_cast<int>(e);
          op.hasE = true;
        } else {
          p_ = save;
        }
      }
    }
    f_.ops.push_back(op);
    f_.hasData = true;
  }

  // Work of ops [begin, end) without data descriptors, saturating; sets hasData.
  long work(int begin, int end, bool& hasData) {
    long total = 0;
    auto add = [&](long a, long b) { return a > LONG_MAX / 4 - b ? LONG_MAX / 4 : a + b; };
    auto mul = [&](long a, long b) { return (b != 0 && a > LONG_MAX / 4 / b) ? LONG_MAX / 4 : a * b; };
    for (int i = begin; i < end; ++i) {
      const Op& op = f_.ops[i];
      if (detail::isData(op.code)) {
        hasData = true;
        total = add(total, 1);
      } else if (op.code == OpCode::GroupBegin) {
        bool inner = false;
        long w = work(i + 1, op.w, inner);
        long t = mul(w + 1, op.rep);
        if (!inner && t > detail::kMaxDatalessWork) fail("repeat count too large for a group without data");
        hasData = hasData || inner;
        total = add(total, t);
        i = op.w;
      } else if (op.code == OpCode::Literal) {
        long t = mul(std::max<long>(op.litLen, 1), op.rep);
        if (t > detail::kMaxDatalessWork) fail("repeat count too large for a character constant");
        total = add(total, t);
      } else if (op.code == OpCode::Slash) {
        if (op.rep > detail::kMaxDatalessWork) fail("repeat count too large for '/'");
        total = add(total, op.rep);
      } else {
        total = add(total, 1);
      }
    }
    return total;
  }

  void checkWork() {
    bool hasData = false;
    long w = work(0, static_cast<int>(f_.ops.size()) - 1, hasData);
    if (!hasData && w > detail::kMaxDatalessWork) fail("format too large");
  }

  std::string_view s_;
  Format::Impl& f_;
  std::size_t p_ = 0;
};

}  // namespace

Format::Format(std::string_view text) : impl_(std::make_unique<Impl>()) {
  impl_->text = std::string(text);
  Parser(impl_->text, *impl_).parse();
}

Format::~Format() = default;
Format::Format(Format&&) noexcept = default;
Format& Format::operator=(Format&&) noexcept = default;

const std::string& Format::text() const {
  return impl_->text;
}

const Format& Format::runtime(std::string_view text) {
  static std::unordered_map<std::string, std::unique_ptr<Format>> cache;
  static const Format* lastFormat = nullptr;
  if (lastFormat && lastFormat->text() == text) return *lastFormat;
  std::string key(text);
  auto it = cache.find(key);
  if (it == cache.end()) {
    auto f = std::make_unique<Format>(text);  // throws before anything is cached
    it = cache.emplace(std::move(key), std::move(f)).first;
  }
  lastFormat = it->second.get();
  return *lastFormat;
}

}  // namespace aqx::io
