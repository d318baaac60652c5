// Comma-separated tables as the ensemble tool reads and writes them: a header line of names,
// then one line per record. Fields may be quoted ("a, b", "say ""hi"""); blanks around a field
// are dropped; blank lines and lines starting with '#' are skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace aqx::ens {

// A problem with an input of the tool; the message names the file and, where it helps, the line.
class EnsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;  // each as long as the header
  std::vector<int> lineOf;                     // line number of each row in the file
  // Index of a column (case-insensitive), or -1.
  int column(const std::string& name) const;
};

// Throws EnsError naming `what` (usually the file name) and the line when a row has a different
// number of fields from the header or a quote is left open.
CsvTable parseCsv(const std::string& text, const std::string& what);
CsvTable readCsvFile(const std::string& path);

// One field, quoted when it holds a comma, a quote, a line end or leading/trailing blanks.
std::string csvField(const std::string& value);
std::string csvLine(const std::vector<std::string>& fields);

// Whole-file helpers (EnsError when the file cannot be read or written). writeFileAtomic writes
// a sibling file and renames it over the target, so a reader never sees half a file.
std::string readTextFile(const std::string& path);
void writeTextFile(const std::string& path, const std::string& text);
void writeFileAtomic(const std::string& path, const std::string& text);

}  // namespace aqx::ens
