// Printing workbooks to PDF documents without a printer: the print dialog's "PDF" destination and
// its preview. Beside the engine, so the batch logic needs neither.
#pragma once

#include <string>

#include "bridges/run_scope.h"

namespace ledgerix {

// The same files as PDF documents instead of on a printer: "<name without extension>.pdf" in
// pdfFolder for each workbook with a sheet to print, written whole or not at all. Returns 1
// when a document was written. Errors propagate as AutomationError naming the file.
int PrintWorkbookToPdf(SheetScope scope, const std::string& sourceFolder,
                       const std::string& fileName, const std::string& pdfFolder, bool fitWidth,
                       PrintTally* tally = nullptr);

// The pages PrintWorkbookToPdf would write, as PDF bytes, for the print preview; empty when the
// scope leaves no sheet. pages receives their number.
std::string PreviewWorkbookPdf(SheetScope scope, const std::string& sourceFolder,
                               const std::string& fileName, bool fitWidth, int* pages);

}  // namespace ledgerix
