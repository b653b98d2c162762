#include "jobs/batch.h"

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
      outcome.failed = true;
      outcome.errorMessage = "转换文件 " + job.fileName + " 时出错：" + description;
      messages.ShowMessage(outcome.errorMessage, MessageIcon::Stop);
      return outcome;
    }
    ++outcome.filesRun;
    observer.FileDone(i, count, job.fileName, outcome.lastResult, recorder.outputs());
  }
  if (count > 0 && outcome.lastResult != 0) {
    messages.ShowMessage(kTaskDone, MessageIcon::Information);
  }
  return outcome;
}

}  // namespace ledgerix
