// A model built by hand for unit tests of packages and solvers: the shared grid arrays taken
// from the work array as the basic package takes them, a listing file on unit 6 in a scratch
// folder, package input files opened on units of their own, and a harness that drives one
// package through its phases.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/model.hpp"
#include "driver/package.hpp"
#include "support/e2e.hpp"

namespace aqx::test {

// Takes the shared grid arrays of an nlay x nrow x ncol model from the (reset) work array as the
// basic package does: every cell variable head, DELR = DELC = 1.
void allocateGrid(Model& m, int nlay, int nrow, int ncol, bool separateBuff = true);

class ModelBuilder {
 public:
  static constexpr int kListUnit = 6;

  // Every cell variable head, DELR = DELC = 1, BUFF separate from RHS unless asked otherwise.
  ModelBuilder(int nlay, int nrow, int ncol, bool separateBuff = true);
  ~ModelBuilder();
  ModelBuilder(const ModelBuilder&) = delete;
  ModelBuilder& operator=(const ModelBuilder&) = delete;

  Model& model() { return m_; }
  const TempDir& dir() const { return dir_; }

  // Writes `content` to a file and opens it as the input of package slot `slot` (unit 10 + slot).
  int input(int slot, const std::string& content);
  // Opens a byte-stream output file on a unit (e.g. a cell-by-cell unit); returns its path name.
  void output(int unit, const std::string& name);
  // Closes a unit and returns the bytes of the file written on it.
  std::string bytes(int unit, const std::string& name);
  // Closes the listing and returns its text (carriage returns dropped).
  std::string listing();

  // IBOUND, heads (HEADNEW and HEADOLD) of one cell, 1-based.
  int& ibound(int k, int i, int j) { return m_.IBOUND[m_.cell(k, i, j)]; }
  void setHead(int k, int i, int j, double h);
  void setAllHeads(double h);

 private:
  TempDir dir_;
  Model m_;
};

// One package of a hand-built model driven phase by phase.
class PackageRun {
 public:
  // Creates the registered package of `type` reading `input` on its slot.
  PackageRun(ModelBuilder& model, std::string_view type, int slot, const std::string& input);

  Package& package() { return *pkg_; }
  template <class T>
  T& as() {
    return static_cast<T&>(*pkg_);
  }

  void allocate() { pkg_->allocate(b_.model()); }
  void readPrepare() { pkg_->readPrepare(b_.model()); }
  // Stress period kper of one step of length delt: the period's input, advance, one formulate on
  // cleared HCOEF and RHS (kept for hcoef()/rhs()), then the budget with ICBCFL.
  void period(int kper, int icbcfl = 0, float delt = 1.0f);
  // Only formulate (HCOEF and RHS cleared first), or only the budget (BUDNEXT = 1 first).
  void formulate();
  void budget(int icbcfl = 0);

  float hcoef(int k, int i, int j) const;
  float rhs(int k, int i, int j) const;

 private:
  ModelBuilder& b_;
  std::unique_ptr<Package> pkg_;
};

}  // namespace aqx::test
