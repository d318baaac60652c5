// A package: one class with one operation per phase it takes part in. The driver calls the
// operations in the order of its phase table; packages never call each other.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/model.hpp"

namespace aqx {

class Package {
 public:
  virtual ~Package() = default;
  virtual void allocate(Model&) {}
  virtual void readPrepare(Model&) {}
  virtual void stressPeriod(Model&) {}
  virtual void advance(Model&) {}
  virtual void formulate(Model&) {}
  virtual void solve(Model&) {}
  virtual void budget(Model&) {}
  virtual void output(Model&) {}
  virtual void end(Model&) {}
};

using PackageFactory = std::unique_ptr<Package> (*)();

// Registers the package that implements a file type (a PKGTYPE code without its padding, e.g.
// "WEL"). Called once per package from a static initializer (AQX_REGISTER_PACKAGE).
bool registerPackage(std::string_view type, PackageFactory factory);
// The factory for a file type, or nullptr when no package of that type is built in.
PackageFactory findPackage(std::string_view type);
// Every registered file type, in alphabetical order.
std::vector<std::string> registeredTypes();

#define AQX_REGISTER_PACKAGE(TYPE, CLASS)                                                   \
  namespace {                                                                               \
  [[maybe_unused]] const bool aqx_registered_##CLASS = ::aqx::registerPackage(              \
      TYPE, []() -> std::unique_ptr<::aqx::Package> { return std::make_unique<CLASS>(); }); \
  }

}  // namespace aqx
