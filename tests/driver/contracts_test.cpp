// Contracts that hold across the whole program, checked on its sources: every fixed format
// parses; every registered package type has a slot; every phase a package (or a base class of
// it) overrides is one the driver calls for that slot (an override the table never calls would silently do
// nothing).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "driver/package.hpp"
#include "driver/simulation.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<fs::path> sources() {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(test::sourcePath("src"))) {
    const auto ext = e.path().extension();
    if (ext == ".cpp" || ext == ".hpp") out.push_back(e.path());
  }
  return out;
}

// The text of the adjacent string literals starting at `pos` (just after "AQX_FMT("), with
// escapes resolved; empty when the argument is not a literal (the macro's own definition).
std::string literalAt(const std::string& src, std::size_t pos) {
  std::string text;
  bool any = false;
  for (;;) {
    while (pos < src.size() && std::isspace(static_cast<unsigned char>(src[pos]))) ++pos;
    if (pos >= src.size() || src[pos] != '"') break;
    any = true;
    for (++pos; pos < src.size() && src[pos] != '"'; ++pos) {
      if (src[pos] == '\\' && pos + 1 < src.size()) ++pos;
      text += src[pos];
    }
    ++pos;
  }
  return any ? text : std::string();
}

TEST(Contracts, EveryFixedFormatParses) {
  int found = 0;
  for (const fs::path& p : sources()) {
    const std::string src = readFile(p);
    for (std::size_t at = src.find("AQX_FMT("); at != std::string::npos; at = src.find("AQX_FMT(", at + 1)) {
      const std::string text = literalAt(src, at + 8);
      if (text.empty()) continue;
      ++found;
      EXPECT_NO_THROW(io::Format{text}) << p.filename() << ": " << text;
    }
  }
  EXPECT_GT(found, 200);  // the scan itself works
}

TEST(Contracts, RegisteredPackagesHaveSlotsAndOverrideOnlyPhasesTheDriverCalls) {
  // Type -> class from the registrations, class -> overridden phases from the class bodies.
  std::map<std::string, std::string> classOf;
  std::map<std::string, std::vector<std::string>> overrides;
  const std::regex reg(R"re(AQX_REGISTER_PACKAGE\(\s*"(\w+)"\s*,\s*(\w+)\s*\))re");
  const std::regex cls(R"(class\s+(\w+)\s*(?:final\s*)?:\s*public\s+(\w+)\s*\{)");
  std::map<std::string, std::string> baseOf;
  const std::regex method(R"(void\s+(\w+)\s*\(\s*Model&\s*\w*\s*\)\s*override)");
  for (const fs::path& p : sources()) {
    const std::string src = readFile(p);
    for (std::sregex_iterator it(src.begin(), src.end(), reg), end; it != end; ++it)
      classOf[(*it)[1]] = (*it)[2];
    for (std::sregex_iterator it(src.begin(), src.end(), cls), end; it != end; ++it) {
      const std::size_t open = static_cast<std::size_t>(it->position(0) + it->length(0));
      const std::string body = src.substr(open, src.find("\n};", open) - open);
      baseOf[(*it)[1]] = (*it)[2];
      auto& list = overrides[(*it)[1]];
      for (std::sregex_iterator m(body.begin(), body.end(), method), e; m != e; ++m) list.push_back((*m)[1]);
    }
  }

  // A class takes part in the phases it overrides and those its bases (short of Package) override.
  auto phasesOf = [&](std::string name) {
    std::vector<std::string> phases;
    for (int depth = 0; depth < 8 && name != "Package" && overrides.count(name); ++depth) {
      phases.insert(phases.end(), overrides[name].begin(), overrides[name].end());
      name = baseOf[name];
    }
    return phases;
  };

  const std::vector<std::string> types = registeredTypes();
  EXPECT_FALSE(types.empty());
  EXPECT_EQ(types.size(), classOf.size());
  for (const std::string& type : types) {
    int slot = 0;
    for (int s = 1; s <= kPkgSlots; ++s)
      if (pkgType(s) == type) slot = s;
    ASSERT_GT(slot, 0) << type << " is registered but has no PKGTYPE slot";
    ASSERT_TRUE(classOf.count(type)) << type;
    const std::string& name = classOf[type];
    ASSERT_TRUE(overrides.count(name)) << "class " << name << " of " << type << " not found";
    const std::vector<std::string> phases = phasesOf(name);
    EXPECT_FALSE(phases.empty()) << name;
    for (const std::string& phase : phases) {
      EXPECT_TRUE(phaseCallsSlot(phase, slot))
          << type << " overrides " << phase << ", which the driver never calls";
    }
  }
}

}  // namespace
}  // namespace aqx
