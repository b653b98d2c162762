// The bundled example statements of kinds 5 to 8, read by the embedded engine, converted into
// in-memory copies of the real templates: every transfer must carry an amount between two rows
// that bear the same label, and the filed statements must still add up.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/common/cell_rules.h"
#include "convert/common/converter_messages.h"
#include "convert/common/program_folder.h"
#include "convert/converters.h"
#include "engine/book.h"
#include "engine/server.h"
#include "tests/convert/fake_app.h"
#include "tests/convert/test_files.h"

namespace ledgerix {
namespace {

using testing::FakeApp;
using testing::FakeFile;
using testing::LoggedSheet;
using testing::TempFolder;

const std::string kExamples = std::string(LEDGERIX_SOURCE_DIR) + "/examples/";
const std::string kTemplates = std::string(LEDGERIX_SOURCE_DIR) + "/resources/templates/";

// The template's cells as the engine reads them.
FakeFile LoadTemplate(const std::string& name) {
  std::unique_ptr<engine::Book> book = engine::OpenBook(kTemplates + name);
  FakeFile file;
  for (int i = 0; i < static_cast<int>(book->sheets().size()); ++i) {
    file.sheetNames.push_back(book->sheets()[static_cast<std::size_t>(i)].name);
    auto& cells = file.sheets.emplace_back();
    book->Cells(i).ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
      cells[engine::FormatA1(row, col)] = v;
    });
  }
  return file;
}

// Labels are compared without the indentation and the spaces around them.
std::string Label(Variant v) {
  std::string text = v.type() == Variant::Type::String ? v.string() : "";
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, 3, "\u3000") == 0) {
      i += 3;
    } else {
      if (text[i] != ' ') out.push_back(text[i]);
      ++i;
    }
  }
  return out;
}

double Number(const FakeFile& f, int sheet, const std::string& address) {
  Variant v = f.At(sheet, address);
  return v.type() == Variant::Type::Number ? v.number() : 0.0;
}

class LocalTaxExamples : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ProgramFolder();
    std::filesystem::create_directory(dir_.path() / "program");
    std::filesystem::create_directory(dir_.path() / "save");
    save_ = dir_.folder() + "save/";
    SetProgramFolder(dir_.folder() + "program/");
    for (const char* name : {"地税目标企业会计制度报表.xls", "地税目标小企业会计制度报表.xls"}) {
      app_.AddFile(ProgramFolder() + name, LoadTemplate(name));
    }
  }
  void TearDown() override { SetProgramFolder(previous_); }

  // Converts the first worksheet of an example workbook; checks that every amount went
  // between rows of the same label (label columns: source A/E to target A/F, or A to A), and
  // returns the filing workbook (its path in last_path_).
  const FakeFile& Convert(TemplateConverter convert, const std::string& example, int sheet,
                          bool balance) {
    std::shared_ptr<Application> engine = engine::CreateEmbeddedApplication();
    std::shared_ptr<Workbook> book = engine->GetWorkbooks()->Open(kExamples + example);
    std::shared_ptr<Worksheet> source = book->GetWorksheets()->GetItem(1);
    app_.mutable_log().clear();
    LoggedSheet logged(*source, app_.mutable_log());
    EXPECT_EQ(convert(save_, app_, logged), 1);

    const std::string& closing = app_.log().back();
    last_path_ = closing.substr(closing.find(save_));
    const FakeFile& out = app_.File(last_path_);
    const std::string prefix = "put " + out.sheetNames[static_cast<std::size_t>(sheet - 1)] + "!";
    int transfers = 0;
    for (std::size_t i = 1; i < app_.log().size(); ++i) {
      const std::string& put = app_.log()[i];
      const std::string& get = app_.log()[i - 1];
      if (put.rfind(prefix, 0) != 0 || get.rfind("get ", 0) != 0) continue;
      std::uint32_t sr, sc, tr, tc;
      if (!engine::ParseA1(get.substr(4), &sr, &sc) ||
          !engine::ParseA1(put.substr(prefix.size()), &tr, &tc)) {
        ADD_FAILURE() << get << " -> " << put;
        continue;
      }
      bool right = balance && sc >= 4;
      std::string sourceLabel = Label(ReadCellValue(*source, engine::FormatA1(sr, right ? 4 : 0)));
      std::string targetLabel = Label(out.At(sheet, engine::FormatA1(tr, right ? 5 : 0)));
      EXPECT_FALSE(sourceLabel.empty()) << get;
      EXPECT_EQ(sourceLabel, targetLabel) << get << " -> " << put;
      ++transfers;
    }
    EXPECT_GT(transfers, 20);
    EXPECT_TRUE(messages_.empty());
    return out;
  }

  TempFolder dir_;
  std::string previous_;
  std::string save_;
  std::string last_path_;  // the filing workbook of the last conversion
  FakeApp app_;
  std::vector<std::string> messages_;
  ScopedConverterMessages capture_{[this](std::string_view text) { messages_.emplace_back(text); }};
};

TEST_F(LocalTaxExamples, EnterpriseBalanceSheetAndIncomeStatementFillOneWorkbook) {
  const FakeFile& balance =
      Convert(&ConvertLocalBalanceSheet, "kind5/恒信商贸_2008年资产负债表.xls", 2, true);
  EXPECT_EQ(last_path_, save_ + "440106190012345_广州市天河区恒信商贸有限公司_2008年03月.xls");
  const std::string balancePath = last_path_;
  EXPECT_EQ(balance.At(1, "B5"), Variant::String("440106190012345"));
  EXPECT_EQ(balance.At(1, "B6"), Variant::String("广州市天河区恒信商贸有限公司"));
  EXPECT_EQ(balance.At(1, "B9"), Variant::String("陈志明"));
  for (const char* col : {"D", "E"}) {
    double current = 0;
    for (int r = 6; r <= 17; ++r) current += Number(balance, 2, col + std::to_string(r));
    EXPECT_NEAR(Number(balance, 2, std::string(col) + "18"), current, 0.005);
  }
  EXPECT_NEAR(Number(balance, 2, "E43"), Number(balance, 2, "I41"), 0.005);  // it balances
  EXPECT_NEAR(Number(balance, 2, "D43"), Number(balance, 2, "H41"), 0.005);
  EXPECT_GT(Number(balance, 2, "E43"), 0);

  const FakeFile& filing =
      Convert(&ConvertLocalIncomeStatement, "kind6/恒信商贸_2008年利润表.xls", 3, false);
  EXPECT_EQ(last_path_, balancePath);
  EXPECT_EQ(filing.At(1, "B6"), Variant::String("广州市天河区恒信商贸有限公司"));  // kept
  EXPECT_EQ(app_.FileCount(), 3u);  // two templates and one filing workbook
  for (const char* col : {"D", "F"}) {
    auto n = [&](int row) { return Number(filing, 3, col + std::to_string(row)); };
    EXPECT_NEAR(n(9), n(5) - n(6) - n(7), 0.005);
    EXPECT_NEAR(n(29), n(26) - n(27) - n(28), 0.005);
    EXPECT_GT(n(5), 0);
  }
}

TEST_F(LocalTaxExamples, SmallEnterpriseStatements) {
  const FakeFile& balance =
      Convert(&ConvertSmallBalanceSheet, "kind7/悦秀五金_2008年03月资产负债表.xls", 2, true);
  const std::string balancePath = last_path_;
  EXPECT_NEAR(Number(balance, 2, "E32"), Number(balance, 2, "I32"), 0.005);
  EXPECT_EQ(balance.At(1, "B12"), Variant::String("13902201234"));
  const FakeFile& filing =
      Convert(&ConvertSmallIncomeStatement, "kind8/悦秀五金_2008年03月利润表.xls", 3, false);
  EXPECT_EQ(last_path_, balancePath);
  auto n = [&](int row) { return Number(filing, 3, "F" + std::to_string(row)); };
  EXPECT_NEAR(n(15), n(9) + n(10) - n(11) - n(12) - n(14), 0.005);
}

}  // namespace
}  // namespace ledgerix
