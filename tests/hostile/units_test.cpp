// One file connected to two units at once: the second open is refused, so that a unit that
// writes cannot replace what another is still reading (a name file that names itself as the
// listing file) and a unit cannot read what another is writing.
#include <gtest/gtest.h>

#include <string>

#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

TEST(HostileUnits, AFileOpenOnOneUnitCannotBeOpenedOnAnother) {
  test::TempDir dir;
  io::closeAll();
  dir.write("model.nam", "LIST 6 model.nam\nBAS 1 bas.dat\n");
  const std::string nam = (dir / "model.nam").string();
  io::openExisting(99, nam);
  std::string line(80, ' ');
  io::readLine(99, line);
  try {
    io::open(6, nam);
    ADD_FAILURE() << "second unit accepted";
  } catch (const io::IoError& e) {
    EXPECT_EQ(e.unit(), 6);
    EXPECT_NE(e.detail().find("already open on unit 99"), std::string::npos) << e.detail();
  }
  EXPECT_FALSE(io::isOpen(6));
  // The same file through another spelling of its name is the same file.
  EXPECT_THROW(io::open(7, (dir / "." / "model.nam").string(), io::Form::Stream), io::IoError);
  io::readLine(99, line);
  EXPECT_EQ(line.substr(0, 13), "BAS 1 bas.dat");
  io::closeAll();
  EXPECT_EQ(dir.readText("model.nam"), "LIST 6 model.nam\nBAS 1 bas.dat\n");

  // Reopening the same unit on its own file, or another file after a close, is fine.
  io::open(6, nam);
  io::open(6, nam);
  io::close(6);
  io::open(7, nam);
  io::closeAll();
}

}  // namespace
}  // namespace aqx
