// The layout of a whole-model input, shared by the whole-model fuzz target and the hostile-input
// tests that start from its seeds: one byte that picks the flow package (bit 2: GFD instead of
// BCF) and the solver (bits 0 and 1: SIP, PCG, SOR, DE4), then the package files in a fixed order
// separated by lines "%%", then the bytes of a restart record for TLK to read. A package whose
// file is empty is left out of the name file.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace aqx::model_input {

struct Section {
  const char* type;  // nullptr: the flow package or the solver, chosen by the first byte
  int unit;
  const char* file;
};
inline constexpr Section kSections[] = {
    {"BAS", 1, "m.bas"},  {nullptr, 11, "m.flw"}, {nullptr, 19, "m.slv"}, {"OC", 22, "m.oc"},
    {"HFB", 23, "m.hfb"}, {"WEL", 12, "m.wel"},   {"DRN", 13, "m.drn"},   {"RIV", 14, "m.riv"},
    {"EVT", 15, "m.evt"}, {"GHB", 17, "m.ghb"},   {"RCH", 18, "m.rch"},   {"CHD", 24, "m.chd"},
    {"STR", 25, "m.str"}, {"IBS", 26, "m.ibs"},   {"FHB", 27, "m.fhb"},   {"RES", 28, "m.res"},
    {"TLK", 29, "m.tlk"},
};
inline constexpr const char* kSolvers[] = {"SIP", "PCG", "SOR", "DE4"};

// Output files the packages may write to, and the restart record TLK may read.
inline constexpr const char* kDataFiles =
    "DATA(BINARY) 30 m.hds\nDATA(BINARY) 31 m.ddn\nDATA(BINARY) 40 m.cbc\nDATA(BINARY) 41 m.sfl\n"
    "DATA(BINARY) 45 out.rst\nDATA(BINARY) 46 in.rst\nDATA(BINARY) 51 m.sub\nDATA(BINARY) 52 m.com\n"
    "DATA(BINARY) 53 m.crt\n";

inline constexpr const char* kNameFile = "m.nam";
inline constexpr const char* kListing = "m.lst";
inline constexpr std::string_view kSeparator = "\n%%\n";

// Splits `rest` at the first separator: returns the part before it and leaves the part after it
// in `rest` (all of `rest` and an empty remainder when there is none).
inline std::string_view takeSection(std::string_view& rest) {
  std::size_t at = rest.find(kSeparator);
  std::string_view head = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + kSeparator.size());
  return head;
}

// The files of a model, name file included, as (file name, contents).
using Files = std::vector<std::pair<std::string, std::string>>;

inline Files split(std::string_view input) {
  Files files;
  if (input.empty()) return files;
  const unsigned select = static_cast<unsigned char>(input[0]);
  std::string_view rest = input.substr(1);
  std::string nam = "LIST 6 " + std::string(kListing) + "\n";
  for (const Section& s : kSections) {
    std::string_view text = takeSection(rest);
    if (text.empty()) continue;
    std::string type = s.type != nullptr ? s.type
                       : s.unit == 11    ? ((select & 4) ? "GFD" : "BCF")
                                         : kSolvers[select & 3];
    nam += type + " " + std::to_string(s.unit) + " " + s.file + "\n";
    files.emplace_back(s.file, std::string(text));
  }
  files.emplace_back("in.rst", std::string(takeSection(rest)));
  files.emplace_back(kNameFile, nam + kDataFiles);
  return files;
}

}  // namespace aqx::model_input
