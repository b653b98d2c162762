// What the print dialog decides, without any GUI toolkit: the folder it opens on, the printer
// list with its selection, and the run its OK hands each file to.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/folder_layout.h"
#include "jobs/print_run.h"
#include "print/cups_printer.h"

namespace ledgerix {

inline constexpr std::string_view kInstallPrinter = "请安装打印机";
inline constexpr std::string_view kPrinterError = "打印机错误，请检查！";
// The entry above the printers that writes PDF files instead of printing.
inline constexpr std::string_view kPrintToPdfEntry = "打印到PDF文件";

// The printer name the dialog keeps from one opening to the next; empty before the first.
std::string& ProcessPrinterName();

struct PrintDialogStart {
  std::string sourceFolder;      // "DefaultSourcePath" with a separator added, no kind suffix
  std::string sourceTreeFolder;  // what the tree selects: the folder, else the program folder
};
PrintDialogStart PlanPrintDialog(const DefaultFolders& folders, const std::string& programFolder);

// The printer list as the dialog shows it after initialisation.
struct PrinterListView {
  // kPrintToPdfEntry first, then the printers sorted (or kInstallPrinter when the enumeration
  // failed).
  std::vector<std::string> entries;
  int selected = -1;  // entry index, -1 for none
  bool okEnabled = true;
  std::string printerName;  // the printer name after initialisation
};

// Sorted as a sorted list box sorts: case-insensitively, ties by bytes.
void SortPrinterNames(std::vector<std::string>& names);

// The list box's prefix search: the first entry from start+1 on, wrapping round to start, whose
// text begins with prefix, case-insensitively; -1 when none does.
int FindStringPrefix(const std::vector<std::string>& entries, int start, std::string_view prefix);

// Initialisation step 5 over an enumeration result; previousName is the process-wide name.
PrinterListView PrinterListFor(const print::PrinterList& printers, const std::string& previousName);

// The printer name and OK's state after the user selects entry index.
struct PrinterSelection {
  std::string printerName;
  bool okEnabled = true;
};
PrinterSelection SelectPrinterEntry(const PrinterListView& view, int index);

bool IsPdfEntry(std::string_view printerName);

// The run OK hands each file of batch to: PrintWorkbook on the batch's printer, or, when the
// printer name is the PDF entry, a PDF document in pdfFolder named by PdfNamesFor over the
// batch's files, so that "a.xls" and "a.xlsx" never write the same file; the folder is flushed
// after the batch's last file.
PrintRunner PrintRunnerFor(const PrintBatch& batch, const std::string& pdfFolder, bool fitWidth);

// The main window's status text after a batch ("已将 3 个工作簿（5 个工作表）发送到打印机
// FilePDF").
std::string PrintSummary(const PrintTally& tally, const std::string& printerName,
                         const std::string& pdfFolder);

// The preview's pages as PNG files in folder, drawn from pdf at dpi by poppler's pdftoppm, in
// page order. Empty with *error set when they cannot be made.
std::vector<std::string> RasterisePdfPages(const std::string& pdf, int dpi,
                                           const std::string& folder, std::string* error);

// "第 2 页，共 5 页".
std::string PageOfText(int page, int count);

// The printer properties' 份数: the user's saved copies, else 1, what a job without a saved
// default prints; a saved value that is not a number from 1 up shows 1 too, and one above the
// printer's maximum shows the maximum.
int CopiesShown(const std::map<std::string, std::string>& userDefaults, int maxCopies);
// What OK saves for the 份数 shown: never 0; nothing (no saved default) for 1 when none was
// saved before, so that opening and closing the dialog changes nothing.
std::string CopiesToSave(int shown, bool hadSaved);

}  // namespace ledgerix
