// Worksheets drawn as printed pages: pagination of a sheet by its own page setup, then PDF pages
// with cairo and pango.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/book.h"
#include "print/paginate.h"

namespace ledgerix::print {

struct RenderOptions {
  bool fit_width = false;  // print-time override: all columns on one page width
  // The clock for &D and &T in headers and footers; tests inject a fixed one.
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
  std::string file_name;  // &F; &Z is its folder
  std::string folder;
  // At most this many pages of each sheet are drawn (0: all of them); &N still counts every
  // page. A preview, or a check of a sheet formatted down to its last row, needs no more.
  int max_pages_per_sheet = 0;
  // The paper of a sheet whose page setup names none (the printer's when printing); A4 when
  // unset. A sheet naming its own paper keeps it.
  std::optional<PaperSize> unnamed_paper;
};

struct SheetRef {
  engine::Book* book = nullptr;
  int sheet = 0;
};

// Draws the given sheets, in order, as one PDF document at `pdf_path` (written in place; callers
// that need atomicity write to a temporary name). Returns the number of pages drawn. Throws
// std::runtime_error with a Chinese message naming the file and sheet on failure.
int RenderPdf(const std::vector<SheetRef>& sheets, const std::string& pdf_path,
              const RenderOptions& options);

// The same into memory, for submitting to a printer.
std::string RenderPdfBytes(const std::vector<SheetRef>& sheets, const RenderOptions& options,
                           int* pages = nullptr);

}  // namespace ledgerix::print
