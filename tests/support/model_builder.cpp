#include "support/model_builder.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "io/record.hpp"

namespace aqx::test {

void allocateGrid(Model& m, int nlay, int nrow, int ncol, bool separateBuff) {
  m.work->reset();
  m.NLAYER = nlay;
  m.NROWS = nrow;
  m.NCOLS = ncol;
  m.NCELLS = static_cast<std::int64_t>(nlay) * nrow * ncol;
  m.IAPART = separateBuff ? 1 : 0;
  WorkArray& w = *m.work;
  m.HEADNEW = w.takeDouble(m.NCELLS);
  m.HEADOLD = w.takeReal(m.NCELLS);
  m.IBOUND = w.takeInt(m.NCELLS);
  m.CONDR = w.takeReal(m.NCELLS);
  m.CONDC = w.takeReal(m.NCELLS);
  m.CONDV = w.takeReal(static_cast<std::int64_t>(nrow) * ncol * (nlay - 1));
  m.HCOEF = w.takeReal(m.NCELLS);
  m.RHS = w.takeReal(m.NCELLS);
  m.DELR = w.takeReal(ncol);
  m.DELC = w.takeReal(nrow);
  m.IOFLG = w.takeInt(4 * static_cast<std::int64_t>(nlay));
  m.BUFF = separateBuff ? w.takeReal(m.NCELLS) : m.RHS;
  std::fill(m.IBOUND, m.IBOUND + m.NCELLS, 1);
  std::fill(m.DELR, m.DELR + ncol, 1.0f);
  std::fill(m.DELC, m.DELC + nrow, 1.0f);
}

ModelBuilder::ModelBuilder(int nlay, int nrow, int ncol, bool separateBuff) {
  allocateGrid(m_, nlay, nrow, ncol, separateBuff);
  m_.NPERIOD = 1;
  m_.NSTEPS = 1;
  m_.DELT = 1.0f;
  m_.LISTUNIT = kListUnit;
  io::open(kListUnit, (dir_ / "out.lst").string());
}

ModelBuilder::~ModelBuilder() {
  io::closeRange(1, 96);
}

int ModelBuilder::input(int slot, const std::string& content) {
  const std::string name = "input" + std::to_string(slot) + ".dat";
  dir_.write(name, content);
  const int unit = 10 + slot;
  io::openExisting(unit, (dir_ / name).string());
  m_.PKGUNIT[slot] = unit;
  return unit;
}

void ModelBuilder::output(int unit, const std::string& name) {
  io::open(unit, (dir_ / name).string(), io::Form::Stream);
}

std::string ModelBuilder::bytes(int unit, const std::string& name) {
  io::close(unit);
  return dir_.readBytes(name);
}

std::string ModelBuilder::listing() {
  io::close(kListUnit);
  return dir_.readText("out.lst");
}

void ModelBuilder::setHead(int k, int i, int j, double h) {
  const std::int64_t c = m_.cell(k, i, j);
  m_.HEADNEW[c] = h;
  m_.HEADOLD[c] = static_cast<float>(h);
}

void ModelBuilder::setAllHeads(double h) {
  std::fill(m_.HEADNEW, m_.HEADNEW + m_.NCELLS, h);
  std::fill(m_.HEADOLD, m_.HEADOLD + m_.NCELLS, static_cast<float>(h));
}

PackageRun::PackageRun(ModelBuilder& model, std::string_view type, int slot, const std::string& input)
    : b_(model) {
  b_.input(slot, input);
  PackageFactory factory = findPackage(type);
  EXPECT_NE(factory, nullptr) << "no package of type " << type;
  if (factory != nullptr) pkg_ = factory();
}

void PackageRun::period(int kper, int icbcfl, float delt) {
  Model& m = b_.model();
  m.KPERIOD = kper;
  m.KSTEP = 1;
  m.DELT = delt;
  m.PERTIME = delt;
  m.TOTTIME = delt * static_cast<float>(kper);
  pkg_->stressPeriod(m);
  pkg_->advance(m);
  formulate();
  budget(icbcfl);
}

void PackageRun::formulate() {
  Model& m = b_.model();
  std::fill(m.HCOEF, m.HCOEF + m.NCELLS, 0.0f);
  std::fill(m.RHS, m.RHS + m.NCELLS, 0.0f);
  pkg_->formulate(m);
}

void PackageRun::budget(int icbcfl) {
  Model& m = b_.model();
  m.ICBCFL = icbcfl;
  m.BUDNEXT = 1;
  pkg_->budget(m);
}

float PackageRun::hcoef(int k, int i, int j) const {
  const Model& m = b_.model();
  return m.HCOEF[m.cell(k, i, j)];
}
float PackageRun::rhs(int k, int i, int j) const {
  const Model& m = b_.model();
  return m.RHS[m.cell(k, i, j)];
}

}  // namespace aqx::test
