// Printing workbooks to PDF documents without a printer: the print dialog's "PDF" destination and
// its preview. Beside the engine, so the batch logic needs neither.
#pragma once

#include <string>
#include <vector>

#include "bridges/run_scope.h"

namespace ledgerix {

// The PDF names of a batch: the workbook's name with ".pdf" in place of its extension; a name
// already taken in the batch keeps the workbook's extension ("a.xls.pdf"), then gets a number.
// The command line and the print dialog both name their files so.
std::vector<std::string> PdfNamesFor(const std::vector<std::string>& fileNames);

// The same files as PDF documents instead of on a printer: the workbook's sheets to print as one
// document at pdfPath, written whole or not at all (AtomicFile). Returns 1 when a document was
// written, 0 when the scope leaves no sheet. Errors propagate as AutomationError. The batch
// makes its new files durable with SyncOutputFolder at its end.
int PrintWorkbookToPdf(SheetScope scope, const std::string& sourceFolder,
                       const std::string& fileName, const std::string& pdfPath, bool fitWidth,
                       PrintTally* tally = nullptr);

// PrintWorkbookToPdf in two steps, so that a batch can render several workbooks at once and
// still write them one after the other in its order: the document rendered in memory (empty
// when the scope leaves no sheet; errors as AutomationError), then written atomically at pdfPath
// (returns 1 when written, 0 for an empty one).
struct RenderedPdf {
  std::string bytes;
  int sheets = 0;
};
RenderedPdf RenderWorkbookPdf(SheetScope scope, const std::string& sourceFolder,
                              const std::string& fileName, bool fitWidth);
int WriteWorkbookPdf(const RenderedPdf& rendered, const std::string& pdfPath,
                     PrintTally* tally = nullptr);

// The pages PrintWorkbookToPdf would write, as PDF bytes, for the print preview; empty when the
// scope leaves no sheet. pages receives their number.
std::string PreviewWorkbookPdf(SheetScope scope, const std::string& sourceFolder,
                               const std::string& fileName, bool fitWidth, int* pages);

}  // namespace ledgerix
