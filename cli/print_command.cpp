#include "cli/print_command.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "engine/book.h"
#include "print/render.h"

namespace ledgerix {
namespace {

constexpr std::string_view kPrintDone = "打印完成！";

std::string Stem(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Renders into a temporary file beside the target and renames it over the target, so a reader
// never sees half a PDF and a failure leaves the previous file alone.
int RenderAtomically(const std::vector<print::SheetRef>& sheets, const std::string& target,
                     const print::RenderOptions& options) {
  std::string pattern = std::filesystem::path(target).parent_path() / ".ledgerix-pdf-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("无法写入PDF文件“" + target + "”：无法创建临时文件");
  ::close(fd);
  try {
    int pages = print::RenderPdf(sheets, pattern, options);
    // mkstemp makes the file private; a PDF gets the permissions of any file the user writes.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(pattern.c_str(), 0666 & ~mask);
    if (std::rename(pattern.c_str(), target.c_str()) != 0) {
      throw std::runtime_error("无法写入PDF文件“" + target + "”");
    }
    return pages;
  } catch (...) {
    std::remove(pattern.c_str());
    throw;
  }
}

}  // namespace

std::vector<std::string> PdfNamesFor(const std::vector<std::string>& fileNames) {
  std::vector<std::string> out;
  std::set<std::string> taken;
  for (const std::string& name : fileNames) {
    std::string pdf = Stem(name) + ".pdf";
    if (taken.count(pdf)) pdf = name + ".pdf";
    for (int n = 2; taken.count(pdf); ++n) pdf = Stem(name) + " (" + std::to_string(n) + ").pdf";
    taken.insert(pdf);
    out.push_back(pdf);
  }
  return out;
}

int RunPdfPrint(const PdfPrintRequest& request, std::ostream& out, std::ostream& err) {
  std::vector<std::string> pdfs = PdfNamesFor(request.fileNames);
  int last = 0;
  for (std::size_t i = 0; i < request.fileNames.size(); ++i) {
    const std::string& name = request.fileNames[i];
    try {
      std::unique_ptr<engine::Book> book = engine::OpenBook(request.sourceFolder + name);
      std::vector<print::SheetRef> sheets;
      if (request.sheetScope == SheetScope::Active) {
        if (!book->sheets().empty()) sheets.push_back({book.get(), book->active_sheet()});
      } else {
        for (std::size_t s = 0; s < book->sheets().size(); ++s) {
          if (book->sheets()[s].visible == xlSheetVisible) {
            sheets.push_back({book.get(), static_cast<int>(s)});
          }
        }
      }
      last = 0;
      std::string written;
      if (!sheets.empty()) {
        print::RenderOptions options;
        options.fit_width = request.fitWidth;
        options.file_name = name;
        options.folder = request.sourceFolder;
        written = request.pdfFolder + pdfs[i];
        RenderAtomically(sheets, written, options);
        last = 1;
      }
      out << name << "\t" << last;
      if (!written.empty()) out << "\t" << written;
      out << '\n';
    } catch (const std::exception& e) {
      std::string what = e.what();
      err << "打印文件 " << name << " 时出错：" << (what.empty() ? "出现内部应用程序错误。" : what)
          << '\n';
      return 1;
    }
  }
  if (!request.fileNames.empty() && last != 0) out << kPrintDone << '\n';
  return 0;
}

}  // namespace ledgerix
