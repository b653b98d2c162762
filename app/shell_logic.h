// The main window's command table and the documents beside the program, without any GUI toolkit.
#pragma once

#include <string>
#include <string_view>

#include "jobs/conversion_run.h"

namespace ledgerix {

// Menu command ids, numbered as the menu resource numbers them.
enum CommandId : int {
  kCmdSystemBalanceSheet = 32798,
  kCmdSystemIncomeStatement = 32799,
  kCmdStandardsBalanceSheet = 32800,
  kCmdStandardsIncomeStatement = 32801,
  kCmdLocalBalanceSheet = 32803,
  kCmdLocalIncomeStatement = 32805,
  kCmdSmallBalanceSheet = 32807,
  kCmdSmallIncomeStatement = 32809,
  kCmdIncomeTaxReturn = 32811,
  kCmdOpenOutputFolder = 32813,  // the save folder of the last batch, in the file manager
  kCmdSettings = 32780,
  kCmdHelp = 32790,
  kCmdLicense = 32792,
  kCmdPrintBatch = 57607,
  kCmdAbout = 57664,
  kCmdExit = 57665,
  kCmdViewStatusBar = 59393,
};

// The toolkit's id for a command number. wx takes ids below 0x7FFF only (Windows sign-extends
// 16-bit menu ids), so the command numbers above it are folded down; the resources keep the
// numbers and the program maps them when it loads them.
constexpr int ToolkitCommandId(int command) {
  return command >= 0x8000 ? command - 0x8000 : command;
}
// The command number of a menu event's id (every menu command is numbered from 0x8000 up).
constexpr int CommandFromToolkitId(int id) { return id + 0x8000; }

// Resource numbers.
inline constexpr int kMainMenuResource = 128;
inline constexpr int kAboutDialogResource = 100;
inline constexpr int kTransDialogResource = 312;
inline constexpr int kSettingDialogResource = 315;
inline constexpr int kPrintDialogResource = 318;
inline constexpr int kPrinterPropsResource = 320;
inline constexpr int kPrintPreviewResource = 321;

// The kind of the last report command; read by the conversion dialog.
extern ReportKind CurrentReportKind;

// The report kind a File menu command selects; 0 for any other command.
ReportKind ReportKindForCommand(int commandId);

inline constexpr std::string_view kProductName = "Ledgerix";
inline constexpr std::string_view kProductVersion = "1.0";
inline constexpr std::string_view kReadyText = "就绪";

// The documents beside the program: HTML, opened with the desktop's default handler.
inline constexpr std::string_view kDocumentExtension = ".html";
std::string HelpDocumentPath(const std::string& programFolder);
std::string LicenseDocumentPath(const std::string& programFolder);

// Messages of the shell.
inline constexpr std::string_view kSocketInitFailed = "Windows 套接字初始化失败。";
inline constexpr std::string_view kOleInitFailed = "OLE 初始化失败。请确保 OLE 库是正确的版本。";
inline constexpr std::string_view kNoProgramPath = "未获得当前程序路径！";
inline constexpr std::string_view kHelpMissing = "未找到帮助文件！";
inline constexpr std::string_view kLicenseMissing = "未找到软件许可协议！";

}  // namespace ledgerix
