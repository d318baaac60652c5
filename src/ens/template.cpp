#include "ens/template.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "ens/csv.hpp"

namespace aqx::ens {

namespace fs = std::filesystem;

std::set<std::string> ModelTemplate::names() const {
  std::set<std::string> out;
  for (const TemplateFile& f : files)
    for (const Placeholder& p : f.placeholders) out.insert(p.name);
  return out;
}

namespace {

bool nameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool nameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The placeholder starting at text[at] ("{{"), its length and name; 0 when there is none.
std::size_t matchPlaceholder(const std::string& text, std::size_t at, std::string& name) {
  std::size_t i = at + 2;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size() || !nameStart(text[i])) return 0;
  const std::size_t nameBegin = i;
  while (i < text.size() && nameChar(text[i])) ++i;
  const std::size_t nameEnd = i;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i + 1 >= text.size() || text[i] != '}' || text[i + 1] != '}') return 0;
  name = text.substr(nameBegin, nameEnd - nameBegin);
  return i + 2 - at;
}

}  // namespace

TemplateFile parseTemplateText(const std::string& relPath, const std::string& text) {
  TemplateFile f;
  f.relPath = relPath;
  f.raw = text;
  f.binary = text.find('\0') != std::string::npos;
  if (f.binary) {
    f.literals.push_back(text);
    return f;
  }
  std::string literal;
  int line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::string name;
    std::size_t len = 0;
    if (text[i] == '{' && i + 1 < text.size() && text[i + 1] == '{') len = matchPlaceholder(text, i, name);
    if (len > 0) {
      f.literals.push_back(literal);
      literal.clear();
      f.placeholders.push_back({name, line, static_cast<int>(i - lineStart) + 1, static_cast<int>(len)});
      i += len;
      continue;
    }
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
    literal += text[i++];
  }
  f.literals.push_back(literal);
  return f;
}

ModelTemplate scanTemplate(const std::string& root) {
  std::error_code ec;
  if (!fs::is_directory(root, ec)) throw EnsError(root + ": not a folder");
  ModelTemplate t;
  t.root = root;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string rel = fs::relative(it->path(), root).generic_string();
    t.files.push_back(parseTemplateText(rel, readTextFile(it->path().string())));
  }
  if (ec) throw EnsError(root + ": cannot be listed (" + ec.message() + ")");
  std::sort(t.files.begin(), t.files.end(),
            [](const TemplateFile& a, const TemplateFile& b) { return a.relPath < b.relPath; });
  return t;
}

std::string fieldText(const TemplateFile& file, const Placeholder& p, const std::string& value) {
  const std::string where = file.relPath + ", line " + std::to_string(p.line) + ", field {{" + p.name +
                            "}} (columns " + std::to_string(p.column) + "-" +
                            std::to_string(p.column + p.width - 1) + ")";
  if (value.empty()) throw EnsError(where + ": no value given");
  if (value.find_first_of("\r\n") != std::string::npos)
    throw EnsError(where + ": the value '" + value + "' holds a line end");
  if (static_cast<int>(value.size()) > p.width)
    throw EnsError(where + ": the value '" + value + "' has " + std::to_string(value.size()) +
                   " characters, the field " + std::to_string(p.width));
  return std::string(static_cast<std::size_t>(p.width) - value.size(), ' ') + value;
}

std::string fillFile(const TemplateFile& file, const std::map<std::string, std::string>& values) {
  std::string out = file.literals[0];
  for (std::size_t k = 0; k < file.placeholders.size(); ++k) {
    const Placeholder& p = file.placeholders[k];
    const auto v = values.find(p.name);
    out += fieldText(file, p, v == values.end() ? std::string() : v->second);
    out += file.literals[k + 1];
  }
  return out;
}

std::uint64_t fnv1a(const std::string& bytes, std::uint64_t h) {
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace aqx::ens
