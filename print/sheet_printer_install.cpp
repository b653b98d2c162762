#include "bridges/spreadsheet.h"
#include "engine/server.h"
#include "print/sheet_printer.h"

namespace ledgerix::print {

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
