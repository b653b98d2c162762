// Kinds 5 to 8 end to end on the embedded engine with the real templates beside the program:
// the filing workbooks written to disk must hold exactly what the in-memory server model holds
// after the same conversions, as our reader, xlrd and LibreOffice read them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/common/converter_messages.h"
#include "convert/common/program_folder.h"
#include "convert/converters.h"
#include "engine/book.h"
#include "engine/ole2_container.h"
#include "engine/server.h"
#include "tests/convert/fake_app.h"
#include "tests/convert/test_files.h"
#include "tests/engine/xls_writer_support.h"
#include "tests/outside_tools.h"

namespace ledgerix {
namespace {

namespace fs = std::filesystem;
using engine::testing::BookCells;
using testing::FakeApp;
using testing::FakeFile;
using testing::TempFolder;

const std::string kExamples = std::string(LEDGERIX_SOURCE_DIR) + "/examples/";
const std::string kProgram = std::string(LEDGERIX_PROGRAM_DIR) + "/";
const char* const kTemplates[] = {"地税目标企业会计制度报表.xls", "地税目标小企业会计制度报表.xls"};

FakeFile Load(const std::string& path) {
  std::unique_ptr<engine::Book> book = engine::OpenBook(path);
  FakeFile file;
  BookCells cells = engine::testing::AllCells(*book);
  for (const auto& sheet : book->sheets()) {
    file.sheetNames.push_back(sheet.name);
    file.sheets.push_back(cells[sheet.name]);
  }
  return file;
}

BookCells AsBookCells(const FakeFile& f) {
  BookCells out;
  for (std::size_t i = 0; i < f.sheets.size(); ++i) out[f.sheetNames[i]] = f.sheets[i];
  return out;
}

struct CsvField {
  std::string text;
  bool quoted = false;
};
// One sheet's CSV as LibreOffice writes it: rows of fields, text cells quoted.
std::vector<std::vector<CsvField>> ParseCsv(const std::string& text) {
  std::vector<std::vector<CsvField>> rows(1);
  rows.back().emplace_back();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    CsvField& f = rows.back().back();
    if (c == '"') {
      f.quoted = true;
      std::size_t j = i + 1;
      while (j < text.size()) {
        if (text[j] == '"') {
          if (j + 1 < text.size() && text[j + 1] == '"') {
            f.text.push_back('"');
            j += 2;
            continue;
          }
          break;
        }
        f.text.push_back(text[j++]);
      }
      i = j;  // the closing quote
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\n') {
      rows.emplace_back();
      rows.back().emplace_back();
    } else if (c != '\r') {
      f.text.push_back(c);
    }
  }
  return rows;
}

// The stream offsets of the sheet substreams, in BOUNDSHEET order.
std::vector<std::uint32_t> SheetStarts(std::string_view stream) {
  std::vector<std::uint32_t> out;
  for (const auto& r : engine::testing::RawRecords(stream, 0)) {
    if (r.id == 0x0085) out.push_back(engine::testing::Get32(r.payload, 0));
  }
  return out;
}

class LocalTaxEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ProgramFolder();
    for (const char* name : kTemplates) {
      ASSERT_TRUE(fs::exists(kProgram + name)) << "template not beside the program: " << name;
    }
    for (const char* sub : {"real", "model", "model-program", "source"}) {
      fs::create_directory(dir_.path() / sub);
    }
    real_ = dir_.folder() + "real/";
    model_ = dir_.folder() + "model/";
    SetProgramFolder(dir_.folder() + "model-program/");
    for (const char* name : kTemplates)
      model_app_.AddFile(ProgramFolder() + name, Load(kProgram + name));
  }
  void TearDown() override { SetProgramFolder(previous_); }

  // Converts the first worksheet of source with the embedded engine into real_, then with the
  // in-memory model into model_.
  void Convert(TemplateConverter convert, const std::string& source) {
    std::shared_ptr<Application> reader = engine::CreateEmbeddedApplication();
    std::shared_ptr<Workbook> book = reader->GetWorkbooks()->Open(source);
    std::shared_ptr<Worksheet> sheet = book->GetWorksheets()->GetItem(1);

    SetProgramFolder(kProgram);
    std::shared_ptr<Application> server = engine::CreateEmbeddedApplication();
    EXPECT_EQ(convert(real_, *server, *sheet), 1);
    server->Quit();
    SetProgramFolder(dir_.folder() + "model-program/");
    EXPECT_EQ(convert(model_, model_app_, *sheet), 1);
    reader->Quit();
  }

  // The filing workbooks of the model, by file name.
  std::map<std::string, FakeFile> ModelFiles() const {
    std::map<std::string, FakeFile> out;
    for (const auto& entry : fs::directory_iterator(dir_.path() / "model")) {
      out[entry.path().filename().string()] = model_app_.File(entry.path().string());
    }
    return out;
  }

  TempFolder dir_;
  std::string previous_;
  std::string real_;
  std::string model_;
  FakeApp model_app_;
  std::vector<std::string> messages_;
  ScopedConverterMessages capture_{[this](std::string_view text) { messages_.emplace_back(text); }};
};

TEST_F(LocalTaxEngine, FilingWorkbooksOnDiskHoldWhatTheConversionsWrote) {
  Convert(&ConvertLocalBalanceSheet, kExamples + "kind5/恒信商贸_2008年资产负债表.xls");
  Convert(&ConvertLocalIncomeStatement, kExamples + "kind6/恒信商贸_2008年利润表.xls");
  Convert(&ConvertSmallBalanceSheet, kExamples + "kind7/悦秀五金_2008年03月资产负债表.xls");
  Convert(&ConvertSmallIncomeStatement, kExamples + "kind8/悦秀五金_2008年03月利润表.xls");

  // The balance sheet again, from a copy (written by the engine itself) whose C6 is empty and
  // whose D7 is 1234.5: the second conversion overwrites the first and clears D6.
  const std::string example = kExamples + "kind5/恒信商贸_2008年资产负债表.xls";
  const std::string changed = dir_.folder() + "source/恒信商贸_2008年资产负债表.xls";
  {
    std::unique_ptr<engine::Book> source = engine::OpenBook(example);
    ASSERT_NE(source->Cells(0).Find(5, 2), nullptr);
    source->SetCell(0, 5, 2, Variant());
    source->SetCell(0, 6, 3, Variant::Number(1234.5));
    source->Save(changed);
  }
  Convert(&ConvertLocalBalanceSheet, changed);
  EXPECT_TRUE(messages_.empty());

  std::map<std::string, FakeFile> model = ModelFiles();
  ASSERT_EQ(model.size(), 2u);  // kinds 5 and 6 share one workbook, kinds 7 and 8 another
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path() / "real"), fs::directory_iterator()),
            2);  // and no temporary file left behind
  std::vector<std::string> paths;
  for (const auto& [name, file] : model) {
    std::string path = real_ + name;
    ASSERT_TRUE(fs::exists(path)) << name;
    paths.push_back(path);
    EXPECT_EQ(engine::testing::AllCells(*engine::OpenBook(path)), AsBookCells(file)) << name;
  }
  const FakeFile& enterprise =
      model.at("440106190012345_广州市天河区恒信商贸有限公司_2008年03月.xls");
  EXPECT_EQ(enterprise.At(2, "D6"), Variant());
  EXPECT_EQ(enterprise.At(2, "E7"), Variant::Number(1234.5));
  EXPECT_EQ(enterprise.At(3, "D5").type(), Variant::Type::Number);
  EXPECT_EQ(enterprise.At(1, "B5"), Variant::String("440106190012345"));

  // Every cell the template formats keeps that format (XF), written or not.
  for (const auto& [name, file] : model) {
    const char* source = name.rfind("440106190012345", 0) == 0 ? kTemplates[0] : kTemplates[1];
    std::string before = engine::ReadWorkbookStream(testing::ReadFileBytes(kProgram + source));
    std::string after = engine::ReadWorkbookStream(testing::ReadFileBytes(real_ + name));
    std::vector<std::uint32_t> starts_before = SheetStarts(before),
                               starts_after = SheetStarts(after);
    ASSERT_EQ(starts_before.size(), starts_after.size());
    for (std::size_t i = 0; i < starts_before.size(); ++i) {
      auto formats_after =
          engine::testing::CellFormats(engine::testing::RawRecords(after, starts_after[i]));
      int checked = 0;
      for (const auto& [cell, format] :
           engine::testing::CellFormats(engine::testing::RawRecords(before, starts_before[i]))) {
        ASSERT_EQ(formats_after.count(cell), 1u) << name << " sheet " << i;
        EXPECT_EQ(formats_after[cell].xf, format.xf) << name << " sheet " << i;
        ++checked;
      }
      EXPECT_GT(checked, 20);
    }
    EXPECT_EQ(engine::testing::OffsetProblems(after), std::vector<std::string>{});
  }

  // xlrd.
  std::map<std::string, BookCells> xlrd = engine::testing::XlrdCells(paths);
  for (const auto& [name, file] : model) EXPECT_EQ(xlrd[real_ + name], AsBookCells(file)) << name;

  // LibreOffice, one start for both workbooks: every sheet as CSV with text cells quoted.
  fs::path csv = dir_.path() / "csv";
  fs::create_directory(csv);
  std::string command = "soffice -env:UserInstallation=file://" + dir_.folder() +
                        "lo-profile --headless --norestore --convert-to "
                        "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true,false,false,"
                        "false,-1' --outdir '" +
                        csv.string() + "'";
  for (const std::string& p : paths) command += " '" + p + "'";
  command += " >/dev/null 2>&1";
  ASSERT_EQ(testing::RunTool(command), 0) << command;
  for (const auto& [name, file] : model) {
    std::string stem = fs::path(name).stem().string();
    for (std::size_t s = 0; s < file.sheets.size(); ++s) {
      fs::path sheet_csv = csv / (stem + "-" + file.sheetNames[s] + ".csv");
      ASSERT_TRUE(testing::ToolWrote("soffice --convert-to csv", {sheet_csv}));
      auto rows = ParseCsv(testing::ReadFileBytes(sheet_csv));
      std::map<std::string, Variant> seen;
      for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
          const CsvField& f = rows[r][c];
          if (f.text.empty() && !f.quoted) continue;
          std::string address =
              engine::FormatA1(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(c));
          Variant expected = file.sheets[s].count(address) ? file.sheets[s].at(address) : Variant();
          if (expected.type() == Variant::Type::Number && !f.quoted) {
            double v = std::strtod(f.text.c_str(), nullptr);
            EXPECT_NEAR(v, expected.number(), std::fabs(expected.number()) * 1e-12)
                << name << " " << address;
            seen[address] = expected;
          } else {
            seen[address] = f.quoted ? Variant::String(f.text) : Variant::String("?" + f.text);
          }
        }
      }
      EXPECT_EQ(seen, file.sheets[s]) << name << " sheet " << file.sheetNames[s];
    }
  }
}

}  // namespace
}  // namespace ledgerix
