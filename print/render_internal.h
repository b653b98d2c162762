// Pieces of the renderer that tests reach: measuring with the drawing fonts, and the text a cell
// shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridges/spreadsheet.h"
#include "engine/sheet_layout.h"
#include "print/paginate.h"

namespace ledgerix::print {

// Text measured with pango through the program's own font configuration (aliases loaded).
class PangoMeasure : public TextMeasure {
 public:
  int MaxDigitWidthPx(const engine::FontStyle& font) override;
  double LineHeightPt(const engine::FontStyle& font) override;
  double WrappedHeightPt(std::string_view text, const engine::FontStyle& font,
                         double width_pt) override;
};

// The family fontconfig picks for a family name under the program's configuration.
std::string ResolvedFamily(const std::string& family);

// Stands in a shown text for a pad `_x`: drawn as a blank as wide as x in the cell's font.
inline constexpr std::string_view kPadMark = "\xEF\xBF\xBC";  // U+FFFC

// What a cell shows, with what the drawing needs to place it.
struct Shown {
  std::string text;
  std::vector<std::string> pads;  // the characters of the pad marks, in order
  bool numeric = false;           // aligned right by default; "#" when too wide
  // A `*x` fill: `before`, then x repeated to fill the cell, then `after`.
  bool fill = false;
  std::string before, fill_char, after;
  std::optional<engine::ColorRef> color;
};

Shown ShowCell(const Variant& value, const engine::CellStyle& style, bool date1904);

// How text is split between a cell's Latin font and its East Asian font: the CJK and full-width
// blocks are Asian, the Latin ones (ASCII digits too) Latin; spaces and general punctuation are
// weak and go with the letters before them.
enum class ScriptClass { Latin, Asian, Weak };
ScriptClass ScriptOf(char32_t c);
// The byte ranges of `text` drawn in the East Asian font: Asian letters with the weak characters
// after them (and before the first of them when the text starts weak).
std::vector<std::pair<std::size_t, std::size_t>> AsianRuns(std::string_view text);

// A value as the General format shows it in a wide column.
std::string GeneralText(const Variant& value);

}  // namespace ledgerix::print
