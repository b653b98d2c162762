// Printers through CUPS: the destinations, submitting a PDF as one job, a printer's properties
// and the per-user defaults that lp and other programs honour.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgerix::print {

// Reads CUPS_SERVER (and IPP_PORT) again; libcups reads them once per thread otherwise.
void ReloadServerFromEnvironment();

struct PrinterList {
  // False when the enumeration itself failed (the server cannot be reached); error then holds
  // CUPS's reason.
  bool ok = false;
  std::string error;
  // "name" or "name/instance", in the server's order.
  std::vector<std::string> names;
  std::string defaultName;  // empty when there is no default destination
};
PrinterList ListPrinters();

struct JobOptions {
  std::string title;
  std::string media;  // PWG media name ("iso_a4_210x297mm"); empty: the user's or printer's
  int copies = 0;     // 0: the user's default, else one
  bool monochrome = false;
  // The pages are final; only when the printer lacks the paper may CUPS fit them to its own.
  bool fit_to_paper = false;
};

// Sends pdf as one job to the destination named exactly as ListPrinters names it ("name" or
// "name/instance"), merged with the user's saved defaults for it. Never sends anywhere else:
// an empty or unknown name, a refused job or a broken transfer throws AutomationError naming
// the printer and CUPS's reason. Returns the job id; does not wait for the job to print.
int SubmitPdf(const std::string& printer, std::string_view pdf, const JobOptions& options);

// Throws the AutomationError SubmitPdf would throw when the destination is unknown or the
// server cannot be reached, so that nothing is drawn for a printer that cannot take it.
void RequirePrinter(const std::string& printer);

// The PWG media name of a paper code as workbooks store it (9 → "iso_a4_210x297mm"); empty
// for codes without a standard size.
std::string_view MediaForPaperCode(int code);
// Whether the destination lists the media among those it supports; false when unknown.
bool PrinterSupportsMedia(const std::string& printer, const std::string& media);

// The paper a job gets when the workbook names none: the user's saved default for the
// destination, else the printer's own default; nullopt when neither names a size CUPS knows or
// the printer cannot be asked.
struct PrinterPaper {
  std::string media;  // PWG media name
  double width_mm = 0, length_mm = 0;
};
std::optional<PrinterPaper> DefaultPaper(const std::string& printer);

// How a PWG media name reads in the dialogs ("A4 210×297 mm"); the name itself when unknown.
std::string MediaLabel(const std::string& media);

struct QueuedJob {
  int id = 0;
  std::string title;
  std::string user;
  std::string state;  // "等待", "打印中", "已完成" ...
  int stateCode = 0;  // IPP job-state (3 pending ... 9 completed)
};
// The destination's jobs: those not yet finished, or only the finished ones.
std::vector<QueuedJob> ListJobs(const std::string& printer, bool completed);

// The options the properties dialog offers and their choices.
inline constexpr const char* kOptMedia = "media";
inline constexpr const char* kOptSides = "sides";
inline constexpr const char* kOptColorMode = "print-color-mode";
inline constexpr const char* kOptQuality = "print-quality";
inline constexpr const char* kOptCopies = "copies";

struct PrinterChoices {
  std::vector<std::string> supported;  // values the printer accepts, in its order
  std::string printerDefault;          // the printer's own default, empty when it names none
};

struct PrinterInfo {
  std::string name;
  std::string makeAndModel, location, description;
  std::string state;         // "空闲", "正在打印", "已停止"
  std::string stateReasons;  // as CUPS gives them, comma-separated; empty for "none"
  std::string stateMessage;
  std::vector<QueuedJob> jobs;
  std::map<std::string, PrinterChoices> choices;  // by option name (kOptMedia ...)
  int maxCopies = 1;
  std::map<std::string, std::string> userDefaults;  // the saved per-user values
};
// Everything the properties dialog shows; nullopt when the printer's information cannot be had
// (unknown printer, server unreachable).
std::optional<PrinterInfo> QueryPrinter(const std::string& printer);

// Saves the user's defaults for the printer (an empty value removes the option) in the per-user
// options file. Throws AutomationError naming the printer when they cannot be saved.
void SaveUserDefaults(const std::string& printer, const std::map<std::string, std::string>& values);

// The saved per-user value of one of the options above; empty when none.
std::string UserDefault(const std::string& printer, const std::string& option);

}  // namespace ledgerix::print
