// A batch: the files of one conversion, run in order with progress, ended by the first error.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/conversion_run.h"
#include "jobs/messages.h"

namespace ledgerix {

struct BatchRequest {
  ReportKind reportKind = 0;
  std::string sourceFolder;  // a missing trailing separator is added
  std::string saveFolder;    // a missing trailing separator is added
  SheetScope sheetScope = SheetScope::Active;
  std::vector<std::string> fileNames;  // in list order
  // Encrypted workbooks: passwords tried after the default one, and how to ask the user for
  // one more (given the file's name; nullopt when the user skips the file). Held for the
  // batch only.
  std::vector<std::string> passwords = {};
  std::function<std::optional<std::string>(const std::string& fileName)> askPassword = {};
};

// Told before and after each file. The desktop dialog moves its progress bar; the command line
// prints a line per file.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  virtual void FileStarting(std::size_t index, std::size_t count, const std::string& fileName) {
    (void)index, (void)count, (void)fileName;
  }
  virtual void FileDone(std::size_t index, std::size_t count, const std::string& fileName,
                        int result, const std::vector<std::string>& outputs) {
    (void)index, (void)count, (void)fileName, (void)result, (void)outputs;
  }
};

struct BatchOutcome {
  int lastResult = 0;        // the result of the last file run
  std::size_t filesRun = 0;  // files whose run returned
  bool failed = false;       // an error ended the batch
  std::string errorMessage;  // what the user was shown then
};

// Adds the platform's separator when the folder text lacks one.
std::string WithTrailingSeparator(std::string folder);

// Runs the batch. An error ends it: the user is shown the error (stop icon) with the file being
// converted named, and the remaining files are skipped. After the last file "任务完成！" is
// shown when its result is nonzero.
BatchOutcome RunBatch(const BatchRequest& request, MessageSink& messages, BatchObserver& observer);

}  // namespace ledgerix
