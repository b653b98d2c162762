#include "cli/print_command.h"

#include <exception>

#include "bridges/output_files.h"
#include "jobs/messages.h"
#include "print/workbook_pdf.h"

namespace ledgerix {

int RunPdfPrint(const PdfPrintRequest& request, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> pdfs = PdfNamesFor(request.fileNames);
  int last = 0;
  for (std::size_t i = 0; i < request.fileNames.size(); ++i) {
    const std::string& name = request.fileNames[i];
    try {
      const std::string target = request.pdfFolder + pdfs[i];
      last = PrintWorkbookToPdf(request.sheetScope, request.sourceFolder, name, target,
                                request.fitWidth);
      out << name << "\t" << last;
      if (last != 0) out << "\t" << target;
      out << '\n';
    } catch (const std::exception& e) {
      std::string what = e.what();
      if (what.empty()) what = kInternalError;
      err << "打印文件 " << name << " 时出错：" << what << '\n';
      return 1;
    }
  }
  try {
    SyncOutputFolder(request.pdfFolder);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return 1;
  }
  if (!request.fileNames.empty() && last != 0) out << kPrintDone << '\n';
  return 0;
}

}  // namespace ledgerix
