// Worksheet.PrintOut for the embedded engine: a sheet's pages drawn as PDF and sent to the
// named printer as one job, with the paper, copies and colour its page setup asks for.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/book.h"
#include "print/cups_printer.h"
#include "print/render.h"

namespace ledgerix::print {

// Print-time choices that the workbooks never store: the dialog's 适合页宽 and the command
// line's --copies. Process-wide, like the printer a batch prints on.
struct PrintOverrides {
  bool fit_width = false;
  int copies = 0;  // 0: the workbook's, else the user's default
};
PrintOverrides CurrentPrintOverrides();
void SetPrintOverrides(const PrintOverrides& overrides);

// Sets the overrides for one batch and restores the previous ones afterwards.
class ScopedPrintOverrides {
 public:
  explicit ScopedPrintOverrides(const PrintOverrides& overrides)
      : previous_(CurrentPrintOverrides()) {
    SetPrintOverrides(overrides);
  }
  ~ScopedPrintOverrides() { SetPrintOverrides(previous_); }
  ScopedPrintOverrides(const ScopedPrintOverrides&) = delete;
  ScopedPrintOverrides& operator=(const ScopedPrintOverrides&) = delete;

 private:
  PrintOverrides previous_;
};

// "<file name> - <sheet name>", the file name without its folder.
std::string JobTitle(std::string_view path, std::string_view sheetName);

// What the job asks of the printer for a sheet's page setup: the workbook's paper as media
// when it names one, its copies, black-and-white; the overrides win over the workbook.
JobOptions JobOptionsFor(const engine::PageSetup& page, const PrintOverrides& overrides);

// Draws one sheet as PDF bytes (RenderPdfBytes in the program).
using SheetRenderer = std::function<std::string(const SheetRef&, const RenderOptions&)>;

// Prints one sheet: refuses an empty printer name before any work, draws the pages, sends them
// as one job titled JobTitle. A paper the printer does not offer is left to the printer, the
// pages fitted to its own; a sheet naming no paper is drawn on, and asks for, the printer's
// default (DefaultPaper). Throws AutomationError naming the sheet, the printer and the
// reason. Returns the job id.
int PrintSheetToPrinter(engine::Book& book, int sheet, const std::string& path,
                        std::string_view printer, const SheetRenderer& render);

// Makes the embedded engine's Worksheet.PrintOut print through PrintSheetToPrinter with the
// real page renderer.
void InstallSheetPrinter();

}  // namespace ledgerix::print
