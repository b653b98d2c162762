#include "bridges/spreadsheet.h"
#include "engine/server.h"
#include "print/sheet_printer.h"

namespace ledgerix::print {

// Until the page renderer is part of every build, a program without it says so instead of
// failing to link.
__attribute__((weak)) std::string RenderPdfBytes(const std::vector<SheetRef>& sheets,
                                                 const RenderOptions& options, int* pages);

void InstallSheetPrinter() {
  engine::SetPrintHandler(
      [](engine::Book& book, int sheet, const std::string& path, std::string_view printer) {
        PrintSheetToPrinter(book, sheet, path, printer,
                            [](const SheetRef& ref, const RenderOptions& options) {
                              return RenderPdfBytes({ref}, options);
                            });
      });
}

}  // namespace ledgerix::print
