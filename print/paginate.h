// A worksheet broken into printed pages by its own page setup: which rows and columns each page
// holds, at what scale and where on the paper. No drawing library here: text is measured through
// TextMeasure, which the renderer implements with the fonts it draws with.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/book.h"
#include "engine/sheet_layout.h"

namespace ledgerix::print {

inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kPointsPerMm = 72.0 / 25.4;
// Printed row and column headings before scaling, as LibreOffice prints them: a column 1 cm wide
// for the row numbers, a row 12.8 pt high for the column letters.
inline constexpr double kHeadingWidthPt = 72.0 / 2.54;
inline constexpr double kHeadingHeightPt = 12.8;

struct PaperSize {
  double width_pt = 0, height_pt = 0;  // portrait
};

// The paper a page setup names: its code (the table both formats share) when the table knows
// it, else its custom size; nullopt when it names neither.
std::optional<PaperSize> PaperNamedBy(const engine::PageSetup& page);
// The paper a sheet is laid out on: the one its page setup names, else `unnamed` (the printer's
// paper when printing), else A4 (what the printers this program serves default to).
PaperSize PaperFor(const engine::PageSetup& page,
                   const std::optional<PaperSize>& unnamed = std::nullopt);
// nullopt for a code without a known size.
std::optional<PaperSize> PaperForCode(std::uint16_t code);

// Column width in points from a width in characters (padding included) and the Normal font's
// maximum digit width in pixels at 96 dpi, rounded to whole pixels as spreadsheet applications do.
double ColumnWidthPt(double width_chars, int max_digit_width_px);
// The default column width in characters, padding included, from a base width without padding.
double DefaultWidthChars(double base_chars, int max_digit_width_px);

// What pagination works on: the sheet measured in points, the ranges to print and the breaks.
struct SheetGeometry {
  std::vector<double> col_width_pt;       // from column 0; a hidden column is 0
  std::vector<double> row_height_pt;      // from row 0; a hidden row is 0
  std::vector<engine::CellRange> ranges;  // printed one after the other, each on its own pages
  std::optional<std::pair<std::uint32_t, std::uint32_t>> title_rows, title_cols;
  std::vector<std::uint32_t> manual_row_breaks, manual_col_breaks;

  double ColWidth(std::uint32_t c) const { return c < col_width_pt.size() ? col_width_pt[c] : 0.0; }
  double RowHeight(std::uint32_t r) const {
    return r < row_height_pt.size() ? row_height_pt[r] : 0.0;
  }
};

// The paper and where on it the cells may go, in points, orientation applied.
struct PageFrame {
  double paper_width_pt = 595.28, paper_height_pt = 841.89;
  double left = 54, right = 54, top = 72, bottom = 72;  // the cell area's margins
  double header = 36, footer = 36;  // distance of the header's top / footer's bottom from the edge
  bool center_horizontally = false, center_vertically = false;
  bool over_then_down = false;
  int scale_percent = 100;  // used when fit is off
  bool fit = false;
  int fit_width = 1, fit_height = 1;  // pages; 0 = as many as needed
  int first_page_number = 1;
  bool headings = false;  // row numbers and column letters printed left of and above the cells

  double HeadingWidth() const { return headings ? kHeadingWidthPt : 0.0; }
  double HeadingHeight() const { return headings ? kHeadingHeightPt : 0.0; }
  double PrintableWidth() const { return paper_width_pt - left - right; }
  double PrintableHeight() const { return paper_height_pt - top - bottom; }
};

// The page setup of a sheet as a frame: application defaults for what the file leaves out
// (margins 0.75/0.75/1/1 in, header and footer 0.5 in, scale 100). fit_width_override puts
// every column on one page width without changing the workbook. `unnamed_paper` is the paper
// of a page setup that names none (PaperFor).
PageFrame FrameFor(const engine::PageSetup& page, bool fit_width_override = false,
                   const std::optional<PaperSize>& unnamed_paper = std::nullopt);

struct Page {
  std::size_t range = 0;  // index into SheetGeometry::ranges
  std::uint32_t first_row = 0, last_row = 0, first_col = 0, last_col = 0;  // body cells
  bool title_rows = false, title_cols = false;  // the repeated titles are drawn above / left
  // Top-left corner of the block (headings and titles included) on the paper.
  double x_pt = 0, y_pt = 0;
  double width_pt = 0, height_pt = 0;  // the block's size on the paper, scale applied
  int number = 1;                      // &P
};

struct Pagination {
  double scale = 1.0;  // applied to the cells, not to the header and footer
  std::vector<Page> pages;
  // The first row / column of every page band after the first, over all ranges, sorted: where a
  // spreadsheet application reports its page breaks.
  std::vector<std::uint32_t> row_breaks, col_breaks;
};

// Manual breaks first, then automatic ones wherever the next row or column would pass the
// printable size (title rows and columns taken off it on the pages that repeat them).
Pagination Paginate(const SheetGeometry& geometry, const PageFrame& frame);

// How the renderer measures text; the pagination and row heights use the fonts the pages are
// drawn with.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // Widest of the digits 0-9, in whole pixels at 96 dpi.
  virtual int MaxDigitWidthPx(const engine::FontStyle& font) = 0;
  // The automatic height of a row holding one line in this font, in points.
  virtual double LineHeightPt(const engine::FontStyle& font) = 0;
  // The height of text wrapped to width_pt, in points.
  virtual double WrappedHeightPt(std::string_view text, const engine::FontStyle& font,
                                 double width_pt) = 0;
};

// The text a cell shows (its number format applied), for measuring wrapped cells.
using ShownTextFn =
    std::function<std::string(const Variant& value, const engine::CellStyle& style)>;

// The last row and column that hold a value or a visible format (fill, border), grown to cover
// merged areas they touch; nullopt for a sheet with nothing to print.
std::optional<engine::CellRange> UsedRange(const engine::SheetLayout& layout,
                                           const engine::StyleTable& styles,
                                           const engine::CellStore& cells);

// Measures a sheet: column widths from the Normal font's digit width, row heights as stored when
// custom, else grown to fit wrapped text; the printed ranges are the print area's or the used
// range. The geometry has no range when nothing is to be printed.
SheetGeometry MeasureSheet(const engine::SheetLayout& layout, const engine::StyleTable& styles,
                           const engine::CellStore& cells, TextMeasure& measure,
                           const ShownTextFn& shown);

}  // namespace ledgerix::print
