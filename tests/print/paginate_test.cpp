// Pagination on geometries and layouts built by hand: where pages break, in what order, at what
// scale and where the block sits on the paper.
#include "print/paginate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

namespace ledgerix::print {
namespace {

using engine::CellRange;

SheetGeometry Grid(std::uint32_t rows, double row_h, std::uint32_t cols, double col_w) {
  SheetGeometry g;
  g.row_height_pt.assign(rows, row_h);
  g.col_width_pt.assign(cols, col_w);
  g.ranges.push_back({0, 0, rows - 1, cols - 1});
  return g;
}

// A frame whose printable area is exactly w × h points.
PageFrame Frame(double w, double h) {
  PageFrame f;
  f.left = f.right = f.top = f.bottom = 10;
  f.paper_width_pt = w + 20;
  f.paper_height_pt = h + 20;
  return f;
}

std::vector<std::uint32_t> V(std::initializer_list<std::uint32_t> v) { return v; }

TEST(PaginateBreaks, RowsAndColumnsFillThePrintableArea) {
  Pagination p = Paginate(Grid(100, 10, 10, 50), Frame(200, 200));
  EXPECT_EQ(p.row_breaks, V({20, 40, 60, 80}));
  EXPECT_EQ(p.col_breaks, V({4, 8}));
  EXPECT_EQ(p.pages.size(), 15u);
  EXPECT_DOUBLE_EQ(p.scale, 1.0);
  // A row that ends exactly on the printable edge stays on the page.
  EXPECT_EQ(p.pages[0].last_row, 19u);
  EXPECT_DOUBLE_EQ(p.pages[0].height_pt, 200);
}

TEST(PaginateBreaks, ManualBreaksComeFirstAndRestartTheCount) {
  SheetGeometry g = Grid(60, 10, 3, 10);
  g.manual_row_breaks = {5, 45};
  g.manual_col_breaks = {1};
  Pagination p = Paginate(g, Frame(200, 200));
  EXPECT_EQ(p.row_breaks, V({5, 25, 45}));
  EXPECT_EQ(p.col_breaks, V({1}));
}

TEST(PaginateBreaks, TitleRowsAndColumnsTakeRoomOnTheFollowingPages) {
  SheetGeometry g = Grid(30, 10, 12, 10);
  g.title_rows = {{0, 1}};
  g.title_cols = {{0, 0}};
  Pagination p = Paginate(g, Frame(50, 100));
  // First page holds rows 0-9 itself; later pages repeat the two title rows (20 pt).
  EXPECT_EQ(p.row_breaks, V({10, 18, 26}));
  EXPECT_EQ(p.col_breaks, V({5, 9}));
  ASSERT_FALSE(p.pages.empty());
  EXPECT_FALSE(p.pages[0].title_rows);
  EXPECT_FALSE(p.pages[0].title_cols);
  const Page& later = p.pages[1];  // down then over: second row band
  EXPECT_EQ(later.first_row, 10u);
  EXPECT_TRUE(later.title_rows);
  EXPECT_FALSE(later.title_cols);
  EXPECT_DOUBLE_EQ(later.height_pt, 100);
}

TEST(PaginateBreaks, HiddenAndOversizedColumns) {
  SheetGeometry g = Grid(1, 10, 6, 40);
  g.col_width_pt[1] = 0;    // hidden: never starts a page of its own
  g.col_width_pt[3] = 500;  // wider than the page: alone on its page
  Pagination p = Paginate(g, Frame(100, 100));
  EXPECT_EQ(p.col_breaks, V({3, 4}));
}

TEST(PaginateBreaks, PrintedHeadingsTakeARowAndAColumnOnEveryPage) {
  // 200 × 200 printable; headings leave 171.65 × 187.2 for the cells.
  PageFrame f = Frame(200, 200);
  f.headings = true;
  Pagination p = Paginate(Grid(100, 10, 10, 50), f);
  EXPECT_EQ(p.row_breaks, V({18, 36, 54, 72, 90}));
  EXPECT_EQ(p.col_breaks, V({3, 6, 9}));
  EXPECT_DOUBLE_EQ(p.pages[0].height_pt, 180 + kHeadingHeightPt);
  EXPECT_DOUBLE_EQ(p.pages[0].width_pt, 150 + kHeadingWidthPt);
  // Fitted to one page wide, the headings shrink with the cells.
  f.fit = true;
  f.fit_width = 1;
  f.fit_height = 0;
  p = Paginate(Grid(10, 10, 10, 50), f);
  EXPECT_EQ(p.scale, 0.37);  // (500 + 28.35) × 0.37 ≤ 200 < × 0.38
  EXPECT_TRUE(p.col_breaks.empty());
  EXPECT_FALSE(FrameFor(engine::PageSetup{}).headings);
  engine::PageSetup setup;
  setup.print_headings = true;
  EXPECT_TRUE(FrameFor(setup).headings);
}

TEST(PaginateOrder, DownThenOverAndOverThenDown) {
  SheetGeometry g = Grid(40, 10, 4, 100);
  PageFrame f = Frame(200, 200);
  auto order = [&](bool over) {
    f.over_then_down = over;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const Page& page : Paginate(g, f).pages) out.emplace_back(page.first_row, page.first_col);
    return out;
  };
  using P = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  EXPECT_EQ(order(false), (P{{0, 0}, {20, 0}, {0, 2}, {20, 2}}));
  EXPECT_EQ(order(true), (P{{0, 0}, {0, 2}, {20, 0}, {20, 2}}));
}

TEST(PaginateScale, StoredScaleShrinksTheCells) {
  PageFrame f = Frame(200, 200);
  f.scale_percent = 50;
  Pagination p = Paginate(Grid(100, 10, 1, 10), f);
  EXPECT_DOUBLE_EQ(p.scale, 0.5);
  EXPECT_EQ(p.row_breaks, V({40, 80}));
  EXPECT_DOUBLE_EQ(p.pages[0].height_pt, 200);
}

TEST(PaginateScale, ZeroOrOutOfRangeScaleIsSafe) {
  PageFrame f = Frame(200, 200);
  f.scale_percent = 0;  // stored by some writers: 100%
  EXPECT_DOUBLE_EQ(Paginate(Grid(100, 10, 1, 10), f).scale, 1.0);
  f.scale_percent = -5;
  EXPECT_EQ(Paginate(Grid(100, 10, 1, 10), f).row_breaks, V({20, 40, 60, 80}));
  f.scale_percent = 100000;
  EXPECT_DOUBLE_EQ(Paginate(Grid(100, 10, 1, 10), f).scale, 4.0);
  engine::PageSetup zero;
  zero.scale = 0;
  EXPECT_EQ(FrameFor(zero).scale_percent, 100);
}

TEST(PaginateScale, FitToOnePageWideFindsTheLargestWholePercent) {
  // 7 columns of 100 pt on 400 pt: 57% fits (399 pt), 58% does not (406 pt).
  SheetGeometry g = Grid(200, 15, 7, 100);
  PageFrame f = Frame(400, 600);
  f.fit = true;
  f.fit_width = 1;
  f.fit_height = 0;
  Pagination p = Paginate(g, f);
  EXPECT_DOUBLE_EQ(p.scale, 0.57);
  EXPECT_TRUE(p.col_breaks.empty());
  // Rows are then cut at that scale: 600 / 0.57 = 1052.6 pt holds 70 rows of 15 pt.
  ASSERT_FALSE(p.row_breaks.empty());
  EXPECT_EQ(p.row_breaks[0], 70u);
}

TEST(PaginateScale, FitNeverEnlargesAndStopsAtTenPercent) {
  PageFrame f = Frame(400, 600);
  f.fit = true;
  f.fit_width = f.fit_height = 1;
  EXPECT_DOUBLE_EQ(Paginate(Grid(3, 10, 3, 10), f).scale, 1.0);
  Pagination huge = Paginate(Grid(1, 10, 2000, 100), f);
  EXPECT_DOUBLE_EQ(huge.scale, 0.10);
  EXPECT_GT(huge.pages.size(), 1u);
}

TEST(PaginateScale, FitToWidthAndHeightBoth) {
  PageFrame f = Frame(100, 100);
  f.fit = true;
  f.fit_width = 2;
  f.fit_height = 2;
  Pagination p = Paginate(Grid(40, 10, 4, 100), f);  // 400 × 400 pt onto 2 × 2 pages of 100
  EXPECT_EQ(p.pages.size(), 4u);
  EXPECT_LE(p.scale, 0.5);
  EXPECT_GE(p.scale, 0.45);
}

TEST(PaginatePlacement, CentringAndMargins) {
  SheetGeometry g = Grid(2, 10, 2, 30);  // 60 × 20 block
  PageFrame f = Frame(200, 100);
  f.left = 25;
  f.paper_width_pt = 250;  // printable width still 200 with right margin 25
  f.right = 25;
  Page p = Paginate(g, f).pages.at(0);
  EXPECT_DOUBLE_EQ(p.x_pt, 25);
  EXPECT_DOUBLE_EQ(p.y_pt, 10);
  f.center_horizontally = f.center_vertically = true;
  p = Paginate(g, f).pages.at(0);
  EXPECT_DOUBLE_EQ(p.x_pt, 25 + 70);
  EXPECT_DOUBLE_EQ(p.y_pt, 10 + 40);
  EXPECT_DOUBLE_EQ(p.width_pt, 60);
}

TEST(PaginateRanges, EachPrintAreaRangeStartsItsOwnPagesAndNumbersRunOn) {
  SheetGeometry g = Grid(50, 10, 5, 10);
  g.ranges = {{0, 0, 4, 4}, {10, 0, 39, 1}};
  PageFrame f = Frame(100, 100);
  f.first_page_number = 7;
  Pagination p = Paginate(g, f);
  ASSERT_EQ(p.pages.size(), 4u);
  EXPECT_EQ(p.pages[0].range, 0u);
  EXPECT_EQ(p.pages[1].range, 1u);
  EXPECT_EQ(p.pages[1].first_row, 10u);
  EXPECT_EQ(p.pages[3].last_row, 39u);
  EXPECT_EQ(p.pages[0].number, 7);
  EXPECT_EQ(p.pages[3].number, 10);
  EXPECT_TRUE(Paginate(SheetGeometry{}, f).pages.empty());
}

// Every cell of the printed range lies on exactly one page, and pages = row bands × col bands.
TEST(PaginateProperties, EveryCellOnExactlyOnePage) {
  std::mt19937 rng(20260101);
  for (int round = 0; round < 40; ++round) {
    std::uint32_t rows = 1 + rng() % 120, cols = 1 + rng() % 30;
    SheetGeometry g;
    for (std::uint32_t r = 0; r < rows; ++r)
      g.row_height_pt.push_back(rng() % 5 == 0 ? 0 : 5 + rng() % 60);
    for (std::uint32_t c = 0; c < cols; ++c)
      g.col_width_pt.push_back(rng() % 7 == 0 ? 0 : 5 + rng() % 150);
    g.ranges.push_back({0, 0, rows - 1, cols - 1});
    if (rng() % 2) g.manual_row_breaks.push_back(rng() % rows);
    PageFrame f = Frame(100 + rng() % 400, 100 + rng() % 600);
    f.fit = rng() % 3 == 0;
    f.fit_height = 0;
    f.over_then_down = rng() % 2;
    Pagination p = Paginate(g, f);
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> seen;
    for (const Page& page : p.pages) {
      for (std::uint32_t r = page.first_row; r <= page.last_row; ++r) {
        for (std::uint32_t c = page.first_col; c <= page.last_col; ++c) ++seen[{r, c}];
      }
    }
    ASSERT_EQ(seen.size(), std::size_t{rows} * cols) << "round " << round;
    for (const auto& [cell, n] : seen) ASSERT_EQ(n, 1) << "round " << round;
    EXPECT_EQ(p.pages.size(), (p.row_breaks.size() + 1) * (p.col_breaks.size() + 1));
    if (f.fit) {
      EXPECT_TRUE(p.col_breaks.empty() || p.scale == 0.10) << "round " << round;
    }
  }
}

// Metrics without fonts: a 7-pixel digit, 15 pt lines, wrapped text at 6 pt per character.
class FixedMeasure : public TextMeasure {
 public:
  int MaxDigitWidthPx(const engine::FontStyle&) override { return 7; }
  double LineHeightPt(const engine::FontStyle& f) override { return f.size_pt > 11 ? 20 : 15; }
  double WrappedHeightPt(std::string_view text, const engine::FontStyle& f,
                         double width_pt) override {
    double chars = static_cast<double>(text.size());
    return LineHeightPt(f) * std::max(1.0, std::ceil(chars * 6 / width_pt));
  }
};

std::string Plain(const Variant& v, const engine::CellStyle&) {
  return v.type() == Variant::Type::String ? v.string() : "0";
}

engine::StyleTable TwoStyles() {
  engine::StyleTable t;
  t.styles.resize(4);
  t.styles[1].bottom.style = engine::BorderStyle::Thin;  // visible: counts for the used range
  t.styles[2].font.bold = true;                          // invisible on an empty cell
  t.styles[3].wrap = true;
  return t;
}

TEST(UsedRangeOfASheet, ValuesVisibleFormatsAndMerges) {
  engine::SheetLayout layout;
  engine::CellStore cells;
  engine::StyleTable styles = TwoStyles();
  EXPECT_FALSE(UsedRange(layout, styles, cells).has_value());
  cells.Set(2, 1, Variant::Number(5));
  cells.Set(40, 40, Variant::String(""));  // an empty text prints nothing
  layout.cell_styles[engine::SheetLayout::CellKey(30, 0)] = 2;
  EXPECT_EQ(UsedRange(layout, styles, cells), (CellRange{0, 0, 2, 1}));
  layout.cell_styles[engine::SheetLayout::CellKey(9, 3)] = 1;
  EXPECT_EQ(UsedRange(layout, styles, cells), (CellRange{0, 0, 9, 3}));
  layout.merges.push_back({9, 3, 12, 6});     // starts inside: prints whole
  layout.merges.push_back({50, 50, 51, 51});  // wholly outside: ignored
  EXPECT_EQ(UsedRange(layout, styles, cells), (CellRange{0, 0, 12, 6}));
}

TEST(MeasureSheetGeometry, WidthsHeightsAndPrintedRanges) {
  engine::SheetLayout layout;
  engine::CellStore cells;
  engine::StyleTable styles = TwoStyles();
  FixedMeasure measure;
  cells.Set(0, 0, Variant::String("标题"));
  cells.Set(3, 2, Variant::String(std::string(40, 'x')));  // 240 pt of text, wrapped
  layout.cell_styles[engine::SheetLayout::CellKey(3, 2)] = 3;
  cells.Set(4, 2, Variant::String(std::string(40, 'y')));
  layout.cell_styles[engine::SheetLayout::CellKey(4, 2)] = 3;
  layout.rows[4] = {30.0, true, false, std::nullopt};                  // custom: kept as stored
  layout.rows[1] = {std::nullopt, false, true, std::nullopt};          // hidden
  layout.columns.push_back({1, 1, std::nullopt, true, std::nullopt});  // hidden
  layout.columns.push_back({2, 2, 10.7109375, false, std::nullopt});   // 75 px
  layout.default_row_height_pt = 13.5;
  SheetGeometry g = MeasureSheet(layout, styles, cells, measure, &Plain);
  ASSERT_EQ(g.ranges.size(), 1u);
  EXPECT_EQ(g.ranges[0], (CellRange{0, 0, 4, 2}));
  ASSERT_EQ(g.col_width_pt.size(), 3u);
  EXPECT_DOUBLE_EQ(g.col_width_pt[0], 48);  // default 8 characters: 64 px
  EXPECT_DOUBLE_EQ(g.col_width_pt[1], 0);
  EXPECT_DOUBLE_EQ(g.col_width_pt[2], 56.25);
  ASSERT_EQ(g.row_height_pt.size(), 5u);
  EXPECT_DOUBLE_EQ(g.row_height_pt[0], 13.5);
  EXPECT_DOUBLE_EQ(g.row_height_pt[1], 0);
  // 240 pt of text in 53.25 pt (the column less its padding) takes 5 lines of 15 pt.
  EXPECT_DOUBLE_EQ(g.row_height_pt[3], 75);
  EXPECT_DOUBLE_EQ(g.row_height_pt[4], 30);

  // A print area of the whole grid prints the used part; a range past it prints nothing.
  layout.print_area = {{0, 0, 65535, 255}, {100, 0, 120, 3}, {2, 1, 3, 1}};
  layout.title_rows = {{0, 0}};
  g = MeasureSheet(layout, styles, cells, measure, &Plain);
  ASSERT_EQ(g.ranges.size(), 2u);
  EXPECT_EQ(g.ranges[0], (CellRange{0, 0, 4, 2}));
  EXPECT_EQ(g.ranges[1], (CellRange{2, 1, 3, 1}));
  EXPECT_EQ(g.title_rows, layout.title_rows);
  EXPECT_EQ(Paginate(g, FrameFor(layout.page)).pages.size(), 2u);

  engine::SheetLayout empty;
  empty.print_area = {{0, 0, 65535, 255}};
  EXPECT_TRUE(MeasureSheet(empty, styles, engine::CellStore{}, measure, &Plain).ranges.empty());
}

TEST(PaperAndFrame, DefaultsOrientationAndOverride) {
  engine::PageSetup setup;
  PageFrame f = FrameFor(setup);
  EXPECT_NEAR(f.paper_width_pt, 595.3, 0.1);  // A4 when the file names no paper
  EXPECT_NEAR(f.paper_height_pt, 841.9, 0.1);
  EXPECT_DOUBLE_EQ(f.left, 54);
  EXPECT_DOUBLE_EQ(f.top, 72);
  EXPECT_DOUBLE_EQ(f.header, 36);
  EXPECT_EQ(f.scale_percent, 100);

  setup.paper = 8;  // A3
  setup.orientation = engine::Orientation::Landscape;
  setup.margins.left = 0.3;
  setup.margins.top = -1;  // damaged: the default
  setup.scale = 5;         // below the applications' minimum
  f = FrameFor(setup);
  EXPECT_NEAR(f.paper_width_pt, 420 * kPointsPerMm, 0.01);
  EXPECT_NEAR(f.paper_height_pt, 297 * kPointsPerMm, 0.01);
  EXPECT_DOUBLE_EQ(f.left, 0.3 * 72);
  EXPECT_DOUBLE_EQ(f.top, 72);
  EXPECT_EQ(f.scale_percent, 10);

  setup.paper = 1;
  EXPECT_DOUBLE_EQ(PaperFor(setup).width_pt, 612);
  setup.paper = 999;  // unknown code, no custom size
  EXPECT_NEAR(PaperFor(setup).width_pt, 595.3, 0.1);
  setup.paper_width_mm = 100;
  setup.paper_height_mm = 200;
  EXPECT_NEAR(PaperFor(setup).height_pt, 200 * kPointsPerMm, 1e-9);

  // The paper given for a page setup naming none: taken then only, an unknown code included.
  const PaperSize letter{612, 792};
  EXPECT_NEAR(PaperFor(setup, letter).height_pt, 200 * kPointsPerMm, 1e-9) << "its own size";
  setup.paper_width_mm.reset();
  EXPECT_FALSE(PaperNamedBy(setup));
  EXPECT_DOUBLE_EQ(PaperFor(setup, letter).width_pt, 612);
  setup.paper = 8;
  EXPECT_NEAR(PaperFor(setup, letter).width_pt, 297 * kPointsPerMm, 0.01);
  EXPECT_NEAR(PaperNamedBy(setup)->width_pt, 297 * kPointsPerMm, 0.01);
  engine::PageSetup unnamed;
  unnamed.orientation = engine::Orientation::Landscape;
  f = FrameFor(unnamed, false, letter);
  EXPECT_DOUBLE_EQ(f.paper_width_pt, 792);
  EXPECT_DOUBLE_EQ(f.paper_height_pt, 612);
  EXPECT_NEAR(PaperFor(unnamed, PaperSize{0, 0}).width_pt, 595.3, 0.1) << "no size: A4";

  engine::PageSetup fitted;
  fitted.fit_to_page = true;
  fitted.fit_width = 3;
  fitted.fit_height = 2;
  f = FrameFor(fitted, true);
  EXPECT_TRUE(f.fit);
  EXPECT_EQ(f.fit_width, 1);
  EXPECT_EQ(f.fit_height, 2);
  f = FrameFor(engine::PageSetup{}, true);
  EXPECT_EQ(f.fit_height, 0);
}

TEST(ColumnWidths, DigitWidthRounding) {
  // Calibri 11 and Arial 10 have a 7-pixel digit: Excel's default column is 64 px = 48 pt.
  EXPECT_DOUBLE_EQ(ColumnWidthPt(DefaultWidthChars(8, 7), 7), 48);
  EXPECT_DOUBLE_EQ(ColumnWidthPt(9.140625, 7), 48);
  EXPECT_DOUBLE_EQ(ColumnWidthPt(10.7109375, 7), 75 * 0.75);
  // An 8-pixel digit (宋体 12): 8 × 8 + 5 rounds up to 72 px.
  EXPECT_DOUBLE_EQ(ColumnWidthPt(DefaultWidthChars(8, 8), 8), 54);
  EXPECT_DOUBLE_EQ(ColumnWidthPt(0, 7), 0);
  EXPECT_DOUBLE_EQ(ColumnWidthPt(-3, 7), 0);
}

}  // namespace
}  // namespace ledgerix::print
