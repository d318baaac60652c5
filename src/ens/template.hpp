// A model template: a folder of input files in which placeholders such as {{hk_zone1}} stand for
// parameter values. A placeholder is "{{", a name (letter or '_' first, then letters, digits,
// '_'), and "}}" on one line; blanks may pad the name inside the braces. Its whole span, braces
// included, is the field it fills: the value is right-justified in that many columns, so a
// fixed-column record keeps its layout, and a value longer than the span is refused. Any other
// text with braces is left as it stands. Files that hold a zero byte are copied unchanged.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace aqx::ens {

struct Placeholder {
  std::string name;
  int line = 0;    // 1-based
  int column = 0;  // 1-based column of the first brace
  int width = 0;   // the span, braces included
};

struct TemplateFile {
  std::string relPath;  // relative to the template folder, '/' separated
  bool binary = false;
  std::string raw;                        // the file as it is
  std::vector<std::string> literals;      // text between placeholders: placeholders.size() + 1 pieces
  std::vector<Placeholder> placeholders;  // in file order
};

struct ModelTemplate {
  std::string root;
  std::vector<TemplateFile> files;  // sorted by path
  std::set<std::string> names() const;
};

// Splits one file's text into literals and placeholders.
TemplateFile parseTemplateText(const std::string& relPath, const std::string& text);
// Every regular file under `root` (EnsError when it is not a folder or a file cannot be read).
ModelTemplate scanTemplate(const std::string& root);

// The value of a placeholder as written into its field, or EnsError naming the file, the line
// and the field when it does not fit or cannot be written on one line.
std::string fieldText(const TemplateFile& file, const Placeholder& p, const std::string& value);
// The file with every placeholder filled from `values` (every name must be there).
std::string fillFile(const TemplateFile& file, const std::map<std::string, std::string>& values);

// A 64-bit FNV-1a hash, to tell whether a run folder's inputs changed between two preparations.
std::uint64_t fnv1a(const std::string& bytes, std::uint64_t h = 14695981039346656037ull);

}  // namespace aqx::ens
