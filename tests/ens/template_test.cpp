// Placeholders in template files: the span is the field, values are right-justified in it, and
// a value that does not fit names the file, line and field.
#include "ens/template.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ens/csv.hpp"

namespace aqx::ens {
namespace {

TEST(Template, FillsFieldsKeepingTheirWidths) {
  const TemplateFile f =
      parseTemplateText("a.riv", "         1{{c    }}  x\nCONSTANT {{hk}} {{ bad}\n{{1x}} {{hk}}");
  ASSERT_EQ(f.placeholders.size(), 3u);
  EXPECT_EQ(f.placeholders[0].width, 9);
  EXPECT_EQ(f.placeholders[1].line, 2);
  EXPECT_EQ(f.placeholders[1].column, 10);
  EXPECT_EQ(fillFile(f, {{"c", "200.0"}, {"hk", "12"}}),
            "         1    200.0  x\nCONSTANT     12 {{ bad}\n{{1x}}     12");
}

TEST(Template, RefusesValuesThatDoNotFit) {
  const TemplateFile f = parseTemplateText("m.bcf", "line one\n  {{hk}}\n");
  const struct {
    std::string value, message;
  } cases[] = {
      {"1234567",
       "m.bcf, line 2, field {{hk}} (columns 3-8): the value '1234567' has 7 characters, the field 6"},
      {"", "m.bcf, line 2, field {{hk}} (columns 3-8): no value given"},
      {"1\n2", "holds a line end"},
  };
  for (const auto& c : cases) {
    try {
      fillFile(f, {{"hk", c.value}});
      ADD_FAILURE() << "accepted '" << c.value << "'";
    } catch (const EnsError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(fillFile(f, {{"hk", "123456"}}), "line one\n  123456\n");
}

TEST(Csv, ReadsQuotedFieldsAndNamesBadLines) {
  const CsvTable t = parseCsv("# comment\na, b\n\"x, y\" ,\"q\"\"\"\n\n3,4\n", "p.csv");
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0][0], "x, y");
  EXPECT_EQ(t.rows[0][1], "q\"");
  EXPECT_EQ(t.lineOf[1], 5);
  EXPECT_EQ(csvLine({"x, y", "q\"", "1"}), "\"x, y\",\"q\"\"\",1\n");
  EXPECT_THROW(parseCsv("a,b\n1\n", "p.csv"), EnsError);
  EXPECT_THROW(parseCsv("a,b\n\"1,2\n", "p.csv"), EnsError);
}

}  // namespace
}  // namespace aqx::ens
