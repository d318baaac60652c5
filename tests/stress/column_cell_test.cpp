// The cell of a vertical column that receives an areal stress, for the three rules, and the
// per-period column arrays (read, reuse, a first-period reuse, layers outside the grid).
#include "stress/column_cell.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/model_builder.hpp"

namespace aqx {
namespace {

// One column of three layers; IBOUND from the top down, and the layer each rule picks (0: none).
struct ColumnCase {
  int ibound[3];
  int top, given2, highest;
};

TEST(ColumnCell, EachRuleOnEveryKindOfColumn) {
  const ColumnCase cases[] = {
      {{1, 1, 1}, 1, 2, 1},   // all variable head
      {{0, 0, 1}, 0, 0, 3},   // no-flow cells above are passed over
      {{0, -1, 1}, 0, 0, 0},  // a constant head reached first stops the search
      {{-1, 1, 1}, 0, 2, 0},  // constant head on top: the top rule gives none
      {{0, 1, -1}, 0, 2, 2},  // a constant head below the first variable head is not reached
      {{0, 0, 0}, 0, 0, 0},   // no-flow column
      {{1, 0, 1}, 1, 0, 1},   // the given layer is no-flow: no other layer is tried
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.ibound[0] << ' ' << c.ibound[1] << ' ' << c.ibound[2]);
    test::ModelBuilder b(3, 2, 3);
    for (int k = 1; k <= 3; ++k) b.ibound(k, 2, 3) = c.ibound[k - 1];
    const Model& m = b.model();
    const auto layerOf = [&](ColumnRule rule, int given) {
      const ColumnCell cell = columnCell(m, rule, 2, 3, given);
      if (cell) {
        EXPECT_EQ(cell.index, m.cell(cell.layer, 2, 3));
      }
      return cell.layer;
    };
    EXPECT_EQ(layerOf(ColumnRule::kTopLayer, 0), c.top);
    EXPECT_EQ(layerOf(ColumnRule::kGivenLayer, 2), c.given2);
    EXPECT_EQ(layerOf(ColumnRule::kHighestActive, 0), c.highest);
  }
}

TEST(ColumnCell, GivenLayerOutsideTheGridIsNoCellAndColumnsAreVisitedInRowOrder) {
  test::ModelBuilder b(2, 2, 3);
  const Model& m = b.model();
  for (int given : {0, -1, 3}) EXPECT_FALSE(columnCell(m, ColumnRule::kGivenLayer, 1, 1, given)) << given;

  const int layers[6] = {1, 2, 2, 1, 1, 2};
  std::vector<std::int64_t> cells;
  forEachColumnCell(m, ColumnRule::kGivenLayer, layers, [&](std::int64_t column, ColumnCell cell) {
    EXPECT_EQ(column, static_cast<std::int64_t>(cells.size()));
    cells.push_back(cell.index);
  });
  const std::vector<std::int64_t> want = {m.cell(1, 1, 1), m.cell(2, 1, 2), m.cell(2, 1, 3),
                                          m.cell(1, 2, 1), m.cell(1, 2, 2), m.cell(2, 2, 3)};
  EXPECT_EQ(cells, want);
}

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(ColumnArrays, ReadConvertedByAreaReusedAndZeroWithoutEarlierArray) {
  test::ModelBuilder b(2, 2, 3);
  Model& m = b.model();
  for (int j = 0; j < 3; ++j) m.DELR[j] = static_cast<float>(j + 1);
  m.DELC[1] = 10.0f;
  const int unit = b.input(kRCH, "INTERNAL 1.0 (FREE) -1\n1 1 1\n2 2 2\n");
  std::vector<float> values(6, 7.0f), kept(6, 7.0f);
  const auto& reusing = AQX_FMT("(1X/1X,'REUSING TEST FROM LAST STRESS PERIOD')");

  m.KPERIOD = 1;
  ColumnArrays(m, unit, true).real(kept.data(), -1, "                    TEST", "TEST", reusing);
  EXPECT_EQ(kept, std::vector<float>(6, 0.0f));  // no earlier array: zero, whatever was there
  ColumnArrays(m, unit, true).real(values.data(), 0, "                    TEST", "TEST", reusing, true);
  EXPECT_EQ(values, (std::vector<float>{1, 2, 3, 20, 40, 60}));
  m.KPERIOD = 2;
  ColumnArrays(m, unit, false).real(values.data(), -5, "                    TEST", "TEST", reusing, true);
  EXPECT_EQ(values, (std::vector<float>{1, 2, 3, 20, 40, 60}));  // kept, not converted again

  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, "\n NO EARLIER TEST ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD   1\n"))
      << lst;
  EXPECT_TRUE(has(lst, "TEST\n READING ON UNIT  18 WITH FORMAT: (FREE)")) << lst;
  EXPECT_TRUE(has(lst, "\n \n REUSING TEST FROM LAST STRESS PERIOD\n")) << lst;
}

struct LayerStop {
  const char* name;
  const char* input;
  int flag;
  const char* message;
};

class ColumnLayerStops : public ::testing::TestWithParam<LayerStop> {};

TEST_P(ColumnLayerStops, NameTheArrayRowColumnAndValue) {
  test::ModelBuilder b(2, 2, 3);
  Model& m = b.model();
  m.KPERIOD = 1;
  const int unit = b.input(kRCH, GetParam().input);
  std::vector<int> layers(6, 1);
  EXPECT_THROW(ColumnArrays(m, unit, true)
                   .layers(layers.data(), GetParam().flag, "    RECHARGE LAYER INDEX", "IRCH",
                           AQX_FMT("(1X/1X,'REUSING IRCH FROM LAST STRESS PERIOD')")),
               io::RunStop);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, GetParam().message)) << lst;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnLayerStops,
    ::testing::Values(
        LayerStop{"BelowTheGrid", "INTERNAL 1 (FREE) -1\n1 2 1\n2 3 1\n", 0,
                  "\n IRCH AT ROW     2, COLUMN     2 IS          3: NOT A LAYER OF THE GRID (1 TO   2)\n"
                  " STOP EXECUTION\n"},
        LayerStop{"Zero", "INTERNAL 1 (FREE) -1\n1 2 0\n2 2 1\n", 0,
                  "\n IRCH AT ROW     1, COLUMN     3 IS          0: NOT A LAYER OF THE GRID (1 TO   2)\n"},
        LayerStop{"NoEarlierArray", "", -1,
                  "\n NO EARLIER IRCH ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD   1\n \n"
                  " IRCH AT ROW     1, COLUMN     1 IS          0: NOT A LAYER OF THE GRID (1 TO   2)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx
