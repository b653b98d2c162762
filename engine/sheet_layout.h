// How a worksheet looks and is set up for printing, format-neutral: resolved cell styles, column
// widths, row heights, merged areas and the page setup. The readers fill it only when printing
// asks for it, so converting a workbook never pays for it. Values the file does not state are
// kept apart from values it sets (std::optional), so the printing code can apply the
// spreadsheet application's defaults itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ledgerix::engine {

// A colour as the renderer needs it: resolved from palette indexes and theme colours with their
// tint by the reader. Automatic means "the application's default" (black text, no fill colour,
// black borders).
struct ColorRef {
  bool automatic = true;
  std::uint32_t rgb = 0;  // 0xRRGGBB when not automatic

  static ColorRef Auto() { return {}; }
  static ColorRef Rgb(std::uint32_t rgb) { return {false, rgb & 0xFFFFFF}; }
  friend bool operator==(const ColorRef&, const ColorRef&) = default;
};

enum class Underline : std::uint8_t { None, Single, Double, SingleAccounting, DoubleAccounting };
enum class Script : std::uint8_t { None, Super, Sub };

struct FontStyle {
  std::string name = "Arial";  // family as the file names it ("宋体", "Calibri")
  double size_pt = 10;
  bool bold = false;
  bool italic = false;
  bool strike = false;
  Underline underline = Underline::None;
  Script script = Script::None;
  ColorRef color;
  friend bool operator==(const FontStyle&, const FontStyle&) = default;
};

enum class HAlign : std::uint8_t {
  General,  // numbers right, text left, booleans and errors centred
  Left,
  Center,
  Right,
  Fill,
  Justify,
  CenterAcross,  // centred across the selection of empty cells to the right
  Distributed,
};
enum class VAlign : std::uint8_t { Top, Center, Bottom, Justify, Distributed };

// Line styles in the order both formats number them (BIFF8 dgLeft etc., SpreadsheetML
// ST_BorderStyle).
enum class BorderStyle : std::uint8_t {
  None,
  Thin,
  Medium,
  Dashed,
  Dotted,
  Thick,
  Double,
  Hair,
  MediumDashed,
  DashDot,
  MediumDashDot,
  DashDotDot,
  MediumDashDotDot,
  SlantDashDot,
};

struct BorderLine {
  BorderStyle style = BorderStyle::None;
  ColorRef color;
  friend bool operator==(const BorderLine&, const BorderLine&) = default;
};

// Fill patterns numbered as BIFF8 fls and ST_PatternType agree: 0 none, 1 solid, 2-18 patterns.
struct Fill {
  std::uint8_t pattern = 0;
  ColorRef foreground;  // the solid colour for pattern 1
  ColorRef background;
  friend bool operator==(const Fill&, const Fill&) = default;
};

// One cell format (an XF record, a cellXfs entry) with everything resolved.
struct CellStyle {
  FontStyle font;
  // The number format: its id, and its code when the file defines it. Built-in ids (0-49 and the
  // East Asian 50-58) usually come without a code; the printing code knows their text.
  std::uint16_t num_fmt_id = 0;
  std::optional<std::string> num_fmt_code;
  HAlign halign = HAlign::General;
  VAlign valign = VAlign::Bottom;
  bool wrap = false;
  bool shrink = false;
  std::uint8_t indent = 0;     // levels of three spaces' width
  std::uint16_t rotation = 0;  // 0-90 up, 91-180 down (90 + degrees), 255 vertical text
  BorderLine left, right, top, bottom;
  BorderLine diagonal;
  bool diagonal_up = false, diagonal_down = false;
  Fill fill;
  friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

// Every cell format of a workbook, by the index cells refer to (XF index, c/@s).
struct StyleTable {
  std::vector<CellStyle> styles;
  // The Normal style's font: column widths are counted in its maximum digit width.
  FontStyle normal_font;
  // The style of a cell that names none or names an index past the table.
  const CellStyle& Get(std::uint32_t index) const {
    static const CellStyle kDefault;
    if (index < styles.size()) return styles[index];
    return styles.empty() ? kDefault : styles[0];
  }
};

// 0-based, inclusive.
struct CellRange {
  std::uint32_t first_row = 0, first_col = 0, last_row = 0, last_col = 0;
  bool Contains(std::uint32_t row, std::uint32_t col) const {
    return row >= first_row && row <= last_row && col >= first_col && col <= last_col;
  }
  friend bool operator==(const CellRange&, const CellRange&) = default;
};

// A run of columns sharing width and flags (COLINFO, cols/col).
struct ColumnSpan {
  std::uint32_t first = 0, last = 0;  // 0-based, inclusive
  // In characters of the Normal font's maximum digit width, padding included, as both formats
  // store it (COLINFO coldx / 256, col/@width).
  std::optional<double> width;
  bool hidden = false;
  std::optional<std::uint32_t> style;  // column default style
};

struct RowInfo {
  std::optional<double> height_pt;  // stated height (ROW miyRw, row/@ht)
  bool custom_height = false;       // stated by the user, not the application's automatic height
  bool hidden = false;
  std::optional<std::uint32_t> style;  // row default style
};

enum class Orientation : std::uint8_t { Default, Portrait, Landscape };
enum class PageOrder : std::uint8_t { DownThenOver, OverThenDown };
enum class PrintErrors : std::uint8_t { Displayed, Blank, Dash, NA };

struct Margins {
  std::optional<double> left, right, top, bottom, header, footer;  // inches
};

struct PageSetup {
  // The paper code both formats share (9 = A4); absent: the printer's paper.
  std::optional<std::uint16_t> paper;
  std::optional<double> paper_width_mm, paper_height_mm;  // custom paper size (.xlsx only)
  Orientation orientation = Orientation::Default;
  std::optional<std::uint16_t> scale;           // percent, 10-400
  bool fit_to_page = false;                     // fit_width/fit_height rule, not scale
  std::uint16_t fit_width = 1, fit_height = 1;  // 0 = as many pages as needed
  PageOrder page_order = PageOrder::DownThenOver;
  std::optional<std::int32_t> first_page_number;  // set only when the file says to use it
  std::optional<std::uint16_t> copies;
  bool black_and_white = false;
  bool draft = false;
  PrintErrors errors = PrintErrors::Displayed;
  Margins margins;
  bool center_horizontally = false, center_vertically = false;
  bool print_gridlines = false, print_headings = false;
};

// A picture a header or footer section shows where its text has &G (.xlsx: a shape of the
// sheet's header/footer VML drawing; .xls: a shape of the sheet's HFPicture drawing). Only PNG
// and JPEG are drawn; other formats are kept as Other and skipped by the printing.
enum class HeaderFooterPage : std::uint8_t { Odd, Even, First };  // odd_header, even_…, first_…
enum class HeaderFooterSection : std::uint8_t { Left, Center, Right };
enum class PictureFormat : std::uint8_t { Other, Png, Jpeg };

struct HeaderFooterPicture {
  bool footer = false;
  HeaderFooterPage page = HeaderFooterPage::Odd;
  HeaderFooterSection section = HeaderFooterSection::Center;
  double width_pt = 0, height_pt = 0;  // the size the drawing states
  PictureFormat format = PictureFormat::Other;
  std::string part;   // where the image came from ("xl/media/image1.png", "HFPicture blip 2")
  std::string bytes;  // the image file
};

// Both readers name a picture's place as VML does: "CH", "LF", "RHEVEN", "CFFIRST" (section,
// header or footer, then the pages). False for any other name.
bool ParseHeaderFooterShapeName(std::string_view name, HeaderFooterPicture* out);
// PNG or JPEG by the file's signature; anything else is Other.
PictureFormat SniffPictureFormat(std::string_view bytes);

// Header and footer texts with their &-codes, as stored.
struct HeaderFooter {
  std::string odd_header, odd_footer;
  std::string even_header, even_footer;    // used only with different_odd_even
  std::string first_header, first_footer;  // used only with different_first
  bool different_odd_even = false;
  bool different_first = false;
  bool scale_with_doc = true;
  bool align_with_margins = true;
  std::vector<HeaderFooterPicture> pictures;  // at most one per section of each text

  // The picture of one section of a header or footer text, or null.
  const HeaderFooterPicture* PictureFor(bool footer, HeaderFooterPage page,
                                        HeaderFooterSection section) const;
};

struct SheetLayout {
  // Column widths: spans as stored, then the sheet's default for every other column.
  std::vector<ColumnSpan> columns;  // sorted by first, not overlapping
  // Characters, padding included (STANDARDWIDTH, sheetFormatPr/@defaultColWidth).
  std::optional<double> default_col_width;
  // Characters without padding (DEFCOLWIDTH, sheetFormatPr/@baseColWidth). Most .xls files
  // state only this: the default width then follows from it and the Normal font.
  std::optional<double> base_col_width;
  // Rows that carry a record; every other row has the default height.
  std::unordered_map<std::uint32_t, RowInfo> rows;
  std::optional<double> default_row_height_pt;
  bool default_rows_hidden = false;
  // The style index of every cell that names one, formatted empty cells included; keyed by
  // CellKey, wide enough for either format's grid.
  std::unordered_map<std::uint64_t, std::uint32_t> cell_styles;
  // The style of a cell with no style of its own, its row's or its column's (BIFF's default
  // cell XF is 15, SpreadsheetML's is 0).
  std::uint32_t default_style = 0;
  std::vector<CellRange> merges;
  PageSetup page;
  HeaderFooter header_footer;
  std::vector<std::uint32_t> row_breaks;  // manual: a page starts at each of these rows
  std::vector<std::uint32_t> col_breaks;  // manual: a page starts at each of these columns
  std::vector<CellRange> print_area;      // empty: the used range
  // First and last title row or column, repeated on every page.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> title_rows;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> title_cols;
  bool show_gridlines = true;  // on screen; printing uses page.print_gridlines

  static std::uint64_t CellKey(std::uint32_t row, std::uint32_t col) {
    return (std::uint64_t{row} << 32) | col;
  }
  // The style index of a cell: its own, else its row's, else its column's, else the default.
  std::uint32_t StyleOf(std::uint32_t row, std::uint32_t col) const;
  // The stored width of a column (characters, padding included), or nullopt for the default.
  std::optional<double> StoredWidth(std::uint32_t col) const;
  bool ColumnHidden(std::uint32_t col) const;
  bool RowHidden(std::uint32_t row) const;
};

// Both readers' column spans in column order; a span overlapping an earlier one is damage and
// is dropped.
void TidyColumns(std::vector<ColumnSpan>* columns);

}  // namespace ledgerix::engine
