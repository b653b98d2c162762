// Number formats as spreadsheet applications apply them: the text a cell shows for its value and
// format code, laid out in pieces so that the renderer can place padding and fill characters
// against the real column width. No drawing library here.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridges/spreadsheet.h"
#include "engine/book.h"
#include "engine/sheet_layout.h"

namespace ledgerix::print {

// One piece of a shown value. Padding (`_x`) takes the width of its character and prints
// nothing; a fill (`*x`) repeats its character to fill the column; at most one fill per value.
struct ShownPiece {
  enum class Kind { Text, Pad, Fill };
  Kind kind = Kind::Text;
  std::string text;  // UTF-8: the text, or the one character padded or repeated
  friend bool operator==(const ShownPiece&, const ShownPiece&) = default;
};

// The spaces that stand for a pad `_x` in plain text: about as wide as x in a proportional
// font (")" one, a digit two, "M" three, any character past ASCII two), the count
// spreadsheet text exports write, so that padded columns of a text dump still line up.
std::string PadSpaces(std::string_view ch);

struct ShownValue {
  // What the cell shows without column-width effects: pieces joined, a pad as the spaces of
  // PadSpaces, a fill left out. A value that cannot be shown at all (a date before 1900 or
  // after 9999) is a lone "#" fill, and its text is "#".
  std::string text;
  std::vector<ShownPiece> pieces;
  std::optional<engine::ColorRef> color;  // a section's [Red], [Color10]…
  // A number (or date) shown as a number: General alignment puts it right, and when it does not
  // fit its column it prints as "#" repeated instead of overflowing.
  bool numeric = false;
};

// A parsed format code; parsing never fails (an unreadable code shows values as General).
class NumberFormat {
 public:
  explicit NumberFormat(std::string_view code);
  ~NumberFormat();
  NumberFormat(NumberFormat&&) noexcept;
  NumberFormat& operator=(NumberFormat&&) noexcept;

  ShownValue Format(const Variant& value, bool date1904) const;
  bool IsDateTime() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The code of a built-in format id as a zh-CN spreadsheet application shows it (0 "General",
// 14 "yyyy/m/d", 27-36 and 50-58 the Chinese date forms…); empty for an unknown id.
std::string BuiltinFormatCode(int id);

// Convenience for one value; caches parsed codes.
ShownValue FormatValue(const Variant& value, std::string_view code, bool date1904);

// The number format code of a cell style: the code its file defines, else the built-in id's
// zh-CN code, else General.
std::string FormatCodeOf(const engine::CellStyle& style);

// What a workbook's cell shows: its value in the number format of its style (its own, its
// row's or its column's), in the workbook's date system.
ShownValue ShownCell(engine::Book& book, int sheet, std::uint32_t row, std::uint32_t col,
                     const Variant& value);

}  // namespace ledgerix::print
