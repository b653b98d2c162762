// Batch printing: one workbook's run (a fresh server, the chosen sheets printed, closed unsaved)
// and the batch over a file list with its progress values.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bridges/run_scope.h"
#include "bridges/spreadsheet.h"
#include "jobs/conversion_run.h"
#include "jobs/messages.h"

namespace ledgerix {

// Prints the sheet on the printer through Worksheet.PrintOut; returns 1.
int PrintSheet(const std::string& printerName, Worksheet& sheet);

// Prints one workbook: the active sheet or every visible worksheet in workbook order, then
// closes it without saving. Returns 1 when a sheet was printed, 0 otherwise (also after
// "无法创建Excel应用程序！"). Errors from the server or the printer propagate.
int PrintWorkbook(SheetScope scope, const std::string& sourceFolder, const std::string& fileName,
                  const std::string& printerName, MessageSink& messages,
                  PrintTally* tally = nullptr);

// The print dialog's state when OK is pressed.
struct PrintBatch {
  std::string sourceFolder;  // ends with a separator
  std::string printerName;
  SheetScope sheetScope = SheetScope::Active;
  bool allFiles = true;               // "全部文件"; otherwise only the selected ones
  std::vector<std::string> items;     // the file list, in list order
  std::vector<std::size_t> selected;  // selected list positions, any order
};

enum class PrintBatchEnd {
  NothingSelected,  // "选中文件" with nothing selected: "请选中要打印的文件！", nothing ran
  Completed,        // every file ran
  Failed,           // an error ended the batch
};

struct PrintBatchOutcome {
  PrintBatchEnd end = PrintBatchEnd::Completed;
  int lastResult = 0;
  std::string errorMessage;  // what the user was shown when an error ended it
  PrintTally tally;
};

// Prints one file: PrintWorkbook in the program; the PDF folder or a recorder elsewhere.
using PrintRunner = std::function<int(SheetScope scope, const std::string& sourceFolder,
                                      const std::string& fileName, const std::string& printer,
                                      MessageSink& messages, PrintTally* tally)>;

// OK's batch: the progress told i*100/n before and (i+1)*100/n after every list item, each file
// to print run in list order, "打印完成！" when the last run returned nonzero. An error is shown
// (stop icon, the file named) and ends the batch.
PrintBatchOutcome RunPrintBatch(const PrintBatch& batch, const PrintRunner& run,
                                MessageSink& messages, const std::function<void(int)>& progress);

}  // namespace ledgerix
