#include "engine/workbook_json.h"

#include <charconv>
#include <cmath>

namespace ledgerix::engine {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (b < 0x20) {
          out += "\\u00";
          out.push_back(kHex[b >> 4]);
          out.push_back(kHex[b & 15]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

void AppendJsonNumber(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "\"nan\"";
  } else if (std::isinf(v)) {
    out += v > 0 ? "\"inf\"" : "\"-inf\"";
  } else {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out += text;
    // JSON readers take whole numbers as integers; a cell's number is a double.
    if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
  }
}

namespace {

void AppendCell(std::string& out, const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Number:
      out += "\"n\", ";
      AppendJsonNumber(out, v.number());
      break;
    case Variant::Type::String:
      out += "\"s\", ";
      AppendJsonString(out, v.string());
      break;
    case Variant::Type::Boolean:
      out += v.boolean() ? "\"b\", true" : "\"b\", false";
      break;
    case Variant::Type::Error:
      out += "\"e\", ";
      AppendJsonString(out, CellErrorText(v.error()));
      break;
    case Variant::Type::Empty:  // never stored; kept for a complete switch
      out += "null, null";
      break;
  }
}

void AppendCells(std::string& out, Book& book, int sheet, const WorkbookJsonOptions& options) {
  std::string cells = "{";
  bool first = true;
  book.Cells(sheet).ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
    cells += first ? "" : ", ";
    first = false;
    AppendJsonString(cells, FormatA1(row, col));
    cells += ": [";
    AppendCell(cells, v);
    if (options.cell_extra) {
      cells += ", ";
      AppendJsonString(cells, options.cell_extra(sheet, row, col, v));
    }
    cells += "]";
  });
  out += cells;
  out += "}";
}

}  // namespace

std::string WorkbookJson(Book& book, std::string_view file, const WorkbookJsonOptions& options) {
  std::string out = "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"sheets\": [";
  for (std::size_t s = 0; s < book.sheets().size(); ++s) {
    const SheetInfo& info = book.sheets()[s];
    const int sheet = static_cast<int>(s);
    if (s) out += ", ";
    out += "{\"name\": ";
    AppendJsonString(out, info.name);
    const int visibility = info.visible == xlSheetVisible  ? 0
                           : info.visible == xlSheetHidden ? 1
                                                           : 2;
    out += ", \"visibility\": " + std::to_string(visibility) + ", \"cells\": ";
    if (options.before_cells) options.before_cells(sheet);
    if (!options.sheet_errors) {
      AppendCells(out, book, sheet, options);
    } else {
      try {
        AppendCells(out, book, sheet, options);
      } catch (const BookError& e) {
        out += "{}, \"cells_error\": ";
        AppendJsonString(out, e.what());
      }
    }
    out += "}";
  }
  out += "], \"active_sheet\": ";
  out += book.sheets().empty() ? std::string("null") : std::to_string(book.active_sheet());
  out += ", \"error\": null, \"format\": ";
  AppendJsonString(out, book.format());
  out += ", \"date1904\": ";
  out += book.date1904() ? "true" : "false";
  out += "}";
  return out;
}

std::string UnopenedWorkbookJson(std::string_view file, std::string_view error) {
  std::string out = "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"sheets\": [], \"active_sheet\": null, \"error\": ";
  AppendJsonString(out, error);
  out += "}";
  return out;
}

}  // namespace ledgerix::engine
