// A workbook as one line of JSON: what `ledgerix-cli dump` prints and what the corpus tests hand
// to their comparison scripts, written by this one writer.
//
//   {"file": F, "sheets": [{"name": N, "visibility": 0|1|2, "cells": {"A1": [kind, value], ...}},
//    ...], "active_sheet": I|null, "error": null, "format": "BIFF8"|..., "date1904": B}
//
// kind is "n", "s", "b" or "e" (an error cell's value is its name, "#N/A"). A number is written
// so that it reads back as the same double; one JSON cannot hold (NaN, the infinities) is the
// string "nan", "inf" or "-inf", as in the reference dumps. Visibility 0 is visible, 1 hidden,
// 2 very hidden.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/book.h"

namespace ledgerix::engine {

struct WorkbookJsonOptions {
  // A sheet whose cells cannot be read is written with "cells": {} and "cells_error": its
  // message; otherwise the BookError propagates.
  bool sheet_errors = false;
  // Called before a sheet's cells are walked (say, to read its layout first); may be empty.
  std::function<void(int sheet)> before_cells;
  // A third element for every cell entry (the cell as shown, say); none when empty.
  std::function<std::string(int sheet, std::uint32_t row, std::uint32_t col, const Variant&)>
      cell_extra;
};

std::string WorkbookJson(Book& book, std::string_view file,
                         const WorkbookJsonOptions& options = {});
// The line for a workbook that does not open: its file, the error and no sheets.
std::string UnopenedWorkbookJson(std::string_view file, std::string_view error);

// text as a JSON string; the bytes are kept as they are (UTF-8), control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);
// v as a JSON number that reads back as the same double, with a point when it is whole.
void AppendJsonNumber(std::string& out, double v);

}  // namespace ledgerix::engine
