#include "convert/localtax/filing_workbook.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "bridges/companion.h"
#include "bridges/output_files.h"
#include "convert/common/cell_rules.h"
#include "convert/common/converter_messages.h"
#include "convert/common/program_folder.h"
#include "convert/common/xml_line_writer.h"
#include "convert/localtax/copy_cell_value.h"

namespace ledgerix::localtax {
namespace {

constexpr int kPublicInfoSheet = 1;
constexpr int kBalanceSheet = 2;
constexpr int kIncomeStatement = 3;

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

std::string Cell(char column, int row) { return column + fnIntToCString(row); }

// The workbook a conversion fills: the filing workbook already in the save folder, or a
// fresh copy of the template that is saved under the filing name when done.
class FilingWorkbook {
 public:
  // Opens one of them; nullptr after the message when neither exists.
  static std::unique_ptr<FilingWorkbook> Open(Application& app, std::string targetPath,
                                              std::string_view templateName) {
    // Kinds 5 and 6 (and 7 and 8) fill one workbook: reading it, filling and saving is one
    // step across processes, or a run started meanwhile would save over the other's statement.
    auto lock = std::make_unique<OutputLock>(targetPath);
    bool fromTemplate = !FileExists(targetPath);
    std::string openPath = targetPath;
    if (fromTemplate) {
      openPath = ProgramFolder() + std::string(templateName);
      if (!FileExists(openPath)) {
        ShowConverterMessage("请检查《" + openPath + "》模板文件！");
        return nullptr;
      }
    }
    std::shared_ptr<Workbook> book = app.GetWorkbooks()->Open(openPath);
    return std::unique_ptr<FilingWorkbook>(
        new FilingWorkbook(std::move(book), std::move(targetPath), fromTemplate, std::move(lock)));
  }

  std::shared_ptr<Worksheet> Sheet(int position) {
    return book_->GetWorksheets()->GetItem(position);
  }

  // A template copy is saved under the filing name and closed without touching the
  // template; an existing filing workbook is saved in place.
  void SaveAndClose() {
    if (fromTemplate_) {
      book_->SaveAs(targetPath_);
      book_->Close(false, targetPath_);
    } else {
      book_->Close(true, targetPath_);
    }
    NoteOutputWritten(targetPath_);
  }

 private:
  FilingWorkbook(std::shared_ptr<Workbook> book, std::string targetPath, bool fromTemplate,
                 std::unique_ptr<OutputLock> lock)
      : lock_(std::move(lock)),
        book_(std::move(book)),
        targetPath_(std::move(targetPath)),
        fromTemplate_(fromTemplate) {}

  std::unique_ptr<OutputLock> lock_;  // released last, after the book is closed
  std::shared_ptr<Workbook> book_;
  std::string targetPath_;
  bool fromTemplate_;
};

void PutText(Worksheet& sheet, std::string_view address, const std::string& text) {
  sheet.GetRange(address, address)->PutValue2(Variant::String(text));
}

}  // namespace

void RunTransfers(Worksheet& source, Worksheet& target, std::span<const TransferBlock> blocks) {
  for (const TransferBlock& block : blocks) {
    for (int row = block.firstRow; row <= block.lastRow; ++row) {
      for (std::size_t i = 0; i < block.sourceColumns.size(); ++i) {
        CopyCellValue(source, Cell(block.sourceColumns[i], row), target,
                      Cell(block.targetColumns[i], row + block.offset));
      }
    }
  }
}

std::string FilingWorkbookName(std::string_view taxpayer, std::string_view name,
                               std::string_view third, std::string_view fourth) {
  return SafeFileNamePart(taxpayer) + "_" + SafeFileNamePart(name) + "_" + SafeFileNamePart(third) +
         SafeFileNamePart(fourth) + ".xls";
}

int ConvertBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet,
                        const BalanceSheetLayout& layout) {
  // Every header cell is read before anything is opened, so a bad header opens nothing.
  std::string taxpayer = ReadHeaderValue(sheet, "A1");
  std::string name = ReadSpaceFreeText(sheet, "B2");
  std::string d2 = ReadCellText(sheet, "D2");
  std::string f1 = ReadCellText(sheet, "F1");
  std::string h1 = ReadCellText(sheet, "H1");
  std::string f2 = ReadCellText(sheet, "F2");
  std::string h2 = ReadCellText(sheet, "H2");

  std::string fileName = FilingWorkbookName(taxpayer, name, d2, f2);
  CheckFileNameLength(sheet, fileName, {{"A1", taxpayer}, {"B2", name}, {"D2", d2}, {"F2", f2}});
  std::string target = OutputPath(saveFolder, fileName);
  std::unique_ptr<FilingWorkbook> filing =
      FilingWorkbook::Open(app, std::move(target), layout.templateName);
  if (!filing) return 0;

  RunTransfers(sheet, *filing->Sheet(kBalanceSheet), layout.transfers);

  std::shared_ptr<Worksheet> info = filing->Sheet(kPublicInfoSheet);
  PutText(*info, "B5", taxpayer);
  PutText(*info, "B6", name);
  PutText(*info, "B7", d2);
  PutText(*info, "D7", f1);
  PutText(*info, "F7", h1);
  PutText(*info, "B8", d2);
  PutText(*info, "D8", f2);
  PutText(*info, "F8", h2);
  const int footer = layout.footerRow;
  CopyCellValue(sheet, Cell('B', footer), *info, "B9");
  CopyCellValue(sheet, Cell('E', footer), *info, "B10");
  CopyCellValue(sheet, Cell('B', footer + 1), *info, "B11");
  CopyCellValue(sheet, Cell('E', footer + 1), *info, "B12");

  filing->SaveAndClose();
  return 1;
}

int ConvertIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet,
                           const IncomeStatementLayout& layout) {
  std::string taxpayer = ReadHeaderValue(sheet, "B1");
  std::string name = ReadSpaceFreeText(sheet, "B2");
  std::string c1 = ReadCellText(sheet, "C1");
  std::string c2 = ReadCellText(sheet, "C2");

  std::string fileName = FilingWorkbookName(taxpayer, name, c1, c2);
  CheckFileNameLength(sheet, fileName, {{"B1", taxpayer}, {"B2", name}, {"C1", c1}, {"C2", c2}});
  std::string target = OutputPath(saveFolder, fileName);
  std::unique_ptr<FilingWorkbook> filing =
      FilingWorkbook::Open(app, std::move(target), layout.templateName);
  if (!filing) return 0;

  RunTransfers(sheet, *filing->Sheet(kIncomeStatement), layout.transfers);
  filing->SaveAndClose();
  return 1;
}

}  // namespace ledgerix::localtax
