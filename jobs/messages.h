// Messages to the user and batch progress, behind small interfaces: the desktop program shows
// message boxes titled "Ledgerix" and a progress bar, the command line prints, tests record.
#pragma once

#include <string>
#include <string_view>

namespace ledgerix {

enum class MessageIcon { Information, Exclamation, Stop };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(std::string_view text, MessageIcon icon) = 0;
};

// Fixed texts shown to the user.
inline constexpr std::string_view kTaskDone = "任务完成！";
inline constexpr std::string_view kCannotCreateServer = "无法创建Excel应用程序！";
inline constexpr std::string_view kNoFileSelected = "请选中要处理的文件！";
inline constexpr std::string_view kPrintDone = "打印完成！";
inline constexpr std::string_view kNoFileToPrint = "请选中要打印的文件！";
inline constexpr std::string_view kInternalError = "出现内部应用程序错误。";

}  // namespace ledgerix
