#include "jobs/print_run.h"

#include <exception>

#include "bridges/workbook_passwords.h"

namespace ledgerix {

int PrintSheet(const std::string& printerName, Worksheet& sheet) {
  sheet.PrintOut(printerName);
  return 1;
}

int PrintWorkbook(SheetScope scope, const std::string& sourceFolder, const std::string& fileName,
                  const std::string& printerName, MessageSink& messages, PrintTally* tally) {
  // The component library needs no per-thread start here, so "初始化COM支持库失败" cannot occur.
  std::shared_ptr<Application> app = CreateApplication(kSpreadsheetProgId);
  if (!app) {
    messages.ShowMessage(kCannotCreateServer, MessageIcon::Stop);
    return 0;
  }
  app->PutDisplayAlerts(false);
  std::shared_ptr<Workbooks> workbooks = app->GetWorkbooks();
  std::shared_ptr<Workbook> book = workbooks->Open(sourceFolder + fileName);

  int result = 0;
  int printed = 0;
  auto print = [&](Worksheet& sheet) {
    result = PrintSheet(printerName, sheet);
    ++printed;
  };
  if (scope == SheetScope::Active) {
    print(*book->GetActiveSheet());
  } else {
    std::shared_ptr<Worksheets> sheets = book->GetWorksheets();
    const std::int32_t count = sheets->GetCount();
    for (std::int32_t i = 1; i <= count; ++i) {
      std::shared_ptr<Worksheet> sheet = sheets->GetItem(i);
      if (sheet->GetVisible() == xlSheetVisible) print(*sheet);
    }
  }

  book->Close(false, fileName);
  workbooks->Close();
  app->Quit();
  if (tally && printed > 0) {
    ++tally->workbooks;
    tally->sheets += printed;
  }
  return result;
}

std::vector<std::string> FilesToPrint(const PrintBatch& batch) {
  std::vector<bool> isSelected(batch.items.size(), false);
  for (std::size_t i : batch.selected) {
    if (i < isSelected.size()) isSelected[i] = true;
  }
  std::vector<std::string> files;
  for (std::size_t i = 0; i < batch.items.size(); ++i) {
    if (batch.allFiles || isSelected[i]) files.push_back(batch.items[i]);
  }
  return files;
}

PrintBatchOutcome RunPrintBatch(const PrintBatch& batch, const PrintRunner& run,
                                MessageSink& messages, const std::function<void(int)>& progress) {
  PrintBatchOutcome outcome;
  if (!batch.allFiles && batch.selected.empty()) {
    messages.ShowMessage(kNoFileToPrint, MessageIcon::Information);
    outcome.end = PrintBatchEnd::NothingSelected;
    return outcome;
  }
  std::vector<bool> isSelected(batch.items.size(), false);
  for (std::size_t i : batch.selected) {
    if (i < isSelected.size()) isSelected[i] = true;
  }
  WorkbookPasswords passwords;
  passwords.known = batch.knownPasswords;
  // The engine asks with the path; the user is asked with the name the list shows.
  std::string fileName;
  if (batch.askPassword) {
    passwords.ask = [&batch, &fileName](const std::string&) { return batch.askPassword(fileName); };
  }
  ScopedWorkbookPasswords scopedPasswords(std::move(passwords));
  const std::size_t n = batch.items.size();
  for (std::size_t i = 0; i < n; ++i) {
    progress(static_cast<int>(i * 100 / n));
    if (batch.allFiles || isSelected[i]) {
      fileName = batch.items[i];
      try {
        outcome.lastResult = run(batch.sheetScope, batch.sourceFolder, fileName, batch.printerName,
                                 messages, &outcome.tally);
      } catch (const std::exception& e) {
        std::string description = e.what();
        if (description.empty()) description = kInternalError;
        outcome.errorMessage = "打印文件 " + fileName + " 时出错：" + description;
        messages.ShowMessage(outcome.errorMessage, MessageIcon::Stop);
        outcome.end = PrintBatchEnd::Failed;
        return outcome;
      }
    }
    progress(static_cast<int>((i + 1) * 100 / n));
  }
  if (outcome.lastResult != 0) messages.ShowMessage(kPrintDone, MessageIcon::Information);
  return outcome;
}

}  // namespace ledgerix
