// The embedded server's automation objects over workbooks read by the .xlsx reader.
#include "engine/server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/engine/xlsx_test_package.h"

using namespace ledgerix;

namespace {

std::string Fixture(const std::string& name) {
  return std::string(LEDGERIX_TEST_DATA) + "/xlsx/" + name;
}

// The description of the automation error that fn raises ("" when it raises none).
template <class Fn>
std::string AutomationErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const AutomationError& e) {
    return e.what();
  }
  return "";
}

class ServerTest : public ::testing::Test {
 protected:
  std::shared_ptr<Workbook> Open(const std::string& path) {
    return app_->GetWorkbooks()->Open(path);
  }
  std::shared_ptr<Application> app_ = engine::CreateEmbeddedApplication();
};

TEST_F(ServerTest, OpenFailureNamesTheFileAndTheReason) {
  std::string missing = Fixture("does_not_exist.xlsx");
  std::string message = AutomationErrorOf([&] { Open(missing); });
  EXPECT_EQ(message.rfind("无法打开工作簿 " + missing + "：文件不存在", 0), 0u) << message;

  std::string not_book = AutomationErrorOf([&] { Open(Fixture("hostile/not_workbook.xlsx")); });
  EXPECT_NE(not_book.find("not_workbook.xlsx：文件不是有效的Excel工作簿"), std::string::npos)
      << not_book;
}

TEST_F(ServerTest, WorksheetsActiveSheetVisibilityAndValues) {
  auto book = Open(Fixture("openpyxl_sheets.xlsx"));
  auto sheets = book->GetWorksheets();
  ASSERT_EQ(sheets->GetCount(), 4);
  EXPECT_EQ(sheets->GetItem(1)->GetName(), "Data");
  EXPECT_EQ(sheets->GetItem(1)->GetVisible(), xlSheetVisible);
  EXPECT_EQ(sheets->GetItem(3)->GetVisible(), xlSheetHidden);
  EXPECT_EQ(sheets->GetItem(4)->GetVisible(), xlSheetVeryHidden);
  EXPECT_NE(AutomationErrorOf([&] { sheets->GetItem(0); }), "");
  EXPECT_NE(AutomationErrorOf([&] { sheets->GetItem(5); }), "");
  EXPECT_NE(AutomationErrorOf([&] { sheets->GetItem(-1); }), "");

  auto active = book->GetActiveSheet();
  EXPECT_EQ(active->GetName(), "After");
  EXPECT_EQ(active->GetRange("B2", "B2")->GetValue2(), Variant::String("after the chart"));
  EXPECT_TRUE(active->GetRange("B3", "B3")->GetValue2().IsEmpty());
  EXPECT_EQ(sheets->GetItem(1)->GetRange("g3", "g3")->GetValue2(), Variant::Error(CellError::NA));
}

TEST_F(ServerTest, RangeTakesOneCellAddressOnly) {
  auto sheet = Open(Fixture("lo_statement.xlsx"))->GetActiveSheet();
  EXPECT_EQ(sheet->GetName(), "资产负债表");
  EXPECT_EQ(sheet->GetRange("B3", "B3")->GetValue2(), Variant::String("资产合计"));
  for (auto [a, b] : {std::pair{"$A$1", "$A$1"},
                      {"A1:B2", "A1:B2"},
                      {"", ""},
                      {"A1", "B2"},
                      {"A0", "A0"},
                      {"XFE1", "XFE1"}}) {
    EXPECT_NE(AutomationErrorOf([&] { sheet->GetRange(a, b); }), "") << a << " " << b;
  }
}

TEST_F(ServerTest, PutValue2IsReadBackUntilClose) {
  auto book = Open(Fixture("lo_statement.xlsx"));
  auto cell = book->GetWorksheets()->GetItem(2)->GetRange("B1", "B1");
  EXPECT_EQ(cell->GetValue2(), Variant::Number(1234.5));
  cell->PutValue2(Variant::String("改"));
  EXPECT_EQ(book->GetWorksheets()->GetItem(2)->GetRange("B1", "B1")->GetValue2(),
            Variant::String("改"));
  cell->PutValue2(Variant());
  EXPECT_TRUE(cell->GetValue2().IsEmpty());
}

TEST_F(ServerTest, ClosedWorkbookRefusesCalls) {
  auto book = Open(Fixture("lo_statement.xlsx"));
  auto sheet = book->GetActiveSheet();
  auto cell = sheet->GetRange("A1", "A1");
  book->Close(false, "");
  EXPECT_NE(AutomationErrorOf([&] { book->GetWorksheets(); }), "");
  EXPECT_NE(AutomationErrorOf([&] { book->GetActiveSheet(); }), "");
  EXPECT_NE(AutomationErrorOf([&] { sheet->GetName(); }), "");
  EXPECT_NE(AutomationErrorOf([&] { cell->GetValue2(); }), "");
  book->Close(false, "");  // closing twice is harmless

  auto other = Open(Fixture("openpyxl_macro.xlsm"));
  app_->Quit();
  EXPECT_NE(AutomationErrorOf([&] { other->GetWorksheets(); }), "");
  EXPECT_NE(AutomationErrorOf([&] { app_->GetWorkbooks(); }), "");
}

TEST_F(ServerTest, DamagedSheetIsReportedWhenReadNamingFileAndSheet) {
  using namespace engine::testing;
  Parts parts = OneSheetPackage("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>3</v></c></row>");
  std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("ledgerix_server_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       "_damaged.xlsx");
  {
    std::ofstream out(path, std::ios::binary);
    out << BuildZip(parts);
  }
  auto book = Open(path.string());
  std::filesystem::remove(path);
  auto cell = book->GetActiveSheet()->GetRange("A1", "A1");
  std::string message = AutomationErrorOf([&] { cell->GetValue2(); });
  EXPECT_NE(message.find(path.filename().string()), std::string::npos) << message;
  EXPECT_NE(message.find("工作表“S”"), std::string::npos) << message;
  EXPECT_NE(message.find("文件已损坏"), std::string::npos) << message;
  EXPECT_NE(message.find("A1"), std::string::npos) << message;
}

}  // namespace
