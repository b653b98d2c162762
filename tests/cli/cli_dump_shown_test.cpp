// dump --shown: each cell's entry carries the text its number format shows.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "engine/book.h"

namespace ledgerix {
namespace {

// A workbook whose cells name formats by a built-in id, by their own code, by their row, or
// not at all, as the style readers hand them over.
class StyledBook : public engine::Book {
 public:
  explicit StyledBook(bool date1904) {
    sheets_.push_back({"报表", xlSheetVisible});
    date1904_ = date1904;
  }
  std::string format() const override { return "test"; }

 protected:
  void LoadSheet(int, engine::CellStore& out) override {
    out.Set(0, 0, Variant::Number(1234567.891));  // built-in 4
    out.Set(0, 1, Variant::Number(39538.75));     // its own date code
    out.Set(0, 2, Variant::Number(-5));           // accounting code with a fill
    out.Set(1, 0, Variant::String("说明"));       // text in a text section
    out.Set(1, 1, Variant::Number(0.25));         // row style: built-in 10
    out.Set(2, 0, Variant::Number(1.005));        // no style: General
    out.Set(2, 1, Variant::Boolean(true));
    out.Set(2, 2, Variant::Number(12));  // an id nothing defines: General
  }
  void LoadLayout(int, engine::SheetLayout& out) override {
    using L = engine::SheetLayout;
    out.cell_styles[L::CellKey(0, 0)] = 1;
    out.cell_styles[L::CellKey(0, 1)] = 2;
    out.cell_styles[L::CellKey(0, 2)] = 3;
    out.cell_styles[L::CellKey(1, 0)] = 3;
    out.cell_styles[L::CellKey(2, 2)] = 5;
    out.rows[1].style = 4;
  }
  void LoadStyles(engine::StyleTable& out) override {
    out.styles.resize(6);
    out.styles[1].num_fmt_id = 4;
    out.styles[2].num_fmt_id = 176;
    out.styles[2].num_fmt_code = "yyyy\"年\"m\"月\"d\"日\" hh:mm";
    out.styles[3].num_fmt_id = 44;  // the file states the code of a built-in id: it wins
    out.styles[3].num_fmt_code =
        "_ \"￥\"* #,##0.00_ ;_ \"￥\"* \\-#,##0.00_ ;_ \"￥\"* \"-\"??_ ;_ @_ ";
    out.styles[4].num_fmt_id = 10;
    out.styles[5].num_fmt_id = 200;
  }
};

TEST(CliDumpShown, EachCellCarriesItsFormattedText) {
  StyledBook book(false);
  std::string json = DumpBookJson(book, "styled.xls", true);
  for (const char* part : {
           "\"A1\": [\"n\", 1234567.891, \"1,234,567.89\"]",
           "\"B1\": [\"n\", 39538.75, \"2008年3月31日 18:00\"]",
           "\"C1\": [\"n\", -5.0, \" ￥-5.00 \"]",
           "\"A2\": [\"s\", \"说明\", \" 说明 \"]",
           "\"B2\": [\"n\", 0.25, \"25.00%\"]",
           "\"A3\": [\"n\", 1.005, \"1.005\"]",
           "\"B3\": [\"b\", true, \"TRUE\"]",
           "\"C3\": [\"n\", 12.0, \"12\"]",
       }) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
}

TEST(CliDumpShown, DatesFollowTheWorkbooksDateSystem) {
  StyledBook book(true);
  std::string json = DumpBookJson(book, "styled.xls", true);
  EXPECT_NE(json.find("\"B1\": [\"n\", 39538.75, \"2012年4月1日 18:00\"]"), std::string::npos)
      << json;
}

TEST(CliDumpShown, WithoutTheOptionEntriesKeepTwoElements) {
  StyledBook book(false);
  std::string json = DumpBookJson(book, "styled.xls", false);
  EXPECT_NE(json.find("\"A1\": [\"n\", 1234567.891]"), std::string::npos) << json;
  EXPECT_EQ(json.find("1,234,567.89"), std::string::npos);
}

TEST(CliDumpShown, CommandLineTakesTheOptionBeforeOrAfterTheFile) {
  const std::string file = std::string(LEDGERIX_TEST_DATA) + "/kind1/balance.xlsx";
  for (const auto& args : std::vector<std::vector<std::string>>{{"dump", "--shown", file},
                                                                {"dump", file, "--shown"}}) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli(args, out, err, false), 0) << err.str();
    EXPECT_NE(out.str().find("\"C6\": [\"n\", 1000.5, \""), std::string::npos) << out.str();
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"dump", "--shown"}, out, err, false), 2);
}

}  // namespace
}  // namespace ledgerix
