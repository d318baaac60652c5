// aqxpost netcdf: heads, drawdowns and cell-by-cell terms of a run in one CF NetCDF-4 file, read
// back through the netCDF C API (and ncdump when installed) and compared with the binary files.
#include <gtest/gtest.h>

#ifdef AQX_HAVE_NETCDF
#include <netcdf.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "io/budget_records.hpp"
#include "io/layers.hpp"
#include "io/record.hpp"
#include "post/outputs.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

#ifdef AQX_HAVE_NETCDF
using test::runPost;
using test::TempDir;

constexpr float kFill = 9.9692099683868690e+36f;

// Two layers of 3 columns x 2 rows; cells 100, 300, 100 wide along a row and 50, 150 along a
// column; heads at two steps with a no-flow cell (1e30) and a dry one (-888, given as --mask).
class Netcdf : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < 12; ++n) heads[n] = 20.0f + 0.25f * static_cast<float>(n) + 1.0f / 3.0f;
    heads[4] = 1e30f;
    heads[9] = -888.0f;
    io::open(61, (dir / "r.hds").string(), io::Form::Stream);
    io::open(62, (dir / "r.ddn").string(), io::Form::Stream);
    io::open(60, (dir / "r.cbc").string(), io::Form::Stream);
    for (int step = 1; step <= 2; ++step) {
      for (int k = 1; k <= 2; ++k) {
        std::vector<float> h(heads + 6 * (k - 1), heads + 6 * k);
        for (float& v : h)
          if (v < 1e29f && v > -800.0f) v += static_cast<float>(step);
        io::SAVLAYBIN(h.data(), "            HEAD", step, 1, 1.5f * step, 1.5f * step, 3, 2, k, 61);
      }
    }
    io::SAVLAYBIN(heads, "        DRAWDOWN", 2, 1, 3.0f, 3.0f, 3, 2, 1, 62);
    io::UBUDSV(2, 1, "FLOW RIGHT FACE ", 60, heads, 3, 2, 2, 0);
    io::UBDSV2(2, 1, "           WELLS", 60, 3, 2, 2, 2, 0, 1.5f, 1.5f, 3.0f);
    io::CBCLISTITEM(60, 3, 2, 2, 1, 2, -50.5f);
    io::CBCLISTITEM(60, 3, 2, 2, 1, 2, -1.5f);
    io::close(60);
    io::close(61);
    io::close(62);
    dir.write("r.nam", "LIST 6 r.lst\nBAS 1 r.bas\nBCF 11 r.bcf\n");
    dir.write("r.bas", "netcdf test\n\n         2         2         3         1         4\n\n");
    dir.write("r.bcf",
              "         1         0\n 0 0\nCONSTANT 1.0\nINTERNAL 1.0 (FREE) 0\n100 300 100\n"
              "INTERNAL 1.0 (FREE) 0\n50 150\n");
  }
  TempDir dir;
  float heads[12];
};

std::string textAttribute(int nc, const char* var, const char* name) {
  int id = NC_GLOBAL;
  if (var && nc_inq_varid(nc, var, &id) != NC_NOERR) return "<no variable>";
  size_t len = 0;
  if (nc_inq_attlen(nc, id, name, &len) != NC_NOERR) return "<none>";
  std::string s(len, '\0');
  nc_get_att_text(nc, id, name, s.data());
  return s;
}

std::vector<float> floats(int nc, const char* var) {
  int id = 0, ndims = 0, dims[NC_MAX_VAR_DIMS];
  if (nc_inq_varid(nc, var, &id) != NC_NOERR) return {};
  nc_inq_varndims(nc, id, &ndims);
  nc_inq_vardimid(nc, id, dims);
  size_t n = 1;
  for (int d = 0; d < ndims; ++d) {
    size_t len = 0;
    nc_inq_dimlen(nc, dims[d], &len);
    n *= len;
  }
  std::vector<float> v(n);
  nc_get_var_float(nc, id, v.data());
  return v;
}

TEST_F(Netcdf, ValuesAndCfAttributesReadBackThroughTheLibrary) {
  const test::RunResult run =
      runPost(dir.path(), {"netcdf", "--out", "r.nc", "--heads", "r.hds", "--drawdowns", "r.ddn", "--budget",
                           "r.cbc", "--namefile", "r.nam", "--mask", "-888"});
  ASSERT_EQ(run.status, 0) << run.err;
  int nc = 0;
  ASSERT_EQ(nc_open((dir / "r.nc").string().c_str(), NC_NOWRITE, &nc), NC_NOERR);
  int format = 0;
  nc_inq_format(nc, &format);
  EXPECT_EQ(format, NC_FORMAT_NETCDF4);
  const char* names[] = {"time", "layer", "row", "column"};
  const size_t want[] = {2, 2, 2, 3};
  for (int d = 0; d < 4; ++d) {
    int id = -1;
    size_t len = 0;
    ASSERT_EQ(nc_inq_dimid(nc, names[d], &id), NC_NOERR) << names[d];
    nc_inq_dimlen(nc, id, &len);
    EXPECT_EQ(len, want[d]) << names[d];
  }
  EXPECT_EQ(textAttribute(nc, nullptr, "Conventions"), "CF-1.8");
  EXPECT_EQ(textAttribute(nc, "time", "standard_name"), "time");
  EXPECT_EQ(textAttribute(nc, "time", "units"), "days");
  EXPECT_EQ(textAttribute(nc, "time", "axis"), "T");
  EXPECT_EQ(textAttribute(nc, "layer", "axis"), "Z");
  EXPECT_EQ(textAttribute(nc, "row", "axis"), "Y");
  EXPECT_EQ(textAttribute(nc, "column", "axis"), "X");
  EXPECT_EQ(textAttribute(nc, "column", "standard_name"), "projection_x_coordinate");
  EXPECT_EQ(textAttribute(nc, "column", "units"), "m");
  EXPECT_EQ(textAttribute(nc, "head", "long_name"), "hydraulic head");
  EXPECT_EQ(textAttribute(nc, "head", "units"), "m");
  EXPECT_EQ(textAttribute(nc, "drawdown", "long_name"), "drawdown");
  EXPECT_EQ(textAttribute(nc, "wells", "long_name"), "WELLS");
  EXPECT_EQ(textAttribute(nc, "flow_right_face", "units"), "m3/day");
  for (const char* var : {"head", "drawdown", "wells"}) {
    int id = 0;
    float fill = 0.0f;
    ASSERT_EQ(nc_inq_varid(nc, var, &id), NC_NOERR) << var;
    ASSERT_EQ(nc_get_att_float(nc, id, "_FillValue", &fill), NC_NOERR) << var;
    EXPECT_EQ(fill, kFill) << var;
  }

  // Cell centres from DELR and DELC (rows from the far edge of the last row: north up).
  EXPECT_EQ(floats(nc, "column"), (std::vector<float>{50, 250, 450}));
  EXPECT_EQ(floats(nc, "row"), (std::vector<float>{175, 75}));
  EXPECT_EQ(floats(nc, "time"), (std::vector<float>{1.5f, 3.0f}));

  // Every head equals the head file's, the masked ones read as the fill value.
  const auto records = post::readLayerFile(dir.readBytes("r.hds"));
  const std::vector<float> head = floats(nc, "head");
  ASSERT_EQ(head.size(), 24u);
  for (const post::LayerRecord& r : records) {
    for (int c = 0; c < 6; ++c) {
      const float v = r.values[c];
      const float expect = (v == 1e30f || v == -888.0f) ? kFill : v;
      EXPECT_EQ(head[12 * (r.kstep - 1) + 6 * (r.layer - 1) + c], expect)
          << r.kstep << " " << r.layer << " " << c;
    }
  }
  // Drawdown saved only at step 2 of layer 1: everything else is fill.
  const std::vector<float> ddn = floats(nc, "drawdown");
  ASSERT_EQ(ddn.size(), 24u);
  EXPECT_EQ(ddn[0], kFill);
  EXPECT_EQ(ddn[12], heads[0]);
  EXPECT_EQ(ddn[12 + 4], kFill);
  EXPECT_EQ(ddn[18], kFill);
  // Flows keep every value; list entries of one cell add up; unsaved cells read 0 in that step.
  const std::vector<float> frf = floats(nc, "flow_right_face");
  EXPECT_EQ(frf[12 + 4], 1e30f);
  EXPECT_EQ(frf[12 + 11], heads[11]);
  const std::vector<float> wells = floats(nc, "wells");
  EXPECT_EQ(wells[12 + 7], -52.0f);
  EXPECT_EQ(wells[12 + 0], 0.0f);
  EXPECT_EQ(wells[0], kFill);
  nc_close(nc);

  if (std::filesystem::exists("/usr/bin/ncdump")) {
    const test::RunResult dump = test::runProgram("/usr/bin/ncdump", dir.path(), {"-h", "r.nc"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    for (const char* line :
         {"float head(time, layer, row, column) ;", "head:_FillValue = 9.96921e+36f ;",
          ":Conventions = \"CF-1.8\" ;", "time = UNLIMITED ; // (2 currently)", "double column(column) ;"})
      EXPECT_NE(dump.out.find(line), std::string::npos) << line;
  }
}

TEST_F(Netcdf, WithoutANameFileCellsAreUnitSquares) {
  const test::RunResult run = runPost(dir.path(), {"netcdf", "--out", "u.nc", "--heads", "r.hds"});
  ASSERT_EQ(run.status, 0) << run.err;
  int nc = 0;
  ASSERT_EQ(nc_open((dir / "u.nc").string().c_str(), NC_NOWRITE, &nc), NC_NOERR);
  EXPECT_EQ(floats(nc, "column"), (std::vector<float>{0.5f, 1.5f, 2.5f}));
  EXPECT_EQ(floats(nc, "row"), (std::vector<float>{1.5f, 0.5f}));
  EXPECT_EQ(textAttribute(nc, "head", "units"), "1");
  // -888 is not masked unless given.
  EXPECT_EQ(floats(nc, "head")[9], -888.0f);
  nc_close(nc);
}

TEST_F(Netcdf, RefusedRequests) {
  io::open(63, (dir / "odd.hds").string(), io::Form::Stream);
  io::SAVLAYBIN(heads, "            HEAD", 1, 1, 1.0f, 1.0f, 3, 2, 1, 63);
  io::SAVLAYBIN(heads, "            HEAD", 2, 1, 2.0f, 2.0f, 2, 3, 1, 63);
  io::close(63);
  dir.write("text.hds", "this is a listing, not a binary file\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"netcdf", "--heads", "r.hds"}, 2, "--out"},
      {{"netcdf", "--out", "x.nc"}, 2, "--heads, --drawdowns or --budget"},
      {{"netcdf", "--out", "x.nc", "--heads", "odd.hds"}, 1, "not all of 2 rows and 3 columns"},
      {{"netcdf", "--out", "x.nc", "--heads", "text.hds"}, 1, ""},
      {{"netcdf", "--out", "x.nc", "--heads", "r.cbc"}, 1, "not a layer file"},
      {{"netcdf", "--out", "x.nc", "--budget", "r.hds"}, 1, "not a cell-by-cell file"},
      {{"netcdf", "--out", "no/such/dir/x.nc", "--heads", "r.hds"}, 1, "NetCDF create"},
  };
  for (const Case& c : cases) {
    const test::RunResult r = runPost(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.args.back();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}
#else
TEST(Netcdf, Skipped) {
  GTEST_SKIP() << "aqxpost built without libnetcdf";
}
#endif

}  // namespace
}  // namespace aqx
