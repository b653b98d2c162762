// How an .xls workbook looks and prints: its formats (FONT, FORMAT, XF, PALETTE), its print
// names, and one short handler per sheet record. One file past 600 lines on purpose: the handlers
// share the record loop, the palette and the skip-on-damage rule stated below, and split apart
// that rule would have to be restated in each piece.
#include "engine/xls_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "engine/biff_cursor.h"
#include "engine/book.h"
#include "engine/color_palette.h"

namespace ledgerix::engine::biff {
namespace {

// What corruption does here: every record below is cosmetic. A handler that meets a short or
// inconsistent record throws from its cursor; the loop skips that record and goes on, so a
// workbook that opens is never failed by how it looks.

enum LayoutRecordId : std::uint16_t {
  kFont = 0x0031,
  kFormat = 0x041E,
  kXf = 0x00E0,
  kPalette = 0x0092,
  kName = 0x0018,
  kExternSheet = 0x0017,
  kStandardWidth = 0x0099,
  kMergeCells = 0x00E5,
  kSetup = 0x00A1,
  kLeftMargin = 0x0026,
  kRightMargin = 0x0027,
  kTopMargin = 0x0028,
  kBottomMargin = 0x0029,
  kHCenter = 0x0083,
  kVCenter = 0x0084,
  kPrintHeaders = 0x002A,
  kPrintGridlines = 0x002B,
  kHeader = 0x0014,
  kFooter = 0x0015,
  kHeaderFooter = 0x089C,
  kHorizontalPageBreaks = 0x001B,
  kVerticalPageBreaks = 0x001A,
  kUserSViewBegin = 0x01AA,
  kUserSViewEnd = 0x01AB,
};

struct Palette {
  std::uint32_t colors[56];
  explicit Palette(Version version) {
    std::memcpy(colors, kDefaultIndexedColors + 8, sizeof colors);
    // BIFF5's default palette differs from BIFF8's in one entry.
    if (version == Version::kBiff5) colors[47 - 8] = 0xE3E3E3;
  }
  // Indexes 64 and up (system window text and background, 0x7FFF "automatic") follow the
  // application's defaults.
  ColorRef Resolve(std::uint32_t icv) const {
    if (icv < 8) return ColorRef::Rgb(kDefaultIndexedColors[icv]);
    if (icv < 64) return ColorRef::Rgb(colors[icv - 8]);
    return ColorRef::Auto();
  }
};

// A byte string of BIFF5 (count of count_bytes bytes, code-page bytes) or a BIFF8
// XLUnicodeString (count, option byte, characters).
std::string ReadText(const XlsSource& source, RecordCursor& c, int count_bytes) {
  if (source.version == Version::kBiff8) return ReadBiff8String(c, count_bytes);
  std::size_t count = count_bytes == 1 ? c.U8() : c.U16();
  std::string_view bytes = c.Bytes(count);
  std::string text;
  if (!source.decoder->Decode(bytes, &text)) c.Fail("text is not valid in its code page");
  return text;
}

double ReadInches(RecordCursor& c) {
  double value = c.F64();
  // Margins of a hundred inches are damage, not a setting.
  if (!std::isfinite(value) || value < 0 || value > 100) c.Fail("margin out of range");
  return value;
}

// ---- workbook formats -------------------------------------------------------------------------

FontStyle ReadFont(const XlsSource& source, RecordCursor& c, const Palette& palette) {
  FontStyle font;
  font.size_pt = c.U16() / 20.0;
  std::uint16_t grbit = c.U16();
  font.italic = (grbit & 0x0002) != 0;
  font.strike = (grbit & 0x0008) != 0;
  font.color = palette.Resolve(c.U16());
  font.bold = c.U16() >= 600;
  switch (c.U16()) {
    case 1:
      font.script = Script::Super;
      break;
    case 2:
      font.script = Script::Sub;
      break;
    default:
      break;
  }
  switch (c.U8()) {
    case 0x01:
      font.underline = Underline::Single;
      break;
    case 0x02:
      font.underline = Underline::Double;
      break;
    case 0x21:
      font.underline = Underline::SingleAccounting;
      break;
    case 0x22:
      font.underline = Underline::DoubleAccounting;
      break;
    default:
      break;
  }
  c.Skip(3);  // family, character set, reserved
  font.name = ReadText(source, c, 1);
  return font;
}

BorderStyle LineStyle(unsigned dg) {
  return dg <= static_cast<unsigned>(BorderStyle::SlantDashDot) ? static_cast<BorderStyle>(dg)
                                                                : BorderStyle::None;
}

HAlign HorizontalAlign(unsigned alc) {
  switch (alc) {
    case 1:
      return HAlign::Left;
    case 2:
      return HAlign::Center;
    case 3:
      return HAlign::Right;
    case 4:
      return HAlign::Fill;
    case 5:
      return HAlign::Justify;
    case 6:
      return HAlign::CenterAcross;
    case 7:
      return HAlign::Distributed;
    default:
      return HAlign::General;
  }
}

VAlign VerticalAlign(unsigned alcv) {
  switch (alcv) {
    case 0:
      return VAlign::Top;
    case 1:
      return VAlign::Center;
    case 3:
      return VAlign::Justify;
    case 4:
      return VAlign::Distributed;
    default:
      return VAlign::Bottom;
  }
}

// An XF with its own attributes. Excel shows a cell XF's own values even where its used-flags
// point at the parent style (the two agree in what it writes), so no attribute is taken from
// the parent here.
CellStyle ReadXf(const XlsSource& source, RecordCursor& c, const std::vector<FontStyle>& fonts,
                 const std::map<std::uint16_t, std::string>& formats, const Palette& palette) {
  CellStyle style;
  std::uint16_t ifnt = c.U16();
  // Font index 4 is never written: indexes above it are one past their record.
  std::size_t font_record = ifnt < 4 ? ifnt : ifnt - 1u;
  if (font_record < fonts.size()) {
    style.font = fonts[font_record];
  } else if (!fonts.empty()) {
    style.font = fonts[0];
  }
  style.num_fmt_id = c.U16();
  if (auto it = formats.find(style.num_fmt_id); it != formats.end()) {
    style.num_fmt_code = it->second;
  }
  c.U16();  // protection, style flag, parent style
  std::uint8_t align = c.U8();
  style.halign = HorizontalAlign(align & 0x07);
  style.wrap = (align & 0x08) != 0;
  style.valign = VerticalAlign((align >> 4) & 0x07);
  if (source.version == Version::kBiff8) {
    std::uint8_t rotation = c.U8();
    style.rotation = rotation <= 180 || rotation == 255 ? rotation : 0;
    std::uint8_t indent = c.U8();
    style.indent = indent & 0x0F;
    style.shrink = (indent & 0x10) != 0;
    c.U8();  // used-attribute flags
    std::uint32_t border1 = c.U32();
    std::uint32_t border2 = c.U32();
    std::uint16_t fill = c.U16();
    style.left = {LineStyle(border1 & 0x0F), palette.Resolve((border1 >> 16) & 0x7F)};
    style.right = {LineStyle((border1 >> 4) & 0x0F), palette.Resolve((border1 >> 23) & 0x7F)};
    style.top = {LineStyle((border1 >> 8) & 0x0F), palette.Resolve(border2 & 0x7F)};
    style.bottom = {LineStyle((border1 >> 12) & 0x0F), palette.Resolve((border2 >> 7) & 0x7F)};
    style.diagonal_down = (border1 & 0x40000000u) != 0;
    style.diagonal_up = (border1 & 0x80000000u) != 0;
    style.diagonal = {LineStyle((border2 >> 21) & 0x0F), palette.Resolve((border2 >> 14) & 0x7F)};
    unsigned pattern = (border2 >> 26) & 0x3F;
    style.fill.pattern = pattern <= 18 ? static_cast<std::uint8_t>(pattern) : 0;
    style.fill.foreground = palette.Resolve(fill & 0x7F);
    style.fill.background = palette.Resolve((fill >> 7) & 0x7F);
  } else {
    std::uint8_t orientation = c.U8();
    static constexpr std::uint16_t kRotation[4] = {0, 255, 90, 180};
    style.rotation = kRotation[orientation & 0x03];
    std::uint32_t fill = c.U32();
    std::uint32_t border = c.U32();
    unsigned pattern = (fill >> 16) & 0x3F;
    style.fill.pattern = pattern <= 18 ? static_cast<std::uint8_t>(pattern) : 0;
    style.fill.foreground = palette.Resolve(fill & 0x7F);
    style.fill.background = palette.Resolve((fill >> 7) & 0x7F);
    style.bottom = {LineStyle((fill >> 22) & 0x07), palette.Resolve((fill >> 25) & 0x7F)};
    style.top = {LineStyle(border & 0x07), palette.Resolve((border >> 9) & 0x7F)};
    style.left = {LineStyle((border >> 3) & 0x07), palette.Resolve((border >> 16) & 0x7F)};
    style.right = {LineStyle((border >> 6) & 0x07), palette.Resolve((border >> 23) & 0x7F)};
  }
  return style;
}

// ---- print names --------------------------------------------------------------------------

struct PrintNames {
  std::vector<CellRange> area;
  std::vector<CellRange> titles;
};

// The areas a built-in name's formula lists: a single 2D/3D reference or area, or a
// PtgMemFunc/PtgMemArea list joined by unions. nullopt for anything else (a deleted
// reference, a function), which leaves the sheet without that setting.
std::optional<std::vector<CellRange>> NameRanges(RecordCursor& c, std::size_t cce, Version version,
                                                 std::size_t xti_count) {
  bool biff8 = version == Version::kBiff8;
  std::uint32_t max_row = biff8 ? 0xFFFF : 0x3FFF;
  std::vector<CellRange> ranges;
  std::string_view rgce = c.Bytes(cce);
  std::size_t pos = 0;
  auto need = [&](std::size_t n) { return rgce.size() - pos >= n; };
  auto u8 = [&]() { return static_cast<std::uint8_t>(rgce[pos++]); };
  auto u16 = [&]() {
    std::uint16_t v = static_cast<std::uint16_t>(static_cast<std::uint8_t>(rgce[pos]) |
                                                 (static_cast<std::uint8_t>(rgce[pos + 1]) << 8));
    pos += 2;
    return v;
  };
  // BIFF8 keeps the relative flags in the column word, BIFF5 in the row word.
  auto row_of = [&](std::uint16_t v) -> std::uint32_t { return biff8 ? v : (v & 0x3FFF); };
  auto col_of = [&](std::uint16_t v) -> std::uint32_t { return biff8 ? (v & 0x00FF) : v; };
  auto add_area = [&](std::uint32_t r1, std::uint32_t r2, std::uint32_t c1, std::uint32_t c2) {
    if (r1 > r2) std::swap(r1, r2);
    if (c1 > c2) std::swap(c1, c2);
    ranges.push_back({std::min(r1, max_row), c1, std::min(r2, max_row), c2});
  };
  while (pos < rgce.size()) {
    std::uint8_t ptg = u8();
    std::uint8_t base = ptg >= 0x20 ? static_cast<std::uint8_t>((ptg & 0x1F) | 0x20) : ptg;
    switch (base) {
      case 0x10:  // PtgUnion
      case 0x15:  // PtgParen
        break;
      case 0x29:  // PtgMemFunc: the size of the list that follows
        if (!need(2)) return std::nullopt;
        pos += 2;
        break;
      case 0x26:  // PtgMemArea: reserved bytes and size, the list follows
        if (!need(6)) return std::nullopt;
        pos += 6;
        break;
      case 0x3B:  // PtgArea3d
        if (biff8) {
          if (!need(10)) return std::nullopt;
          // A built-in name of a sheet refers to that sheet; an ixti past the EXTERNSHEET
          // table makes the reference void, as the applications read it.
          if (u16() >= xti_count) return std::nullopt;
          std::uint16_t r1 = u16(), r2 = u16(), c1 = u16(), c2 = u16();
          add_area(row_of(r1), row_of(r2), col_of(c1), col_of(c2));
        } else {
          if (!need(20)) return std::nullopt;
          pos += 14;
          std::uint16_t r1 = u16(), r2 = u16();
          std::uint8_t c1 = u8(), c2 = u8();
          add_area(row_of(r1), row_of(r2), c1, c2);
        }
        break;
      case 0x3A:  // PtgRef3d
        if (biff8) {
          if (!need(6)) return std::nullopt;
          if (u16() >= xti_count) return std::nullopt;
          std::uint16_t r = u16(), col = u16();
          add_area(row_of(r), row_of(r), col_of(col), col_of(col));
        } else {
          if (!need(17)) return std::nullopt;
          pos += 14;
          std::uint16_t r = u16();
          std::uint8_t col = u8();
          add_area(row_of(r), row_of(r), col, col);
        }
        break;
      case 0x25:  // PtgArea
        if (biff8) {
          if (!need(8)) return std::nullopt;
          std::uint16_t r1 = u16(), r2 = u16(), c1 = u16(), c2 = u16();
          add_area(row_of(r1), row_of(r2), col_of(c1), col_of(c2));
        } else {
          if (!need(6)) return std::nullopt;
          std::uint16_t r1 = u16(), r2 = u16();
          std::uint8_t c1 = u8(), c2 = u8();
          add_area(row_of(r1), row_of(r2), c1, c2);
        }
        break;
      case 0x24:  // PtgRef
        if (biff8) {
          if (!need(4)) return std::nullopt;
          std::uint16_t r = u16(), col = u16();
          add_area(row_of(r), row_of(r), col_of(col), col_of(col));
        } else {
          if (!need(3)) return std::nullopt;
          std::uint16_t r = u16();
          std::uint8_t col = u8();
          add_area(row_of(r), row_of(r), col, col);
        }
        break;
      default:
        return std::nullopt;
    }
  }
  if (ranges.empty()) return std::nullopt;
  return ranges;
}

// Built-in names 0x06 (Print_Area) and 0x07 (Print_Titles) of the sheet at tab. A name that
// only spells "Print_Area" without fBuiltin is an ordinary name: LibreOffice reads it so, and
// the format defines the print area by the flag.
void ReadName(const XlsSource& source, RecordCursor& c, int tab, std::size_t xti_count,
              PrintNames* out) {
  std::uint16_t grbit = c.U16();
  c.U8();  // keyboard shortcut
  std::size_t cch = c.U8();
  std::size_t cce = c.U16();
  c.U16();
  std::uint16_t itab = c.U16();
  c.Skip(4);  // menu, description, help and status text lengths
  if (itab == 0 || itab != tab + 1 || (grbit & 0x0020) == 0 || cch != 1) return;
  unsigned code = 0;
  if (source.version == Version::kBiff8) {
    std::uint8_t flags = c.U8();
    code = (flags & 0x01) ? c.U16() : c.U8();
  } else {
    code = c.U8();
  }
  if (code != 0x06 && code != 0x07) return;
  std::optional<std::vector<CellRange>> ranges = NameRanges(c, cce, source.version, xti_count);
  if (!ranges) return;
  (code == 0x06 ? out->area : out->titles) = std::move(*ranges);
}

// ---- sheet records ------------------------------------------------------------------------

struct SheetReader {
  const XlsSource& source;
  SheetLayout& out;
  bool biff8() const { return source.version == Version::kBiff8; }
  bool cells_have_xf() const { return source.version >= Version::kBiff5; }
  std::uint32_t max_col() const { return 255; }

  void SetCellStyle(std::uint32_t row, std::uint32_t col, std::uint32_t xf) {
    out.cell_styles[SheetLayout::CellKey(row, col)] = xf;
  }

  void ReadCellXf(RecordCursor& c) {
    std::uint32_t row = c.U16(), col = c.U16();
    SetCellStyle(row, col, c.U16());
  }

  void ReadMulBlank(RecordCursor& c) {
    std::uint32_t row = c.U16(), col = c.U16();
    if (c.remaining() < 2 || (c.remaining() - 2) % 2 != 0) c.Fail("length is not 6 + 2 per cell");
    std::size_t cells = (c.remaining() - 2) / 2;
    for (std::size_t i = 0; i < cells; ++i) {
      SetCellStyle(row, col + static_cast<std::uint32_t>(i), c.U16());
    }
  }

  void ReadMulRk(RecordCursor& c) {
    std::uint32_t row = c.U16(), col = c.U16();
    if (c.remaining() < 2 || (c.remaining() - 2) % 6 != 0) c.Fail("length is not 6 + 6 per cell");
    std::size_t cells = (c.remaining() - 2) / 6;
    for (std::size_t i = 0; i < cells; ++i) {
      SetCellStyle(row, col + static_cast<std::uint32_t>(i), c.U16());
      c.U32();
    }
  }

  void ReadColInfo(RecordCursor& c) {
    std::uint32_t first = c.U16(), last = c.U16();
    std::uint16_t coldx = c.U16();
    std::uint16_t ixfe = c.U16();
    std::uint16_t grbit = c.U16();
    // Excel 97 writes the last span up to column 256, one past the grid.
    last = std::min(last, max_col());
    if (first > last) return;
    ColumnSpan span;
    span.first = first;
    span.last = last;
    span.width = coldx / 256.0;
    // A column narrowed to nothing is hidden, flag or not.
    span.hidden = (grbit & 0x0001) != 0 || coldx == 0;
    span.style = ixfe;
    out.columns.push_back(span);
  }

  void ReadRow(RecordCursor& c) {
    std::uint32_t row = c.U16();
    c.Skip(4);  // first and last column
    std::uint16_t height = c.U16();
    c.Skip(4);
    std::uint32_t flags = c.U32();
    RowInfo info;
    // Bit 15 says the row keeps the default height, whatever the other bits hold.
    if ((height & 0x8000) == 0) info.height_pt = (height & 0x7FFF) / 20.0;
    info.hidden = (flags & 0x20) != 0;
    info.custom_height = (flags & 0x40) != 0;
    if (flags & 0x80) info.style = (flags >> 16) & 0x0FFF;
    out.rows[row] = info;
  }

  void ReadDefaultRowHeight(RecordCursor& c) {
    std::uint16_t flags = c.U16();
    std::uint16_t height = c.U16();
    out.default_rows_hidden = (flags & 0x0002) != 0;
    // With fDyZero the field is the height the hidden rows would have.
    out.default_row_height_pt = height / 20.0;
  }

  void ReadMergeCells(RecordCursor& c) {
    std::size_t count = c.U16();
    count = std::min(count, c.remaining() / 8);
    for (std::size_t i = 0; i < count; ++i) {
      CellRange range;
      range.first_row = c.U16();
      range.last_row = c.U16();
      range.first_col = c.U16();
      range.last_col = c.U16();
      if (range.first_row > range.last_row || range.first_col > range.last_col) continue;
      if (range.first_row == range.last_row && range.first_col == range.last_col) continue;
      out.merges.push_back(range);
    }
  }

  void ReadSetup(RecordCursor& c) {
    PageSetup& page = out.page;
    std::uint16_t paper = c.U16();
    std::uint16_t scale = c.U16();
    std::int16_t start = static_cast<std::int16_t>(c.U16());
    std::uint16_t fit_width = c.U16();
    std::uint16_t fit_height = c.U16();
    std::uint16_t grbit = c.U16();
    bool no_printer_settings = (grbit & 0x0004) != 0;  // fNoPls: paper, scale, copies unset
    page.page_order = (grbit & 0x0001) ? PageOrder::OverThenDown : PageOrder::DownThenOver;
    page.fit_width = fit_width;
    page.fit_height = fit_height;
    page.black_and_white = (grbit & 0x0008) != 0;
    page.draft = (grbit & 0x0010) != 0;
    if (grbit & 0x0080) page.first_page_number = start;
    if (!no_printer_settings) {
      if (paper != 0) page.paper = paper;
      if (scale >= 10 && scale <= 400) page.scale = scale;
      if ((grbit & 0x0040) == 0) {
        page.orientation = (grbit & 0x0002) ? Orientation::Portrait : Orientation::Landscape;
      }
    }
    if (biff8()) {
      switch ((grbit >> 10) & 0x03) {
        case 1:
          page.errors = PrintErrors::Blank;
          break;
        case 2:
          page.errors = PrintErrors::Dash;
          break;
        case 3:
          page.errors = PrintErrors::NA;
          break;
        default:
          break;
      }
    }
    if (c.remaining() < 22) return;  // BIFF4 stops here
    c.Skip(4);                       // printer resolutions
    double header = c.F64(), footer = c.F64();
    if (std::isfinite(header) && header >= 0 && header <= 100) page.margins.header = header;
    if (std::isfinite(footer) && footer >= 0 && footer <= 100) page.margins.footer = footer;
    std::uint16_t copies = c.U16();
    if (!no_printer_settings && copies >= 1) page.copies = copies;
  }

  std::string ReadHeaderText(RecordCursor& c) {
    if (c.remaining() == 0) return {};  // an empty record: no text
    return ReadText(source, c, biff8() ? 2 : 1);
  }

  void ReadHeaderFooter(RecordCursor& c) {
    c.Skip(12 + 16);  // future-record header, custom view id
    std::uint16_t flags = c.U16();
    std::size_t lengths[4];
    for (std::size_t& n : lengths) n = c.U16();
    std::string texts[4];
    for (int i = 0; i < 4; ++i) {
      if (lengths[i] == 0) continue;
      texts[i] = ReadBiff8String(c, 2);
    }
    HeaderFooter& hf = out.header_footer;
    hf.different_odd_even = (flags & 0x0001) != 0;
    hf.different_first = (flags & 0x0002) != 0;
    hf.scale_with_doc = (flags & 0x0004) != 0;
    hf.align_with_margins = (flags & 0x0008) != 0;
    hf.even_header = std::move(texts[0]);
    hf.even_footer = std::move(texts[1]);
    hf.first_header = std::move(texts[2]);
    hf.first_footer = std::move(texts[3]);
  }

  void ReadPageBreaks(RecordCursor& c, std::vector<std::uint32_t>* breaks) {
    std::size_t count = c.U16();
    std::size_t each = biff8() ? 6 : 2;
    count = std::min(count, c.remaining() / each);
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t at = c.U16();
      if (biff8()) c.Skip(4);  // the span of the break, always the whole sheet in practice
      if (at > 0) found.push_back(at);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    *breaks = std::move(found);
  }

  bool Flag(RecordCursor& c) { return c.U16() != 0; }

  void Read(const Record& r) {
    RecordCursor c(source.stream, r);
    switch (r.id) {
      case kBlank:
      case kNumber:
      case kRk:
      case kLabelSst:
      case kLabel:
      case kRString:
      case kBoolErr:
      case kFormula:
        if (cells_have_xf()) ReadCellXf(c);
        break;
      case kMulBlank:
        if (cells_have_xf()) ReadMulBlank(c);
        break;
      case kMulRk:
        if (cells_have_xf()) ReadMulRk(c);
        break;
      case kColInfo:
        ReadColInfo(c);
        break;
      case kDefColWidth:
        out.base_col_width = c.U16();
        break;
      case kStandardWidth:
        out.default_col_width = c.U16() / 256.0;
        break;
      case kRow:
        if (cells_have_xf()) ReadRow(c);
        break;
      case kDefaultRowHeight:
        if (source.version >= Version::kBiff3) ReadDefaultRowHeight(c);
        break;
      case kMergeCells:
        ReadMergeCells(c);
        break;
      case kSetup:
        ReadSetup(c);
        break;
      case kLeftMargin:
        out.page.margins.left = ReadInches(c);
        break;
      case kRightMargin:
        out.page.margins.right = ReadInches(c);
        break;
      case kTopMargin:
        out.page.margins.top = ReadInches(c);
        break;
      case kBottomMargin:
        out.page.margins.bottom = ReadInches(c);
        break;
      case kHCenter:
        out.page.center_horizontally = Flag(c);
        break;
      case kVCenter:
        out.page.center_vertically = Flag(c);
        break;
      case kPrintGridlines:
        out.page.print_gridlines = Flag(c);
        break;
      case kPrintHeaders:
        out.page.print_headings = Flag(c);
        break;
      case kWsBool:
        if (r.size >= 2) {
          c.U8();
          out.page.fit_to_page = (c.U8() & 0x01) != 0;
        }
        break;
      case kHeader:
        out.header_footer.odd_header = ReadHeaderText(c);
        break;
      case kFooter:
        out.header_footer.odd_footer = ReadHeaderText(c);
        break;
      case kHeaderFooter:
        if (biff8()) ReadHeaderFooter(c);
        break;
      case kHorizontalPageBreaks:
        ReadPageBreaks(c, &out.row_breaks);
        break;
      case kVerticalPageBreaks:
        ReadPageBreaks(c, &out.col_breaks);
        break;
      case kWindow2:
        if (cells_have_xf()) out.show_gridlines = (c.U16() & 0x0002) != 0;
        break;
      default:
        break;
    }
  }
};

// Title rows span every column; title columns every row.
void ApplyTitles(const std::vector<CellRange>& titles, std::uint32_t max_row, SheetLayout* out) {
  for (const CellRange& range : titles) {
    if (range.first_col == 0 && range.last_col >= 255) {
      out->title_rows = std::make_pair(range.first_row, range.last_row);
    } else if (range.first_row == 0 && range.last_row >= max_row) {
      out->title_cols = std::make_pair(range.first_col, range.last_col);
    }
  }
}

}  // namespace

void ReadXlsStyles(const XlsSource& source, StyleTable* out) {
  if (source.version < Version::kBiff5 || !source.globals) return;
  const std::vector<Record>& records = source.globals->records;
  Palette palette(source.version);
  // The palette comes after the fonts and formats that use it, so it is read first.
  for (const Record& r : records) {
    if (r.id != kPalette) continue;
    try {
      RecordCursor c(source.stream, r);
      std::size_t count = std::min<std::size_t>(c.U16(), 56);
      for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t red = c.U8(), green = c.U8(), blue = c.U8();
        c.U8();
        palette.colors[i] = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
      }
    } catch (const BookError&) {
      palette = Palette(source.version);  // a torn palette: the defaults rather than half
    }
  }
  std::vector<FontStyle> fonts;
  std::map<std::uint16_t, std::string> formats;
  std::vector<std::size_t> xfs;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    try {
      RecordCursor c(source.stream, r);
      if (r.id == kFont) {
        fonts.push_back(ReadFont(source, c, palette));
      } else if (r.id == kFormat) {
        std::uint16_t ifmt = c.U16();
        formats[ifmt] = ReadText(source, c, source.version == Version::kBiff8 ? 2 : 1);
      } else if (r.id == kXf) {
        xfs.push_back(i);
      }
    } catch (const BookError&) {
      // A damaged font keeps its place so later indexes still point at the right records.
      if (r.id == kFont) fonts.emplace_back();
    }
  }
  if (!fonts.empty()) out->normal_font = fonts[0];
  out->styles.reserve(xfs.size());
  for (std::size_t index : xfs) {
    CellStyle style;
    try {
      RecordCursor c(source.stream, records[index]);
      style = ReadXf(source, c, fonts, formats, palette);
    } catch (const BookError&) {
      style = CellStyle();  // keeps the XF numbering of the records after it
      style.font = out->normal_font;
    }
    out->styles.push_back(std::move(style));
  }
}

void ReadXlsLayout(const XlsSource& source, const Substream& sheet, int tab, SheetLayout* out) {
  // BIFF's cell without a format of its own shows XF 15, the default cell format.
  out->default_style = 15;
  SheetReader reader{source, *out};
  int depth = 0;
  bool in_custom_view = false;
  std::vector<Record> pictures;
  for (const Record& r : sheet.records) {
    if (r.id == kBof || r.id == kBof2 || r.id == kBof3 || r.id == kBof4) {
      ++depth;
      continue;
    }
    if (r.id == kEof) {
      --depth;
      continue;
    }
    if (depth != 1) continue;  // embedded charts have page setups of their own
    // A custom view repeats the setup records for itself; the sheet's are outside.
    if (r.id == kUserSViewBegin) in_custom_view = true;
    if (r.id == kUserSViewEnd) in_custom_view = false;
    if (in_custom_view) continue;
    if (r.id == kHfPicture) pictures.push_back(r);
    try {
      reader.Read(r);
    } catch (const BookError&) {
      // A damaged cosmetic record is passed over.
    }
  }
  TidyColumns(&out->columns);
  if (!pictures.empty()) ReadXlsHeaderFooterPictures(source, pictures, &out->header_footer);

  if (!source.globals || source.version < Version::kBiff5 || tab < 0) return;
  PrintNames names;
  std::size_t xti_count = 0;
  for (const Record& r : source.globals->records) {
    if (r.id == kExternSheet && source.version == Version::kBiff8 && r.size >= 2) {
      RecordCursor c(source.stream, r);
      xti_count = std::min<std::size_t>(c.U16(), (r.size - 2) / 6);
    }
  }
  for (const Record& r : source.globals->records) {
    if (r.id != kName) continue;
    try {
      RecordCursor c(source.stream, r);
      ReadName(source, c, tab, xti_count, &names);
    } catch (const BookError&) {
    }
  }
  out->print_area = std::move(names.area);
  ApplyTitles(names.titles, source.version == Version::kBiff8 ? 0xFFFF : 0x3FFF, out);
}

}  // namespace ledgerix::engine::biff
