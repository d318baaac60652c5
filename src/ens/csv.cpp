#include "ens/csv.hpp"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace aqx::ens {

namespace {

std::string trim(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int CsvTable::column(const std::string& name) const {
  for (std::size_t i = 0; i < header.size(); ++i)
    if (lower(header[i]) == lower(name)) return static_cast<int>(i);
  return -1;
}

CsvTable parseCsv(const std::string& text, const std::string& what) {
  CsvTable t;
  std::size_t pos = 0;
  int line = 0;
  bool haveHeader = false;
  while (pos < text.size()) {
    ++line;
    const int firstLine = line;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false, wasQuoted = false, any = false;
    for (;;) {
      if (pos >= text.size()) {
        if (quoted) throw EnsError(what + ": line " + std::to_string(firstLine) + ": a quote is not closed");
        break;
      }
      const char c = text[pos++];
      if (quoted) {
        if (c == '"') {
          if (pos < text.size() && text[pos] == '"') {
            field += '"';
            ++pos;
          } else {
            quoted = false;
          }
        } else {
          if (c == '\n') ++line;
          field += c;
        }
        continue;
      }
      if (c == '\r') continue;
      if (c == '\n') break;
      any = true;
      if (c == '"' && trim(field).empty()) {
        quoted = wasQuoted = true;
        field.clear();
      } else if (c == ',') {
        fields.push_back(wasQuoted ? field : trim(field));
        field.clear();
        wasQuoted = false;
      } else if (!wasQuoted) {
        field += c;
      } else if (!std::isspace(static_cast<unsigned char>(c))) {
        throw EnsError(what + ": line " + std::to_string(firstLine) + ": text after a closing quote");
      }
    }
    fields.push_back(wasQuoted ? field : trim(field));
    if (!any || (fields.size() == 1 && fields[0].empty() && !wasQuoted)) continue;
    if (!wasQuoted && fields.size() >= 1 && !fields[0].empty() && fields[0][0] == '#') continue;
    if (!haveHeader) {
      t.header = fields;
      haveHeader = true;
      continue;
    }
    if (fields.size() != t.header.size())
      throw EnsError(what + ": line " + std::to_string(firstLine) + ": " + std::to_string(fields.size()) +
                     " fields where the header has " + std::to_string(t.header.size()));
    t.rows.push_back(std::move(fields));
    t.lineOf.push_back(firstLine);
  }
  if (!haveHeader) throw EnsError(what + ": no header line");
  return t;
}

CsvTable readCsvFile(const std::string& path) {
  return parseCsv(readTextFile(path), path);
}

std::string csvField(const std::string& value) {
  bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
               (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                                   std::isspace(static_cast<unsigned char>(value.back()))));
  if (!quote) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string csvLine(const std::vector<std::string>& fields) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    out += csvField(fields[i]);
  }
  return out + "\n";
}

std::string readTextFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw EnsError(path + ": cannot be read");
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void writeTextFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  if (!f) throw EnsError(path + ": cannot be written");
}

void writeFileAtomic(const std::string& path, const std::string& text) {
  const std::string tmp = path + ".tmp";
  writeTextFile(tmp, text);
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) throw EnsError(path + ": cannot be written (" + ec.message() + ")");
}

}  // namespace aqx::ens
