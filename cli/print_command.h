// `ledgerix-cli print --pdf`: the workbooks of a folder printed to PDF files, one per workbook,
// with the same listing, order, per-file lines and end-of-batch rule as `convert`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "jobs/conversion_run.h"
#include "print/workbook_pdf.h"  // PdfNamesFor, the names the PDF files get

namespace ledgerix {

struct PdfPrintRequest {
  std::string sourceFolder;  // with a trailing separator
  std::string pdfFolder;     // with a trailing separator; must exist
  SheetScope sheetScope = SheetScope::Active;
  bool fitWidth = false;
  std::vector<std::string> fileNames;  // in list order
  // How many workbooks are rendered at once (0: one per processor). The files are still
  // written, and their lines printed, one after the other in list order.
  unsigned jobs = 0;
};

// Prints each file: a line "name<TAB>result<TAB>pdf" (result 1 when pages were written, 0 when
// the workbook had no sheet to print), "打印完成！" after the last file when its result is
// nonzero. Each PDF is written whole or not at all, and the folder is flushed at the end. The
// first error ends the batch with a message naming the file; returns the exit status (0 ran to
// its end, 1 an error ended it). Workbooks after the one that failed are never written, however
// many were being rendered at the time.
int RunPdfPrint(const PdfPrintRequest& request, std::ostream& out, std::ostream& err);

}  // namespace ledgerix
