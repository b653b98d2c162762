// What the conversion dialog decides, without any GUI toolkit: the file list for a filter, the
// folders it opens on, and the batch its OK runs with the progress values it shows.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/folder_layout.h"
#include "jobs/conversion_run.h"
#include "jobs/messages.h"

namespace ledgerix {

// Radio group 1003-1004.
enum class FileChoice { All = 0, Selected = 1 };

// Radio group 1014-1016; only decides what the file list shows.
enum FileTypeFilter : int { kFilterXls = 0, kFilterXlsx = 1, kFilterAllFiles = 2 };

// The names the file list shows for folder under filter, in list order.
std::vector<std::string> FileListFor(const std::string& folder, int filter);

// The folder a tree selects at opening: the composed folder when it exists, else the program
// folder.
std::string TreeStartFolder(const std::string& composed, const std::string& programFolder);

// The settings and the kind a conversion dialog opens with.
struct TransDialogStart {
  std::string sourceFolder;      // setting + source suffix, kept even when missing
  std::string saveFolder;        // setting + output suffix, kept even when missing
  std::string sourceTreeFolder;  // what the source tree selects
  std::string saveTreeFolder;    // what the save tree selects
  bool scopeEnabled = true;      // the income tax return always takes the whole workbook
};
TransDialogStart PlanTransDialog(const DefaultFolders& folders, ReportKind kind,
                                 const std::string& programFolder);

// The dialog's state when OK is pressed.
struct DialogBatch {
  ReportKind reportKind = 0;
  std::string sourceFolder;
  std::string saveFolder;
  SheetScope sheetScope = SheetScope::Active;
  FileChoice choice = FileChoice::All;
  std::vector<std::string> items;     // the file list, in list order
  std::vector<std::size_t> selected;  // selected list positions, any order
  // Asks the user for the password of an encrypted workbook (given its name in the list) that
  // the default password does not open; nullopt when the user skips it. The answer serves
  // that one opening and is not kept.
  std::function<std::optional<std::string>(const std::string& fileName)> askPassword = {};
};

enum class DialogBatchEnd {
  NothingSelected,  // "选中文件" with no selection: nothing ran, the dialog stays open
  Completed,        // every file ran: the dialog closes
  Failed,           // an error ended the batch: the dialog stays open
  Stopped,          // the user asked to stop: the files before stayed converted
};

// A stopped batch's closing message.
std::string StoppedMessage(std::size_t converted);
// The main window's status text after a batch.
std::string BatchStatusText(std::size_t converted, const std::string& saveFolder);
inline constexpr std::string_view kStopQuestion = "是否在当前文件完成后停止？";

using FileRunner = std::function<int(const ConversionJob&, MessageSink&)>;

// Runs OK's batch: each file to convert in list order through run, the progress told
// i*100/n before and (i+1)*100/n after every list item, "任务完成！" when the last run returned
// nonzero. An error is shown (stop icon, the file named) and ends the batch.
// stopRequested, asked before each list item once the progress is told, ends the batch as
// Stopped when true ("是否在当前文件完成后停止？" answered yes while the previous file ran): no
// further file runs and the stop message tells how many were converted. converted, when given,
// receives the number of runs that returned nonzero.
DialogBatchEnd RunDialogBatch(const DialogBatch& batch, const FileRunner& run,
                              MessageSink& messages, const std::function<void(int)>& progress,
                              const std::function<bool()>& stopRequested = {},
                              std::size_t* converted = nullptr);

}  // namespace ledgerix
