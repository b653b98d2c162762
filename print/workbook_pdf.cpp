#include "print/workbook_pdf.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "bridges/spreadsheet.h"
#include "engine/book.h"
#include "print/render.h"

namespace ledgerix {

namespace {

std::unique_ptr<engine::Book> OpenForPrinting(const std::string& path) {
  try {
    return engine::OpenBook(path);
  } catch (const engine::BookError& e) {
    throw AutomationError("无法打开工作簿 " + path + "：" + e.what());
  }
}

// The sheets PrintWorkbook would print: the active one, or every visible worksheet.
std::vector<print::SheetRef> SheetsToPrint(engine::Book& book, SheetScope scope,
                                           const std::string& fileName) {
  std::vector<print::SheetRef> sheets;
  const int count = static_cast<int>(book.sheets().size());
  if (scope == SheetScope::Active) {
    if (count == 0) throw AutomationError("工作簿 " + fileName + " 没有工作表");
    sheets.push_back({&book, book.active_sheet()});
  } else {
    for (int i = 0; i < count; ++i) {
      if (book.sheets()[static_cast<std::size_t>(i)].visible == xlSheetVisible) {
        sheets.push_back({&book, i});
      }
    }
  }
  return sheets;
}

}  // namespace

std::string PreviewWorkbookPdf(SheetScope scope, const std::string& sourceFolder,
                               const std::string& fileName, bool fitWidth, int* pages) {
  std::unique_ptr<engine::Book> book = OpenForPrinting(sourceFolder + fileName);
  std::vector<print::SheetRef> sheets = SheetsToPrint(*book, scope, fileName);
  if (pages) *pages = 0;
  if (sheets.empty()) return {};
  print::RenderOptions options;
  options.fit_width = fitWidth;
  options.file_name = fileName;
  options.folder = sourceFolder;
  try {
    return print::RenderPdfBytes(sheets, options, pages);
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    throw AutomationError(e.what());
  }
}

int PrintWorkbookToPdf(SheetScope scope, const std::string& sourceFolder,
                       const std::string& fileName, const std::string& pdfFolder, bool fitWidth,
                       PrintTally* tally) {
  std::unique_ptr<engine::Book> book = OpenForPrinting(sourceFolder + fileName);
  std::vector<print::SheetRef> sheets = SheetsToPrint(*book, scope, fileName);
  if (sheets.empty()) return 0;

  const std::filesystem::path target =
      std::filesystem::path(pdfFolder) / std::filesystem::path(fileName).stem().concat(".pdf");
  std::filesystem::path partial = target;
  partial += ".partial";
  print::RenderOptions options;
  options.fit_width = fitWidth;
  options.file_name = fileName;
  options.folder = sourceFolder;
  try {
    print::RenderPdf(sheets, partial.string(), options);
    std::filesystem::rename(partial, target);
  } catch (const std::filesystem::filesystem_error& e) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw AutomationError("无法写入 " + target.string() + "：" + e.code().message());
  } catch (const std::exception& e) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw AutomationError(e.what());
  }
  if (tally) {
    ++tally->workbooks;
    tally->sheets += static_cast<int>(sheets.size());
  }
  return 1;
}

}  // namespace ledgerix
