#include "app/print_logic.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>

#include "app/folder_tree_logic.h"
#include "app/trans_logic.h"
#include "bridges/output_files.h"
#include "print/sheet_printer.h"
#include "print/workbook_pdf.h"

namespace ledgerix {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string& ProcessPrinterName() {
  static std::string name;
  return name;
}

PrintDialogStart PlanPrintDialog(const DefaultFolders& folders, const std::string& programFolder) {
  PrintDialogStart start;
  start.sourceFolder = folders.source.empty() ? std::string() : WithSeparator(folders.source);
  start.sourceTreeFolder = TreeStartFolder(start.sourceFolder, programFolder);
  return start;
}

void SortPrinterNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
  });
}

int FindStringPrefix(const std::vector<std::string>& entries, int start, std::string_view prefix) {
  const int n = static_cast<int>(entries.size());
  if (n == 0) return -1;
  for (int k = 1; k <= n; ++k) {
    const int i = ((start < 0 ? -1 : start) + k) % n;
    if (StartsWithNoCase(entries[static_cast<std::size_t>(i)], prefix)) return i;
  }
  return -1;
}

PrinterListView PrinterListFor(const print::PrinterList& printers,
                               const std::string& previousName) {
  PrinterListView view;
  view.printerName = previousName;
  view.entries.push_back(std::string(kPrintToPdfEntry));
  if (!printers.ok) {
    view.entries.push_back(std::string(kInstallPrinter));
    view.okEnabled = false;
    return view;
  }
  std::vector<std::string> names = printers.names;
  SortPrinterNames(names);
  view.entries.insert(view.entries.end(), names.begin(), names.end());
  if (printers.defaultName.empty()) return view;
  // Searched among the printers only, from after the first one, as the list box searches;
  // the entry found may be another printer sharing the default's prefix, while the name
  // is the default's.
  const int found = FindStringPrefix(names, 0, printers.defaultName);
  if (found >= 0) view.selected = found + 1;
  view.printerName = printers.defaultName;
  return view;
}

bool IsPdfEntry(std::string_view printerName) { return printerName == kPrintToPdfEntry; }

PrinterSelection SelectPrinterEntry(const PrinterListView& view, int index) {
  PrinterSelection s;
  s.okEnabled = view.okEnabled;
  if (index < 0 || index >= static_cast<int>(view.entries.size())) {
    s.printerName = view.printerName;
    return s;
  }
  s.printerName = view.entries[static_cast<std::size_t>(index)];
  // Writing PDF files needs no print server.
  if (IsPdfEntry(s.printerName)) s.okEnabled = true;
  return s;
}

PrintRunner PrintRunnerFor(const PrintBatch& batch, const std::string& pdfFolder, bool fitWidth) {
  if (IsPdfEntry(batch.printerName)) {
    const std::vector<std::string> files = FilesToPrint(batch);
    const std::vector<std::string> pdfs = PdfNamesFor(files);
    std::map<std::string, std::string> pdfOf;
    for (std::size_t i = 0; i < files.size(); ++i) pdfOf[files[i]] = pdfs[i];
    const std::string last = files.empty() ? std::string() : files.back();
    return [pdfFolder, fitWidth, pdfOf, last](SheetScope scope, const std::string& folder,
                                              const std::string& file, const std::string&,
                                              MessageSink&, PrintTally* tally) {
      const auto name = pdfOf.find(file);
      // Only the batch's own files are run; any other keeps the plain rule.
      const std::string pdf = name != pdfOf.end() ? name->second : PdfNamesFor({file})[0];
      const int result =
          PrintWorkbookToPdf(scope, folder, file, WithSeparator(pdfFolder) + pdf, fitWidth, tally);
      if (file == last) SyncOutputFolder(pdfFolder);
      return result;
    };
  }
  return [fitWidth](SheetScope scope, const std::string& folder, const std::string& file,
                    const std::string& printer, MessageSink& messages, PrintTally* tally) {
    print::ScopedPrintOverrides overrides({fitWidth, 0});
    return PrintWorkbook(scope, folder, file, printer, messages, tally);
  };
}

std::string PrintSummary(const PrintTally& tally, const std::string& printerName,
                         const std::string& pdfFolder) {
  const std::string counts = std::to_string(tally.workbooks) + " 个工作簿（" +
                             std::to_string(tally.sheets) + " 个工作表）";
  if (IsPdfEntry(printerName)) return "已将 " + counts + "保存为PDF文件，位于 " + pdfFolder;
  return "已将 " + counts + "发送到打印机 " + printerName;
}

std::vector<std::string> RasterisePdfPages(const std::string& pdf, int dpi,
                                           const std::string& folder, std::string* error) {
  namespace fs = std::filesystem;
  std::vector<std::string> pages;
  const fs::path dir = PathFromUtf8(folder);
  const fs::path input = dir / "preview.pdf";
  {
    std::ofstream out(input, std::ios::binary);
    out.write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
    if (!out) {
      *error = "无法写入临时文件 " + input.string();
      return pages;
    }
  }
  const char* tool = "/usr/bin/pdftoppm";
  std::vector<std::string> args = {tool,   "-r",           std::to_string(dpi),
                                   "-png", input.string(), (dir / "page").string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string locale = "LC_ALL=C.UTF-8";
  char* envp[] = {locale.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, tool, nullptr, nullptr, argv.data(), envp) != 0) {
    *error = "预览需要 pdftoppm（poppler-utils），它没有安装";
    return pages;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("page-", 0) == 0 && entry.path().extension() == ".png") {
      pages.push_back(entry.path().string());
    }
  }
  // pdftoppm pads the page numbers to one width, so the names sort in page order.
  std::sort(pages.begin(), pages.end());
  if (pages.empty()) {
    *error = WIFEXITED(status) && WEXITSTATUS(status) == 0
                 ? "pdftoppm 没有画出任何页面"
                 : "pdftoppm 无法绘制预览页面（退出状态 " +
                       std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "）";
  }
  return pages;
}

std::string PageOfText(int page, int count) {
  return "第 " + std::to_string(page) + " 页，共 " + std::to_string(count) + " 页";
}

int CopiesShown(const std::map<std::string, std::string>& userDefaults, int maxCopies) {
  const int most = std::max(1, maxCopies);
  auto saved = userDefaults.find(print::kOptCopies);
  if (saved == userDefaults.end()) return 1;
  std::string_view text = saved->second;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range && !text.empty() && text[0] != '-') return most;
  if (ec != std::errc() || end != text.data() + text.size() || value < 1) return 1;
  return std::min(value, most);
}

std::string CopiesToSave(int shown, bool hadSaved) {
  if (shown <= 1 && !hadSaved) return "";
  return std::to_string(std::max(1, shown));
}

}  // namespace ledgerix
