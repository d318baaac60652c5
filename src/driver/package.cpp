#include "driver/package.hpp"

#include <map>
#include <string>

namespace aqx {

namespace {
std::map<std::string, PackageFactory, std::less<>>& registry() {
  static std::map<std::string, PackageFactory, std::less<>> table;
  return table;
}
}  // namespace

bool registerPackage(std::string_view type, PackageFactory factory) {
  registry()[std::string(type)] = factory;
  return true;
}

std::vector<std::string> registeredTypes() {
  std::vector<std::string> types;
  for (const auto& entry : registry()) types.push_back(entry.first);
  return types;
}

PackageFactory findPackage(std::string_view type) {
  auto& table = registry();
  auto it = table.find(type);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace aqx
