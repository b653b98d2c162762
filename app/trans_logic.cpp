#include "app/trans_logic.h"

#include <exception>

#include "bridges/companion.h"
#include "bridges/workbook_passwords.h"

namespace ledgerix {

std::vector<std::string> FileListFor(const std::string& folder, int filter) {
  if (filter == kFilterAllFiles) return fnAddListItem(folder);
  return fnAddListItemFilter(folder, fnGetTransFileType(filter));
}

std::string TreeStartFolder(const std::string& composed, const std::string& programFolder) {
  return FolderExists(composed) ? composed : programFolder;
}

TransDialogStart PlanTransDialog(const DefaultFolders& folders, ReportKind kind,
                                 const std::string& programFolder) {
  TransDialogStart start;
  start.sourceFolder = ComposeSourceFolder(folders, kind);
  start.saveFolder = ComposeSaveFolder(folders, kind);
  start.sourceTreeFolder = TreeStartFolder(start.sourceFolder, programFolder);
  start.saveTreeFolder = TreeStartFolder(start.saveFolder, programFolder);
  start.scopeEnabled = kind != 9;
  return start;
}

std::string StoppedMessage(std::size_t converted) {
  return "已停止：转换了 " + std::to_string(converted) + " 个文件，其余文件未转换。";
}

std::string BatchStatusText(std::size_t converted, const std::string& saveFolder) {
  return "已转换 " + std::to_string(converted) + " 个文件，保存在 " + saveFolder;
}

DialogBatchEnd RunDialogBatch(const DialogBatch& batch, const FileRunner& run,
                              MessageSink& messages, const std::function<void(int)>& progress,
                              const std::function<bool()>& stopRequested, std::size_t* converted) {
  std::size_t done = 0;
  if (converted) *converted = 0;
  if (batch.choice == FileChoice::Selected && batch.selected.empty()) {
    messages.ShowMessage(kNoFileSelected, MessageIcon::Information);
    return DialogBatchEnd::NothingSelected;
  }
  std::vector<bool> isSelected(batch.items.size(), false);
  for (std::size_t i : batch.selected) {
    if (i < isSelected.size()) isSelected[i] = true;
  }
  ConversionJob job;
  job.reportKind = batch.reportKind;
  job.sourceFolder = batch.sourceFolder;
  job.saveFolder = batch.saveFolder;
  job.sheetScope = batch.sheetScope;
  WorkbookPasswords passwords;
  if (batch.askPassword) {
    passwords.ask = [&batch, &job](const std::string&) { return batch.askPassword(job.fileName); };
  }
  ScopedWorkbookPasswords scopedPasswords(std::move(passwords));
  int lastResult = 0;
  const std::size_t n = batch.items.size();
  for (std::size_t i = 0; i < n; ++i) {
    progress(static_cast<int>(i * 100 / n));
    if (stopRequested && stopRequested()) {
      messages.ShowMessage(StoppedMessage(done), MessageIcon::Information);
      return DialogBatchEnd::Stopped;
    }
    if (batch.choice == FileChoice::All || isSelected[i]) {
      job.fileName = batch.items[i];
      try {
        lastResult = run(job, messages);
        if (lastResult != 0) ++done;
        if (converted) *converted = done;
      } catch (const std::exception& e) {
        std::string description = e.what();
        if (description.empty()) description = kInternalError;
        messages.ShowMessage("转换文件 " + job.fileName + " 时出错：" + description,
                             MessageIcon::Stop);
        return DialogBatchEnd::Failed;
      }
    }
    progress(static_cast<int>((i + 1) * 100 / n));
  }
  if (lastResult != 0) messages.ShowMessage(kTaskDone, MessageIcon::Information);
  return DialogBatchEnd::Completed;
}

}  // namespace ledgerix
