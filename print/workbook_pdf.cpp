#include "print/workbook_pdf.h"

#include <set>

#include "bridges/output_files.h"
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

std::vector<std::string> PdfNamesFor(const std::vector<std::string>& fileNames) {
  auto stem = [](const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  };
  std::vector<std::string> out;
  std::set<std::string> taken;
  for (const std::string& name : fileNames) {
    std::string pdf = stem(name) + ".pdf";
    if (taken.count(pdf)) pdf = name + ".pdf";
    for (int n = 2; taken.count(pdf); ++n) pdf = stem(name) + " (" + std::to_string(n) + ").pdf";
    taken.insert(pdf);
    out.push_back(pdf);
  }
  return out;
}

RenderedPdf RenderWorkbookPdf(SheetScope scope, const std::string& sourceFolder,
                              const std::string& fileName, bool fitWidth) {
  std::unique_ptr<engine::Book> book = OpenForPrinting(sourceFolder + fileName);
  std::vector<print::SheetRef> sheets = SheetsToPrint(*book, scope, fileName);
  RenderedPdf rendered;
  if (sheets.empty()) return rendered;

  print::RenderOptions options;
  options.fit_width = fitWidth;
  options.file_name = fileName;
  options.folder = sourceFolder;
  try {
    rendered.bytes = print::RenderPdfBytes(sheets, options);
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    throw AutomationError(e.what());
  }
  rendered.sheets = static_cast<int>(sheets.size());
  return rendered;
}

int WriteWorkbookPdf(const RenderedPdf& rendered, const std::string& pdfPath, PrintTally* tally) {
  if (rendered.sheets == 0) return 0;
  AtomicFile pdf(pdfPath);
  pdf.Write(rendered.bytes);
  pdf.Commit();
  if (tally) {
    ++tally->workbooks;
    tally->sheets += rendered.sheets;
  }
  return 1;
}

int PrintWorkbookToPdf(SheetScope scope, const std::string& sourceFolder,
                       const std::string& fileName, const std::string& pdfPath, bool fitWidth,
                       PrintTally* tally) {
  return WriteWorkbookPdf(RenderWorkbookPdf(scope, sourceFolder, fileName, fitWidth), pdfPath,
                          tally);
}

}  // namespace ledgerix
