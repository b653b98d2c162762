#include "cli/cli_app.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <ostream>
#include <set>
#include <sstream>

#include "bridges/companion.h"
#include "bridges/workbook_passwords.h"
#include "cli/password_options.h"
#include "cli/print_command.h"
#include "convert/common/program_folder.h"
#include "engine/book.h"
#include "engine/server.h"
#include "engine/workbook_json.h"
#include "jobs/batch.h"
#include "jobs/print_run.h"
#include "print/cups_printer.h"
#include "print/numfmt.h"
#include "print/sheet_printer.h"

namespace ledgerix {
namespace {

constexpr const char* kUsageHead = R"(用法 (usage):
  ledgerix-cli convert --kind K --source DIR --save DIR [--type xls|xlsx|all]
                       [--sheets active|all] [--password TEXT ...] [--password-file FILE]
                       [FILE ...]
  ledgerix-cli print --source DIR --pdf DIR [--type xls|xlsx|all] [--sheets active|all]
                     [--fit-width] [--jobs N] [--password TEXT ...] [--password-file FILE]
                     [FILE ...]
  ledgerix-cli print --source DIR --printer NAME [--type xls|xlsx|all] [--sheets active|all]
                     [--fit-width] [--copies N] [--password TEXT ...] [--password-file FILE]
                     [FILE ...]
  ledgerix-cli printers
  ledgerix-cli dump FILE [--shown] [--password TEXT ...] [--password-file FILE]
  ledgerix-cli --help

convert   Converts the workbooks of DIR (--source) into the filing files of report kind K,
          written into DIR (--save), exactly as the desktop program's conversion dialog does.
  --kind K      report kind, 1-9:
                  1 国税资产负债表（制度版）  ZCFZB_..._CRC.xml
                  2 国税利润表（制度版）      LRB_..._CRC.xml
                  3 国税资产负债表（准则版）  ZZFZB_..._CRC.xml
                  4 国税利润表（准则版）      LRB_..._CRC.xml
                  5 地税资产负债表（含公共信息表）  filing workbook from the template
                  6 地税利润表                      filing workbook from the template
                  7 地税资产负债表（小企业）（含公共信息表）
                  8 地税利润表（小企业）
                  9 企业所得税申报表          QYSDS_..._V10.xml
  --source DIR  folder of the source workbooks (a missing trailing "/" is added)
  --save DIR    folder that receives the outputs; it must exist
  --type T      which files the list holds: xls ("*.xls"), xlsx ("*.xlsx") or all (default)
  --sheets S    active: the sheet active when the workbook was saved (活动工作表, default);
                all: every visible worksheet in workbook order (全部工作表). Kind 9 ignores it.
)";
constexpr const char* kUsageTail =
    R"(  FILE ...      names of files of the source folder to convert (like 选中文件); without
                them every listed file. Files run in the list's order (Chinese collation:
                Chinese names by pinyin, before Latin ones; case ignored), whatever the
                order given here.
          One line per file: name, result (1 written, 0 nothing written) and the outputs.
          "任务完成！" after the last file when its result is nonzero. An error ends the batch:
          its message goes to stderr and the remaining files are not converted.
          Exit status: 0 the batch ran to its end, 1 an error ended it, 2 usage error.
          An encrypted workbook that no password opens ends the batch like any unreadable
          file: "工作簿“…”已加密，密码不正确".

print     Prints the workbooks of DIR (--source) to PDF files in DIR (--pdf), one per workbook,
          named after it with ".pdf" in place of its extension (a name already taken in the
          batch keeps the extension: "a.xls.pdf"), each page as the workbook's own page setup
          says: paper, orientation, margins, scale or fit, print area, titles, breaks,
          headers and footers. Files are listed, picked and run as for convert.
  --pdf DIR     folder that receives the PDF files; it must exist
  --sheets S    active (default) or all: every visible worksheet, in order, in one PDF
  --fit-width   fit all columns of each sheet to one page width (the workbook is not changed)
  --jobs N      render N workbooks at once (1 to 16; default one per processor); files are
                still written, and their lines printed, in list order
          One line per file: name, result (1 printed, 0 no sheet to print) and the PDF.
          "打印完成！" after the last file when its result is nonzero. An error ends the
          batch as for convert. Exit status as for convert. Takes the password options of
          convert.

print --printer NAME  Prints the workbooks of DIR (--source) on the CUPS printer NAME, exactly as
          the desktop program's print dialog does: one job per printed sheet, titled
          "<file> - <sheet>", with the workbook's paper, copies and black-and-white setting.
          --type, --sheets and FILE ... as for convert.
  --fit-width   all columns on one page width (the workbooks are not changed)
  --copies N    N copies of every sheet instead of the workbook's own number
          One line per file: name and result (1 printed, 0 nothing to print). "打印完成！"
          after the last file when it printed. An unknown printer or a refused job ends the
          batch. Nothing is sent to any other printer. Exit status as for convert. Takes the
          password options of convert.

printers  Lists the CUPS destinations, the default marked with "*". Exit status 1 when the
          print server cannot be reached.

dump      Prints FILE (.xls or .xlsx, recognised by content) as the converters see it, as
          JSON: worksheets in order with name and visibility (0 visible, 1 hidden, 2 very
          hidden), the active sheet, and every non-empty cell's value with its type
          (n number, s text, b boolean, e error). Exit status 1 when it cannot be read.
  --shown       each cell's entry gains a third element: the text the cell shows, its
                number format applied (no column-width effects: no "###", no fill).
          Takes the password options of convert.
)";

const std::string& UsageText() {
  static const std::string text = std::string(kUsageHead) + kPasswordOptionsUsage + kUsageTail;
  return text;
}

class CliMessages : public MessageSink {
 public:
  CliMessages(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  void ShowMessage(std::string_view text, MessageIcon icon) override {
    (icon == MessageIcon::Information ? out_ : err_) << text << '\n';
    warned_ = warned_ || icon != MessageIcon::Information;
  }
  bool warned() const { return warned_; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool warned_ = false;
};

class CliObserver : public BatchObserver {
 public:
  CliObserver(std::ostream& out, std::ostream& err, bool progress)
      : out_(out), err_(err), progress_(progress) {}
  void FileStarting(std::size_t index, std::size_t count, const std::string& name) override {
    if (progress_) err_ << "\r\x1b[K[" << index + 1 << "/" << count << "] " << name << std::flush;
  }
  void FileDone(std::size_t, std::size_t, const std::string& name, int result,
                const std::vector<std::string>& outputs) override {
    if (progress_) err_ << "\r\x1b[K" << std::flush;
    out_ << name << "\t" << result;
    written_ += outputs.size();
    for (const std::string& o : outputs) out_ << "\t" << o;
    out_ << '\n';
  }
  std::size_t written() const { return written_; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool progress_;
  std::size_t written_ = 0;
};

int Usage(std::ostream& err, const std::string& problem) {
  err << "ledgerix-cli: " << problem << "\n\n" << UsageText();
  return 2;
}

// The files of the source folder's list (as --type lists them), or those of them picked, in the
// list's order. False with the problem when a picked name is not in the list.
bool ListFiles(const std::string& folder, const std::string& type,
               const std::vector<std::string>& picked, std::vector<std::string>* names,
               std::string* problem) {
  std::vector<std::string> listed =
      type == "all" ? fnAddListItem(folder)
                    : fnAddListItemFilter(folder, fnGetTransFileType(type == "xls" ? 0 : 1));
  if (picked.empty()) {
    *names = listed;
    return true;
  }
  std::set<std::string> wanted(picked.begin(), picked.end());
  for (const std::string& name : listed) {
    if (wanted.erase(name)) names->push_back(name);
  }
  if (!wanted.empty()) {
    *problem = "not in the list of " + folder + ": " + *wanted.begin();
    return false;
  }
  return true;
}

// What convert, print --pdf and print --printer take alike: the source folder, the list's filter,
// the sheet scope, the picked files and the password options.
struct BatchOptions {
  std::string source;
  bool haveSource = false;
  std::string type = "all";
  std::string sheets = "active";
  std::vector<std::string> picked;
  std::vector<std::string> passwords;
};

// A command's own options: given the option and a reader of its value, takes it or not.
using OwnOptions = std::function<OptionTaken(const std::string& option,
                                             const std::function<bool(std::string*)>& value,
                                             std::string* problem)>;

// Reads args after the command word. False with the problem for a usage error.
bool ParseBatchOptions(const std::vector<std::string>& args, const OwnOptions& own,
                       BatchOptions* options, std::string* problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::function<bool(std::string*)> value = [&](std::string* into) {
      if (i + 1 >= args.size()) return false;
      *into = args[++i];
      return true;
    };
    OptionTaken taken = TakePasswordOption(args, &i, &options->passwords, problem);
    if (taken == OptionTaken::kNotOne) taken = own(a, value, problem);
    if (taken == OptionTaken::kBad) return false;
    if (taken == OptionTaken::kTaken) continue;
    if (a == "--source") {
      if (!value(&options->source)) return *problem = "--source needs a folder", false;
      options->haveSource = true;
    } else if (a == "--type") {
      const std::string& t = options->type;
      if (!value(&options->type) || (t != "xls" && t != "xlsx" && t != "all")) {
        return *problem = "--type must be xls, xlsx or all", false;
      }
    } else if (a == "--sheets") {
      const std::string& s = options->sheets;
      if (!value(&options->sheets) || (s != "active" && s != "all")) {
        return *problem = "--sheets must be active or all", false;
      }
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return *problem = "unknown option " + a, false;
    } else {
      options->picked.push_back(a);
    }
  }
  return true;
}

// The print commands' --fit-width.
OwnOptions FitWidthOption(bool* fitWidth, const OwnOptions& more = {}) {
  return [fitWidth, more](const std::string& a, const std::function<bool(std::string*)>& value,
                          std::string* problem) {
    if (a == "--fit-width") {
      *fitWidth = true;
      return OptionTaken::kTaken;
    }
    return more ? more(a, value, problem) : OptionTaken::kNotOne;
  };
}

// The folder with its separator and the files a batch runs, in list order. Returns -1 to go on,
// else the exit status after telling the problem: 2 for a name not in the list, 0 for an empty
// list (emptyList, and that the folder holds no files to convert or print).
int ListBatchFiles(const BatchOptions& options, std::string_view emptyList, std::string_view doing,
                   std::ostream& err, std::string* folder, std::vector<std::string>* names) {
  *folder = WithTrailingSeparator(options.source);
  std::string problem;
  if (!ListFiles(*folder, options.type, options.picked, names, &problem)) {
    return Usage(err, problem);
  }
  if (names->empty()) {
    err << emptyList << "（" << *folder << " 中没有可" << doing << "的文件）\n";
    return 0;
  }
  return -1;
}

SheetScope ScopeOf(const BatchOptions& options) {
  return options.sheets == "all" ? SheetScope::All : SheetScope::Active;
}

int RunPrint(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PdfPrintRequest request;
  BatchOptions options;
  bool have_pdf = false;
  std::string problem;
  const OwnOptions pdfFolder = [&](const std::string& a,
                                   const std::function<bool(std::string*)>& value,
                                   std::string* why) {
    if (a == "--jobs") {
      std::string v;
      if (!value(&v)) return *why = "--jobs needs a number", OptionTaken::kBad;
      auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), request.jobs);
      if (ec != std::errc() || p != v.data() + v.size() || request.jobs < 1 || request.jobs > 16) {
        return *why = "--jobs must be a number from 1 to 16", OptionTaken::kBad;
      }
      return OptionTaken::kTaken;
    }
    if (a != "--pdf") return OptionTaken::kNotOne;
    if (!value(&request.pdfFolder)) return *why = "--pdf needs a folder", OptionTaken::kBad;
    have_pdf = true;
    return OptionTaken::kTaken;
  };
  if (!ParseBatchOptions(args, FitWidthOption(&request.fitWidth, pdfFolder), &options, &problem)) {
    return Usage(err, problem);
  }
  if (!options.haveSource || !have_pdf) return Usage(err, "print needs --source and --pdf");
  if (options.source.empty() || request.pdfFolder.empty()) {
    return Usage(err, "folders must not be empty");
  }
  request.sheetScope = ScopeOf(options);
  request.pdfFolder = WithTrailingSeparator(request.pdfFolder);
  const int listed = ListBatchFiles(options, kNoFileToPrint, "打印", err, &request.sourceFolder,
                                    &request.fileNames);
  if (listed >= 0) return listed;
  std::error_code ec;
  if (!std::filesystem::is_directory(request.pdfFolder, ec)) {
    err << "PDF文件夹 " << request.pdfFolder << " 不存在\n";
    return 1;
  }
  WorkbookPasswords passwords;
  passwords.known = std::move(options.passwords);
  ScopedWorkbookPasswords scoped_passwords(std::move(passwords));
  return RunPdfPrint(request, out, err);
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress) {
  BatchRequest request;
  BatchOptions options;
  bool have_kind = false, have_save = false;
  std::string problem;
  const OwnOptions kindAndSave =
      [&](const std::string& a, const std::function<bool(std::string*)>& value, std::string* why) {
        if (a == "--kind") {
          std::string v;
          if (!value(&v)) return *why = "--kind needs a value", OptionTaken::kBad;
          int kind = 0;
          auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), kind);
          if (ec != std::errc() || p != v.data() + v.size() || kind < 1 || kind > 9) {
            return *why = "--kind must be a report kind from 1 to 9", OptionTaken::kBad;
          }
          request.reportKind = kind;
          have_kind = true;
          return OptionTaken::kTaken;
        }
        if (a == "--save") {
          if (!value(&request.saveFolder)) return *why = "--save needs a folder", OptionTaken::kBad;
          have_save = true;
          return OptionTaken::kTaken;
        }
        return OptionTaken::kNotOne;
      };
  if (!ParseBatchOptions(args, kindAndSave, &options, &problem)) return Usage(err, problem);
  if (!have_kind || !options.haveSource || !have_save) {
    return Usage(err, "convert needs --kind, --source and --save");
  }
  if (options.source.empty() || request.saveFolder.empty()) {
    return Usage(err, "folders must not be empty");
  }
  request.sheetScope = ScopeOf(options);
  request.saveFolder = WithTrailingSeparator(request.saveFolder);
  request.passwords = std::move(options.passwords);
  const int listed = ListBatchFiles(options, kNoFileSelected, "转换", err, &request.sourceFolder,
                                    &request.fileNames);
  if (listed >= 0) return listed;

  CliMessages messages(out, err);
  CliObserver observer(out, err, progress);
  BatchOutcome outcome = RunBatch(request, messages, observer);
  // A batch that wrote nothing at all because of a problem it reported (a missing template, a
  // header it could not use) has failed for a script, even though the dialog only shows it.
  if (!outcome.failed && observer.written() == 0 && messages.warned()) return 1;
  return outcome.failed ? 1 : 0;
}

// Prints a batch on a printer; the PDF files of the same command are written elsewhere.
int RunPrintOnPrinter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool progress) {
  BatchOptions options;
  PrintBatch batch;
  bool have_printer = false, fit_width = false;
  int copies = 0;
  std::string problem;
  const OwnOptions printerAndCopies =
      [&](const std::string& a, const std::function<bool(std::string*)>& value, std::string* why) {
        if (a == "--printer") {
          if (!value(&batch.printerName)) return *why = "--printer needs a name", OptionTaken::kBad;
          have_printer = true;
          return OptionTaken::kTaken;
        }
        if (a == "--copies") {
          std::string v;
          if (!value(&v)) return *why = "--copies needs a number", OptionTaken::kBad;
          auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), copies);
          if (ec != std::errc() || p != v.data() + v.size() || copies < 1 || copies > 999) {
            return *why = "--copies must be a number from 1 to 999", OptionTaken::kBad;
          }
          return OptionTaken::kTaken;
        }
        return OptionTaken::kNotOne;
      };
  if (!ParseBatchOptions(args, FitWidthOption(&fit_width, printerAndCopies), &options, &problem)) {
    return Usage(err, problem);
  }
  if (!options.haveSource || options.source.empty()) return Usage(err, "print needs --source");
  if (!have_printer || batch.printerName.empty()) {
    return Usage(err, "print needs --printer NAME (ledgerix-cli printers lists them)");
  }
  batch.sheetScope = ScopeOf(options);
  batch.knownPasswords = std::move(options.passwords);
  const int listed =
      ListBatchFiles(options, kNoFileToPrint, "打印", err, &batch.sourceFolder, &batch.items);
  if (listed >= 0) return listed;
  print::InstallSheetPrinter();
  print::ScopedPrintOverrides overrides({fit_width, copies});
  CliMessages messages(out, err);
  std::size_t index = 0;
  const std::size_t count = batch.items.size();
  PrintRunner run = [&](SheetScope scope, const std::string& folder, const std::string& file,
                        const std::string& name, MessageSink& sink, PrintTally* tally) {
    if (progress) err << "\r\x1b[K[" << index + 1 << "/" << count << "] " << file << std::flush;
    int result = PrintWorkbook(scope, folder, file, name, sink, tally);
    if (progress) err << "\r\x1b[K" << std::flush;
    out << file << "\t" << result << '\n';
    ++index;
    return result;
  };
  PrintBatchOutcome outcome = RunPrintBatch(batch, run, messages, [](int) {});
  if (outcome.end == PrintBatchEnd::Failed) return 1;
  return 0;
}

int RunPrinters(std::ostream& out, std::ostream& err) {
  print::PrinterList list = print::ListPrinters();
  if (!list.ok) {
    err << "无法连接打印服务器：" << list.error << '\n';
    return 1;
  }
  if (list.names.empty()) err << "打印服务器上没有打印机\n";
  for (const std::string& name : list.names) {
    out << (name == list.defaultName ? "* " : "  ") << name << '\n';
  }
  return 0;
}

}  // namespace

std::string DumpWorkbookJson(const std::string& path, bool shown) {
  std::unique_ptr<engine::Book> book = engine::OpenBook(path);
  return DumpBookJson(*book, path, shown);
}

std::string DumpBookJson(engine::Book& book, const std::string& path, bool shown) {
  engine::WorkbookJsonOptions options;
  if (shown) {
    options.before_cells = [&book](int sheet) {  // read before the cells are walked
      book.Layout(sheet);
      book.Styles();
    };
    options.cell_extra = [&book](int sheet, std::uint32_t row, std::uint32_t col,
                                 const Variant& v) {
      return print::ShownCell(book, sheet, row, col, v).text;
    };
  }
  return engine::WorkbookJson(book, path, options);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool progress_on_terminal) {
  if (args.empty()) return Usage(err, "missing command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    out << UsageText();
    return 0;
  }
  engine::RegisterEmbeddedServer();
  if (ProgramFolder().empty()) SetProgramFolder(ExecutableFolder());
  if (args[0] == "convert") return RunConvert(args, out, err, progress_on_terminal);
  if (args[0] == "printers") {
    if (args.size() != 1) return Usage(err, "printers takes no arguments");
    return RunPrinters(out, err);
  }
  if (args[0] == "print") {
    const bool printer = std::find(args.begin(), args.end(), "--printer") != args.end();
    const bool pdf = std::find(args.begin(), args.end(), "--pdf") != args.end();
    if (printer && pdf) return Usage(err, "print takes --printer or --pdf, not both");
    if (printer) return RunPrintOnPrinter(args, out, err, progress_on_terminal);
    if (!pdf) return Usage(err, "print needs --printer NAME or --pdf DIR");
    return RunPrint(args, out, err);
  }
  if (args[0] == "dump") {
    WorkbookPasswords passwords;
    std::vector<std::string> files;
    bool shown = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
      std::string problem;
      switch (TakePasswordOption(args, &i, &passwords.known, &problem)) {
        case OptionTaken::kTaken:
          continue;
        case OptionTaken::kBad:
          return Usage(err, problem);
        case OptionTaken::kNotOne:
          if (args[i] == "--shown") {
            shown = true;
          } else {
            files.push_back(args[i]);
          }
          break;
      }
    }
    if (files.size() != 1) return Usage(err, "dump takes one FILE");
    ScopedWorkbookPasswords scoped(std::move(passwords));
    try {
      out << DumpWorkbookJson(files[0], shown) << '\n';
      return 0;
    } catch (const std::exception& e) {
      err << "无法打开工作簿 " << files[0] << "：" << e.what() << '\n';
      return 1;
    }
  }
  return Usage(err, "unknown command " + args[0]);
}

}  // namespace ledgerix
