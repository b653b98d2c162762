#include "print/paginate.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace ledgerix::print {
namespace {

constexpr double kEpsilon = 1e-6;

PaperSize Inches(double w, double h) { return {w * kPointsPerInch, h * kPointsPerInch}; }
PaperSize Mm(double w, double h) { return {w * kPointsPerMm, h * kPointsPerMm}; }

// One axis of a range cut into bands: [first, last] index pairs.
using Bands = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

double Span(const std::vector<double>& sizes, std::uint32_t first, std::uint32_t last) {
  double sum = 0;
  for (std::uint32_t i = first; i <= last && i < sizes.size(); ++i) sum += sizes[i];
  return sum;
}

double SizeAt(const std::vector<double>& sizes, std::uint32_t i) {
  return i < sizes.size() ? sizes[i] : 0.0;
}

// Bands of [first, last]: a manual break always starts one, and one starts wherever the next
// entry would pass `avail`. Bands that start after the title block lose the titles' size.
Bands Cut(const std::vector<double>& sizes, std::uint32_t first, std::uint32_t last, double avail,
          const std::set<std::uint32_t>& manual,
          const std::optional<std::pair<std::uint32_t, std::uint32_t>>& titles) {
  Bands bands;
  double title_size = titles ? Span(sizes, titles->first, titles->second) : 0.0;
  auto room = [&](std::uint32_t start) {
    return titles && start > titles->second ? avail - title_size : avail;
  };
  std::uint32_t start = first;
  double used = 0;
  for (std::uint32_t i = first; i <= last; ++i) {
    double size = SizeAt(sizes, i);
    if (i > start && (manual.count(i) || (size > 0 && used + size > room(start) + kEpsilon))) {
      bands.emplace_back(start, i - 1);
      start = i;
      used = 0;
    }
    used += size;
  }
  bands.emplace_back(start, last);
  return bands;
}

struct Cut2D {
  Bands rows, cols;
};

std::vector<Cut2D> CutAll(const SheetGeometry& g, const PageFrame& f, double scale) {
  std::set<std::uint32_t> mrows(g.manual_row_breaks.begin(), g.manual_row_breaks.end());
  std::set<std::uint32_t> mcols(g.manual_col_breaks.begin(), g.manual_col_breaks.end());
  std::vector<Cut2D> cuts;
  for (const engine::CellRange& r : g.ranges) {
    // Printed headings take their row and column off every page, at the same scale as the cells.
    cuts.push_back({Cut(g.row_height_pt, r.first_row, r.last_row,
                        f.PrintableHeight() / scale - f.HeadingHeight(), mrows, g.title_rows),
                    Cut(g.col_width_pt, r.first_col, r.last_col,
                        f.PrintableWidth() / scale - f.HeadingWidth(), mcols, g.title_cols)});
  }
  return cuts;
}

bool Fits(const std::vector<Cut2D>& cuts, const PageFrame& f) {
  for (const Cut2D& c : cuts) {
    if (f.fit_width > 0 && c.cols.size() > static_cast<std::size_t>(f.fit_width)) return false;
    if (f.fit_height > 0 && c.rows.size() > static_cast<std::size_t>(f.fit_height)) return false;
  }
  return true;
}

// The largest whole percent (10-100) at which the ranges fit the pages asked for, searched by
// halving as spreadsheet applications do; 10 when nothing fits.
int FitPercent(const SheetGeometry& g, const PageFrame& f) {
  if (Fits(CutAll(g, f, 1.0), f)) return 100;
  int fit = 10, miss = 100;
  while (miss - fit > 1) {
    int mid = (fit + miss) / 2;
    if (Fits(CutAll(g, f, mid / 100.0), f)) {
      fit = mid;
    } else {
      miss = mid;
    }
  }
  return fit;
}

}  // namespace

std::optional<PaperSize> PaperForCode(std::uint16_t code) {
  switch (code) {
    case 1:
    case 2:
    case 18:
      return Inches(8.5, 11);
    case 3:
    case 17:
      return Inches(11, 17);
    case 4:
      return Inches(17, 11);
    case 5:
      return Inches(8.5, 14);
    case 6:
      return Inches(5.5, 8.5);
    case 7:
      return Inches(7.25, 10.5);
    case 8:
      return Mm(297, 420);
    case 9:
    case 10:
      return Mm(210, 297);
    case 11:
      return Mm(148, 210);
    case 12:
      return Mm(257, 364);
    case 13:
      return Mm(182, 257);
    case 14:
      return Inches(8.5, 13);
    case 15:
      return Mm(215, 275);
    case 16:
      return Inches(10, 14);
    case 20:
      return Inches(4.125, 9.5);
    case 27:
      return Mm(110, 220);
    case 28:
      return Mm(162, 229);
    case 29:
      return Mm(324, 458);
    case 30:
      return Mm(229, 324);
    case 31:
      return Mm(114, 162);
    case 33:
      return Mm(250, 353);
    case 34:
      return Mm(176, 250);
    case 66:
      return Mm(420, 594);
    case 70:
      return Mm(105, 148);
    default:
      return std::nullopt;
  }
}

std::optional<PaperSize> PaperNamedBy(const engine::PageSetup& page) {
  if (page.paper) {
    if (auto size = PaperForCode(*page.paper)) return *size;
  }
  if (page.paper_width_mm && page.paper_height_mm && *page.paper_width_mm > 0 &&
      *page.paper_height_mm > 0) {
    return Mm(*page.paper_width_mm, *page.paper_height_mm);
  }
  return std::nullopt;
}

PaperSize PaperFor(const engine::PageSetup& page, const std::optional<PaperSize>& unnamed) {
  if (auto named = PaperNamedBy(page)) return *named;
  if (unnamed && unnamed->width_pt > 0 && unnamed->height_pt > 0) return *unnamed;
  return Mm(210, 297);
}

double ColumnWidthPt(double width_chars, int mdw) {
  if (width_chars <= 0 || mdw <= 0) return 0;
  double px = std::trunc(((256 * width_chars + std::trunc(128.0 / mdw)) / 256) * mdw);
  return px * 72.0 / 96.0;
}

double DefaultWidthChars(double base_chars, int mdw) {
  if (mdw <= 0 || base_chars <= 0) return 0;
  // The base width plus padding and gridline, rounded up to a multiple of 8 pixels.
  double px = std::ceil((base_chars * mdw + 5) / 8) * 8;
  return std::trunc(px / mdw * 256) / 256;
}

PageFrame FrameFor(const engine::PageSetup& page, bool fit_width_override,
                   const std::optional<PaperSize>& unnamed_paper) {
  PageFrame f;
  PaperSize paper = PaperFor(page, unnamed_paper);
  bool landscape = page.orientation == engine::Orientation::Landscape;
  f.paper_width_pt = landscape ? paper.height_pt : paper.width_pt;
  f.paper_height_pt = landscape ? paper.width_pt : paper.height_pt;
  // Negative or absurd margins would leave no room for cells; such values take the defaults.
  auto inch = [&](const std::optional<double>& v, double fallback, double limit) {
    if (!v || !std::isfinite(*v) || *v < 0 || *v * kPointsPerInch >= limit) {
      return fallback * kPointsPerInch;
    }
    return *v * kPointsPerInch;
  };
  const engine::Margins& m = page.margins;
  f.left = inch(m.left, 0.75, f.paper_width_pt / 2);
  f.right = inch(m.right, 0.75, f.paper_width_pt / 2);
  f.top = inch(m.top, 1.0, f.paper_height_pt / 2);
  f.bottom = inch(m.bottom, 1.0, f.paper_height_pt / 2);
  f.header = inch(m.header, 0.5, f.paper_height_pt / 2);
  f.footer = inch(m.footer, 0.5, f.paper_height_pt / 2);
  f.center_horizontally = page.center_horizontally;
  f.center_vertically = page.center_vertically;
  f.headings = page.print_headings;
  f.over_then_down = page.page_order == engine::PageOrder::OverThenDown;
  f.scale_percent = page.scale && *page.scale > 0 ? std::clamp<int>(*page.scale, 10, 400) : 100;
  f.fit = page.fit_to_page;
  f.fit_width = page.fit_width;
  f.fit_height = page.fit_height;
  if (page.first_page_number) f.first_page_number = *page.first_page_number;
  if (fit_width_override) {
    f.fit_height = f.fit ? f.fit_height : 0;
    f.fit_width = 1;
    f.fit = true;
  }
  return f;
}

Pagination Paginate(const SheetGeometry& g, const PageFrame& f) {
  Pagination out;
  if (g.ranges.empty()) return out;
  // A scale of 0 (some writers store it) means 100%; anything else stays in 10-400% so a page
  // always holds at least one row and the loop ends.
  int percent = f.fit                  ? FitPercent(g, f)
                : f.scale_percent <= 0 ? 100
                                       : std::clamp(f.scale_percent, 10, 400);
  out.scale = percent / 100.0;
  std::vector<Cut2D> cuts = CutAll(g, f, out.scale);

  std::set<std::uint32_t> row_breaks, col_breaks;
  int number = f.first_page_number;
  for (std::size_t ri = 0; ri < cuts.size(); ++ri) {
    const Cut2D& cut = cuts[ri];
    for (std::size_t i = 1; i < cut.rows.size(); ++i) row_breaks.insert(cut.rows[i].first);
    for (std::size_t i = 1; i < cut.cols.size(); ++i) col_breaks.insert(cut.cols[i].first);
    std::size_t nr = cut.rows.size(), nc = cut.cols.size();
    for (std::size_t k = 0; k < nr * nc; ++k) {
      std::size_t r = f.over_then_down ? k / nc : k % nr;
      std::size_t c = f.over_then_down ? k % nc : k / nr;
      Page p;
      p.range = ri;
      p.first_row = cut.rows[r].first;
      p.last_row = cut.rows[r].second;
      p.first_col = cut.cols[c].first;
      p.last_col = cut.cols[c].second;
      p.title_rows = g.title_rows && p.first_row > g.title_rows->second;
      p.title_cols = g.title_cols && p.first_col > g.title_cols->second;
      double w = Span(g.col_width_pt, p.first_col, p.last_col) + f.HeadingWidth();
      double h = Span(g.row_height_pt, p.first_row, p.last_row) + f.HeadingHeight();
      if (p.title_cols) w += Span(g.col_width_pt, g.title_cols->first, g.title_cols->second);
      if (p.title_rows) h += Span(g.row_height_pt, g.title_rows->first, g.title_rows->second);
      p.width_pt = w * out.scale;
      p.height_pt = h * out.scale;
      p.x_pt = f.left;
      p.y_pt = f.top;
      if (f.center_horizontally) p.x_pt += std::max(0.0, (f.PrintableWidth() - p.width_pt) / 2);
      if (f.center_vertically) p.y_pt += std::max(0.0, (f.PrintableHeight() - p.height_pt) / 2);
      p.number = number++;
      out.pages.push_back(p);
    }
  }
  out.row_breaks.assign(row_breaks.begin(), row_breaks.end());
  out.col_breaks.assign(col_breaks.begin(), col_breaks.end());
  return out;
}

std::optional<engine::CellRange> UsedRange(const engine::SheetLayout& layout,
                                           const engine::StyleTable& styles,
                                           const engine::CellStore& cells) {
  bool any = false;
  engine::CellRange used;
  auto take = [&](std::uint32_t row, std::uint32_t col) {
    if (!any) {
      used = {0, 0, row, col};
      any = true;
    }
    used.last_row = std::max(used.last_row, row);
    used.last_col = std::max(used.last_col, col);
  };
  cells.ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
    if (v.type() == Variant::Type::String && v.string().empty()) return;
    take(row, col);
  });
  for (const auto& [key, index] : layout.cell_styles) {
    const engine::CellStyle& s = styles.Get(index);
    bool visible = s.fill.pattern != 0 || s.left.style != engine::BorderStyle::None ||
                   s.right.style != engine::BorderStyle::None ||
                   s.top.style != engine::BorderStyle::None ||
                   s.bottom.style != engine::BorderStyle::None;
    if (visible) take(static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key));
  }
  if (!any) return std::nullopt;
  // A merged area that starts inside the used range prints whole.
  for (bool grew = true; grew;) {
    grew = false;
    for (const engine::CellRange& m : layout.merges) {
      if (m.first_row <= used.last_row && m.first_col <= used.last_col &&
          (m.last_row > used.last_row || m.last_col > used.last_col)) {
        used.last_row = std::max(used.last_row, m.last_row);
        used.last_col = std::max(used.last_col, m.last_col);
        grew = true;
      }
    }
  }
  return used;
}

SheetGeometry MeasureSheet(const engine::SheetLayout& layout, const engine::StyleTable& styles,
                           const engine::CellStore& cells, TextMeasure& measure,
                           const ShownTextFn& shown) {
  SheetGeometry g;
  std::optional<engine::CellRange> used = UsedRange(layout, styles, cells);
  if (!layout.print_area.empty()) {
    // Past the last cell with content or a visible format every page would be blank: a print
    // area of the whole grid (some writers store one) prints the used part, not 100,000 pages.
    for (engine::CellRange r : layout.print_area) {
      if (!used || r.first_row > r.last_row || r.first_col > r.last_col ||
          r.first_row > used->last_row || r.first_col > used->last_col) {
        continue;
      }
      r.last_row = std::min(r.last_row, used->last_row);
      r.last_col = std::min(r.last_col, used->last_col);
      g.ranges.push_back(r);
    }
  } else if (used) {
    g.ranges.push_back(*used);
  }
  g.title_rows = layout.title_rows;
  g.title_cols = layout.title_cols;
  g.manual_row_breaks = layout.row_breaks;
  g.manual_col_breaks = layout.col_breaks;
  if (g.ranges.empty()) return g;

  std::uint32_t last_row = 0, last_col = 0;
  for (const engine::CellRange& r : g.ranges) {
    last_row = std::max(last_row, r.last_row);
    last_col = std::max(last_col, r.last_col);
  }
  if (g.title_rows) last_row = std::max(last_row, g.title_rows->second);
  if (g.title_cols) last_col = std::max(last_col, g.title_cols->second);
  // Guard against ranges naming the whole grid: nothing prints past the sheet's limits.
  last_row = std::min(last_row, engine::kMaxRows - 1);
  last_col = std::min(last_col, engine::kMaxCols - 1);

  int mdw = std::max(1, measure.MaxDigitWidthPx(styles.normal_font));
  double default_chars = layout.default_col_width
                             ? *layout.default_col_width
                             : DefaultWidthChars(layout.base_col_width.value_or(8.0), mdw);
  g.col_width_pt.resize(last_col + 1);
  for (std::uint32_t c = 0; c <= last_col; ++c) {
    if (layout.ColumnHidden(c)) continue;
    g.col_width_pt[c] = ColumnWidthPt(layout.StoredWidth(c).value_or(default_chars), mdw);
  }

  double default_height =
      layout.default_row_height_pt.value_or(measure.LineHeightPt(styles.normal_font));
  g.row_height_pt.assign(last_row + 1, default_height);
  for (std::uint32_t r = 0; r <= last_row; ++r) {
    auto it = layout.rows.find(r);
    if (layout.RowHidden(r)) {
      g.row_height_pt[r] = 0;
    } else if (it != layout.rows.end() && it->second.height_pt) {
      g.row_height_pt[r] = std::max(0.0, *it->second.height_pt);
    }
  }

  // Rows whose height is the application's own grow to hold their wrapped text; merged cells
  // do not count, as in the applications.
  auto in_merge = [&](std::uint32_t row, std::uint32_t col) {
    for (const engine::CellRange& m : layout.merges) {
      if (m.Contains(row, col) && (m.first_row != m.last_row || m.first_col != m.last_col)) {
        return true;
      }
    }
    return false;
  };
  cells.ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
    if (row > last_row || col > last_col || layout.RowHidden(row)) return;
    auto it = layout.rows.find(row);
    if (it != layout.rows.end() && it->second.custom_height) return;
    const engine::CellStyle& style = styles.Get(layout.StyleOf(row, col));
    double need = 0;
    if (style.wrap) {
      if (in_merge(row, col)) return;
      double width = std::max(1.0, g.col_width_pt[col] - 3.0);  // 2 px padding each side
      need = measure.WrappedHeightPt(shown(v, style), style.font, width);
    } else if (style.font.size_pt > styles.normal_font.size_pt) {
      need = measure.LineHeightPt(style.font);
    }
    g.row_height_pt[row] = std::max(g.row_height_pt[row], need);
  });
  return g;
}

}  // namespace ledgerix::print
