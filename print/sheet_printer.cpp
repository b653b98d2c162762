#include "print/sheet_printer.h"

#include <mutex>
#include <optional>

#include "bridges/spreadsheet.h"
#include "print/paginate.h"

namespace ledgerix::print {
namespace {

std::mutex& OverridesMutex() {
  static std::mutex m;
  return m;
}
PrintOverrides& Overrides() {
  static PrintOverrides o;
  return o;
}

std::string_view BaseName(std::string_view path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view Folder(std::string_view path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

}  // namespace

PrintOverrides CurrentPrintOverrides() {
  std::lock_guard<std::mutex> lock(OverridesMutex());
  return Overrides();
}

void SetPrintOverrides(const PrintOverrides& overrides) {
  std::lock_guard<std::mutex> lock(OverridesMutex());
  Overrides() = overrides;
}

std::string JobTitle(std::string_view path, std::string_view sheetName) {
  return std::string(BaseName(path)) + " - " + std::string(sheetName);
}

JobOptions JobOptionsFor(const engine::PageSetup& page, const PrintOverrides& overrides) {
  JobOptions o;
  if (page.paper) o.media = std::string(MediaForPaperCode(*page.paper));
  if (overrides.copies > 0) {
    o.copies = overrides.copies;
  } else if (page.copies && *page.copies > 0) {
    o.copies = *page.copies;
  }
  o.monochrome = page.black_and_white;
  return o;
}

int PrintSheetToPrinter(engine::Book& book, int sheet, const std::string& path,
                        std::string_view printer, const SheetRenderer& render) {
  const std::string sheetName = book.sheets().at(static_cast<std::size_t>(sheet)).name;
  const std::string where = "无法打印工作表“" + sheetName + "”：";
  if (printer.empty()) {
    throw AutomationError(where + "没有选择打印机，也没有默认打印机");
  }
  const std::string name(printer);
  try {
    RequirePrinter(name);
  } catch (const AutomationError& e) {
    throw AutomationError(where + e.what());
  }
  const PrintOverrides overrides = CurrentPrintOverrides();
  const engine::PageSetup& page = book.Layout(sheet).page;
  JobOptions options = JobOptionsFor(page, overrides);
  options.title = JobTitle(path, sheetName);
  // Without a paper of its own the pages take the printer's size, not the drawing's default.
  std::optional<PrinterPaper> printerPaper;
  if (!PaperNamedBy(page)) printerPaper = DefaultPaper(name);
  if (printerPaper) options.media = printerPaper->media;

  RenderOptions render_options;
  render_options.fit_width = overrides.fit_width;
  render_options.file_name = std::string(BaseName(path));
  render_options.folder = std::string(Folder(path));
  if (printerPaper) {
    render_options.unnamed_paper =
        PaperSize{printerPaper->width_mm * kPointsPerMm, printerPaper->length_mm * kPointsPerMm};
  }
  std::string pdf;
  try {
    pdf = render(SheetRef{&book, sheet}, render_options);
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    throw AutomationError(where + e.what());
  }
  if (!options.media.empty() && !PrinterSupportsMedia(name, options.media)) {
    options.media.clear();
    options.fit_to_paper = true;
  }
  try {
    return SubmitPdf(name, pdf, options);
  } catch (const AutomationError& e) {
    throw AutomationError(where + e.what());
  }
}

}  // namespace ledgerix::print
