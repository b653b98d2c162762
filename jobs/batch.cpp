#include "jobs/batch.h"

#include <sys/stat.h>

#include "bridges/output_files.h"
#include "bridges/workbook_passwords.h"
#include "convert/common/xml_line_writer.h"

namespace ledgerix {

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

BatchOutcome RunBatch(const BatchRequest& request, MessageSink& messages, BatchObserver& observer) {
  BatchOutcome outcome;
  ConversionJob job;
  job.reportKind = request.reportKind;
  job.sourceFolder = WithTrailingSeparator(request.sourceFolder);
  job.saveFolder = WithTrailingSeparator(request.saveFolder);
  job.sheetScope = request.sheetScope;
  const std::size_t count = request.fileNames.size();
  auto fail = [&](std::string message) {
    outcome.failed = true;
    outcome.errorMessage = std::move(message);
    messages.ShowMessage(outcome.errorMessage, MessageIcon::Stop);
    return outcome;
  };
  if (count > 0) {
    // Said once, by its path, before any file is read.
    struct stat folder;
    if (::stat(request.saveFolder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
      return fail("保存文件夹《" + request.saveFolder + "》不存在，没有转换任何文件");
    }
    // What a killed run left behind; never handed to a conversion or left to grow.
    RemoveStaleTemporaryFiles(request.saveFolder);
  }
  bool wrote = false;
  WorkbookPasswords passwords;
  passwords.known = request.passwords;
  if (request.askPassword) {
    // The server names the file by its full path; the user knows it by its name in the list.
    passwords.ask = [&request, &job](const std::string&) {
      return request.askPassword(job.fileName);
    };
  }
  ScopedWorkbookPasswords scoped_passwords(std::move(passwords));
  for (std::size_t i = 0; i < count; ++i) {
    job.fileName = request.fileNames[i];
    observer.FileStarting(i, count, job.fileName);
    OutputRecorder recorder;
    try {
      outcome.lastResult = RunConversion(job, messages);
    } catch (const std::exception& e) {
      std::string description = e.what();
      if (description.empty()) description = kInternalError;
      return fail("转换文件 " + job.fileName + " 时出错：" + description);
    }
    ++outcome.filesRun;
    wrote = wrote || !recorder.outputs().empty();
    observer.FileDone(i, count, job.fileName, outcome.lastResult, recorder.outputs());
  }
  if (wrote) {
    // Success is reported only for outputs on disk: one flush of the folder's file system
    // covers every new file of the batch (replaced files were flushed before their rename).
    try {
      SyncOutputFolder(request.saveFolder);
    } catch (const std::exception& e) {
      return fail(e.what());
    }
  }
  if (count > 0 && outcome.lastResult != 0) {
    messages.ShowMessage(kTaskDone, MessageIcon::Information);
  }
  return outcome;
}

}  // namespace ledgerix
