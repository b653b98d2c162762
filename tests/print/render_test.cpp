// PDF pages drawn from sheets built by hand: fonts through our aliases, page count and sizes,
// header and footer fields, numbers too wide for their column, and failures reported.
#include "print/render.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "print/render_internal.h"
#include "tests/print/pdf_tools.h"

namespace ledgerix::print {
namespace {

using testing::PageSizes;
using testing::PageTexts;

class HandBook : public engine::Book {
 public:
  explicit HandBook(std::vector<std::string> names = {"明细表"}) {
    for (auto& n : names) sheets_.push_back({n, xlSheetVisible});
  }
  std::string format() const override { return "hand"; }
  engine::CellStore cells;
  engine::SheetLayout layout;
  engine::StyleTable styles;

 protected:
  void LoadSheet(int, engine::CellStore& out) override { out = cells; }
  void LoadLayout(int, engine::SheetLayout& out) override { out = layout; }
  void LoadStyles(engine::StyleTable& out) override { out = styles; }
};

struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-render-XXXXXX");
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

engine::FontStyle Font(const char* name, double size) {
  engine::FontStyle f;
  f.name = name;
  f.size_pt = size;
  return f;
}

RenderOptions FixedClock() {
  RenderOptions o;
  o.file_name = "恒信商贸.xls";
  o.folder = "/data/报表/";
  // 2008-03-31 12:00 local time.
  std::tm tm{};
  tm.tm_year = 108;
  tm.tm_mon = 2;
  tm.tm_mday = 31;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  o.now = [t] { return t; };
  return o;
}

TEST(RenderFonts, StatementFontsMapToInstalledMetricFonts) {
  EXPECT_EQ(ResolvedFamily("宋体"), "AR PL UMing CN");
  EXPECT_EQ(ResolvedFamily("SimSun"), "AR PL UMing CN");
  EXPECT_EQ(ResolvedFamily("新宋体"), "AR PL UMing CN");
  EXPECT_EQ(ResolvedFamily("仿宋"), "AR PL UMing CN");
  EXPECT_EQ(ResolvedFamily("楷体"), "AR PL UMing CN");
  EXPECT_EQ(ResolvedFamily("黑体"), "WenQuanYi Zen Hei");
  EXPECT_EQ(ResolvedFamily("微软雅黑"), "WenQuanYi Zen Hei");
  EXPECT_EQ(ResolvedFamily("Calibri"), "Carlito");
  EXPECT_EQ(ResolvedFamily("Arial"), "Liberation Sans");
  EXPECT_EQ(ResolvedFamily("Times New Roman"), "Liberation Serif");
}

TEST(RenderFonts, ProcessWideConfigurationIsLeftAlone) {
  ResolvedFamily("宋体");  // loads ours
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("宋体"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  ASSERT_NE(match, nullptr);
  FcChar8* family = nullptr;
  FcPatternGetString(match, FC_FAMILY, 0, &family);
  std::string name = family ? reinterpret_cast<char*>(family) : "";
  FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  // The system has no alias for 宋体; only our configuration says AR PL UMing.
  EXPECT_NE(name, "AR PL UMing CN");
}

TEST(RenderFonts, DigitWidthsMatchTheOriginalFonts) {
  PangoMeasure m;
  engine::FontStyle calibri = Font("Calibri", 11);
  engine::FontStyle arial = Font("Arial", 10);
  EXPECT_EQ(m.MaxDigitWidthPx(calibri), 7);
  EXPECT_EQ(m.MaxDigitWidthPx(arial), 7);
  double one = m.LineHeightPt(arial);
  EXPECT_GT(one, 10);
  EXPECT_LT(one, 16);
  // Text wrapped to a narrow column takes several lines.
  EXPECT_GE(m.WrappedHeightPt("一二三四五六七八九十一二三四五六七八九十", Font("宋体", 12), 60),
            3 * m.LineHeightPt(Font("宋体", 12)) - 0.01);
}

TEST(RenderCellText, GeneralTextOfValues) {
  EXPECT_EQ(GeneralText(Variant::Number(1234.5)), "1234.5");
  EXPECT_EQ(GeneralText(Variant::Number(0.1 + 0.2)), "0.3");
  EXPECT_EQ(GeneralText(Variant::Number(-7.0)), "-7");
  EXPECT_EQ(GeneralText(Variant::Number(123456789012.0)), "1.23457E+11");
  EXPECT_EQ(GeneralText(Variant::String("合计")), "合计");
  EXPECT_EQ(GeneralText(Variant::Boolean(true)), "TRUE");
}

// A sheet of 120 numbered rows in two columns with a header and footer using every field.
HandBook LongSheet() {
  HandBook book;
  for (std::uint32_t r = 0; r < 120; ++r) {
    book.cells.Set(r, 0, Variant::String("项目" + std::to_string(r + 1)));
    book.cells.Set(r, 1, Variant::Number(double(r + 1) * 100));
  }
  book.layout.default_row_height_pt = 15;
  book.layout.header_footer.odd_header = "&L&F&C第&P页，共&N页&R&D";
  book.layout.header_footer.odd_footer = "&L&A&R&Z";
  return book;
}

TEST(RenderPages, PagesSizesAndHeaderFooterFields) {
  HandBook book = LongSheet();
  TempDir dir;
  std::string pdf = dir.File("out.pdf");
  int pages = RenderPdf({{&book, 0}}, pdf, FixedClock());
  // A4 with 1 in margins: 697.9 pt for rows of 15 pt is 46 rows a page.
  EXPECT_EQ(pages, 3);
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_EQ(texts.size(), 3u) << "pdftotext gave nothing back";
  for (auto [w, h] : PageSizes(pdf)) {
    EXPECT_NEAR(w, 595.28, 0.5);
    EXPECT_NEAR(h, 841.89, 0.5);
  }
  EXPECT_NE(texts[1].find("第2页，共3页"), std::string::npos) << texts[1];
  EXPECT_NE(texts[0].find("恒信商贸.xls"), std::string::npos);
  EXPECT_NE(texts[0].find("2008/3/31"), std::string::npos);
  EXPECT_NE(texts[2].find("明细表"), std::string::npos);
  EXPECT_NE(texts[2].find("/data/报表/"), std::string::npos);
  // Rows stay on their own page.
  EXPECT_NE(texts[0].find("项目46 "), std::string::npos);
  EXPECT_EQ(texts[0].find("项目47 "), std::string::npos);
  EXPECT_NE(texts[1].find("项目47 "), std::string::npos);
  EXPECT_NE(texts[2].find("12000"), std::string::npos);
}

// A page cap draws the first pages of each sheet only; &N still counts them all.
TEST(RenderPages, PageCapDrawsTheFirstPagesOfEachSheet) {
  HandBook book = LongSheet();
  TempDir dir;
  std::string pdf = dir.File("out.pdf");
  RenderOptions options = FixedClock();
  options.max_pages_per_sheet = 2;
  EXPECT_EQ(RenderPdf({{&book, 0}, {&book, 0}}, pdf, options), 4);
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_NE(texts[1].find("第2页，共3页"), std::string::npos) << texts[1];
  EXPECT_NE(texts[2].find("第1页，共3页"), std::string::npos) << texts[2];
  EXPECT_EQ(texts[3].find("12000"), std::string::npos);
}

TEST(RenderPages, PrintedHeadingsShowLettersAndRowNumbersOfEachPage) {
  HandBook book = LongSheet();
  book.layout.page.print_headings = true;
  TempDir dir;
  std::string pdf = dir.File("headings.pdf");
  // The heading row leaves room for 45 rows of 15 pt a page, not 46.
  EXPECT_EQ(RenderPdf({{&book, 0}}, pdf, FixedClock()), 3);
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_EQ(texts.size(), 3u) << "pdftotext gave nothing back";
  auto words = [](const std::string& text) {
    std::istringstream in(text);
    return std::vector<std::string>{std::istream_iterator<std::string>(in), {}};
  };
  std::vector<std::string> second = words(texts[1]);
  // Column letters, then each row's number before its cells.
  auto at = [&](const std::string& w) {
    return std::find(second.begin(), second.end(), w) - second.begin();
  };
  ASSERT_LT(at("A"), static_cast<long>(second.size())) << texts[1];
  EXPECT_EQ(at("B"), at("A") + 1);
  EXPECT_EQ(at("项目46"), at("46") + 1) << texts[1];
  EXPECT_EQ(at("4600"), at("46") + 2);
  EXPECT_EQ(at("项目90"), at("90") + 1);
  EXPECT_EQ(at("项目91"), static_cast<long>(second.size()));
  EXPECT_EQ(texts[0].find("项目46 "), std::string::npos);
}

TEST(RenderPages, LandscapeLetterFirstPageNumberAndTitles) {
  HandBook book = LongSheet();
  book.layout.page.paper = 1;
  book.layout.page.orientation = engine::Orientation::Landscape;
  book.layout.page.first_page_number = 5;
  book.layout.title_rows = {{0, 0}};
  TempDir dir;
  std::string pdf = dir.File("letter.pdf");
  int pages = RenderPdf({{&book, 0}}, pdf, FixedClock());
  ASSERT_GT(pages, 1);
  auto sizes = PageSizes(pdf);
  ASSERT_EQ(sizes.size(), static_cast<std::size_t>(pages));
  EXPECT_NEAR(sizes[0].first, 792, 0.5);
  EXPECT_NEAR(sizes[0].second, 612, 0.5);
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_EQ(texts.size(), sizes.size());
  EXPECT_NE(texts[0].find("第5页"), std::string::npos);
  // The title row repeats on the following pages.
  EXPECT_NE(texts[1].find("项目1 "), std::string::npos) << texts[1];
}

TEST(RenderPages, SheetsOfOneWorkbookInOneDocumentWithTheirOwnPaper) {
  HandBook book({"甲", "乙"});
  book.cells.Set(0, 0, Variant::String("只有一格"));
  TempDir dir;
  std::string pdf = dir.File("two.pdf");
  // Both sheets share the hand-made layout; the second one is printed landscape by a separate
  // workbook object.
  HandBook wide({"丙"});
  wide.cells.Set(0, 0, Variant::String("横向"));
  wide.layout.page.orientation = engine::Orientation::Landscape;
  EXPECT_EQ(RenderPdf({{&book, 0}, {&book, 1}, {&wide, 0}}, pdf, FixedClock()), 3);
  auto sizes = PageSizes(pdf);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_LT(sizes[0].first, sizes[0].second);
  EXPECT_GT(sizes[2].first, sizes[2].second);
}

// The printer's paper for a sheet that names none, given through the options: the sheet that
// names no paper is laid out on it, one that names its own keeps it, and neither book's page
// setup is touched.
TEST(RenderPages, AnUnnamedPaperGoesToSheetsNamingNoneOnlyAndTheBooksStayAsRead) {
  HandBook none({"无纸张"});
  none.cells.Set(0, 0, Variant::String("信纸"));
  none.layout.page.orientation = engine::Orientation::Landscape;
  HandBook a3({"A3"});
  a3.cells.Set(0, 0, Variant::String("自己的纸"));
  a3.layout.page.paper = 8;
  HandBook custom({"自定义"});
  custom.cells.Set(0, 0, Variant::String("自定义"));
  custom.layout.page.paper_width_mm = 100;
  custom.layout.page.paper_height_mm = 150;
  RenderOptions options = FixedClock();
  options.unnamed_paper = PaperSize{612, 792};  // US Letter
  TempDir dir;
  std::string pdf = dir.File("papers.pdf");
  ASSERT_EQ(RenderPdf({{&none, 0}, {&a3, 0}, {&custom, 0}}, pdf, options), 3);
  auto sizes = PageSizes(pdf);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_NEAR(sizes[0].first, 792, 0.5) << "Letter, landscape as the sheet says";
  EXPECT_NEAR(sizes[0].second, 612, 0.5);
  EXPECT_NEAR(sizes[1].first, 841.89, 0.5);
  EXPECT_NEAR(sizes[1].second, 1190.55, 0.5);
  EXPECT_NEAR(sizes[2].first, 100 * kPointsPerMm, 0.5);
  EXPECT_NEAR(sizes[2].second, 150 * kPointsPerMm, 0.5);
  const engine::PageSetup& drawn = none.Layout(0).page;
  EXPECT_FALSE(drawn.paper);
  EXPECT_FALSE(drawn.paper_width_mm);
  EXPECT_FALSE(drawn.paper_height_mm);

  // Without it the default stays A4.
  ASSERT_EQ(RenderPdf({{&none, 0}}, pdf, FixedClock()), 1);
  sizes = PageSizes(pdf);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_NEAR(sizes[0].first, 841.89, 0.5);
  EXPECT_NEAR(sizes[0].second, 595.28, 0.5);
}

// Header pictures that cannot be drawn (a damaged PNG, a JPEG without a frame header, an EMF)
// are left out; the page and the text around them still print.
TEST(RenderPages, PicturesThatDoNotDecodeAreSkippedAndTheirTextStays) {
  HandBook book;
  book.cells.Set(0, 0, Variant::String("正文"));
  book.layout.header_footer.odd_header = "&L左&G右&C&G&R&G";
  auto picture = [](engine::HeaderFooterSection section, engine::PictureFormat format,
                    std::string bytes) {
    engine::HeaderFooterPicture p;
    p.section = section;
    p.format = format;
    p.width_pt = 40;
    p.height_pt = 20;
    p.bytes = std::move(bytes);
    return p;
  };
  book.layout.header_footer.pictures = {
      picture(engine::HeaderFooterSection::Left, engine::PictureFormat::Png,
              std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
      picture(engine::HeaderFooterSection::Center, engine::PictureFormat::Jpeg,
              std::string("\xFF\xD8\xFF\xE0\x00\x04"
                          "ab\xFF\xD9",
                          10)),
      picture(engine::HeaderFooterSection::Right, engine::PictureFormat::Other,
              std::string("\x01\0\0\0", 4))};
  TempDir dir;
  std::string pdf = dir.File("broken_pictures.pdf");
  ASSERT_EQ(RenderPdf({{&book, 0}}, pdf, FixedClock()), 1);
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("左右"), std::string::npos) << texts[0];
  EXPECT_NE(texts[0].find("正文"), std::string::npos);
  EXPECT_EQ(testing::Run("pdfimages -list '" + pdf + "' | tail -n +3"), "");
}

TEST(RenderPages, NumbersTooWideShowHashesAndFitWidthKeepsOnePageAcross) {
  HandBook book;
  book.layout.columns.push_back({0, 0, 2.0, false, std::nullopt});  // about 2 digits wide
  book.cells.Set(0, 0, Variant::Number(123456789.0));
  for (std::uint32_t c = 1; c < 30; ++c)
    book.cells.Set(0, c, Variant::String("列" + std::to_string(c)));
  TempDir dir;
  std::string pdf = dir.File("narrow.pdf");
  int pages = RenderPdf({{&book, 0}}, pdf, FixedClock());
  EXPECT_GT(pages, 1);  // 30 default columns do not fit A4 portrait
  std::vector<std::string> texts = PageTexts(pdf);
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(texts[0].find("#"), std::string::npos);
  EXPECT_EQ(texts[0].find("123456789"), std::string::npos);
  RenderOptions fit = FixedClock();
  fit.fit_width = true;
  EXPECT_EQ(RenderPdf({{&book, 0}}, pdf, fit), 1);
  EXPECT_NE(PageTexts(pdf).at(0).find("列29"), std::string::npos);
}

// Dark runs of pixels along a row (or a column) of the page: the borders a scan line crosses.
int DarkRuns(const testing::Raster& page, int at, bool along_row) {
  int runs = 0;
  bool dark = false;
  for (int i = 0; i < (along_row ? page.width : page.height); ++i) {
    std::array<int, 3> p = along_row ? page.At(i, at) : page.At(at, i);
    bool d = p[0] + p[1] + p[2] < 3 * 128;
    if (d && !dark) ++runs;
    dark = d;
  }
  return runs;
}

// A merged area is boxed whether the file styles its edge cells (as the applications save a
// boxed merge) or its first cell only: both boxes must show all four sides.
TEST(RenderPages, MergedAreasShowTheBordersOfTheirEdgeCells) {
  HandBook book;
  engine::BorderLine thin{engine::BorderStyle::Thin, {}};
  book.styles.styles.resize(10);
  book.styles.styles[1].left = book.styles.styles[1].right = thin;
  book.styles.styles[1].top = book.styles.styles[1].bottom = thin;
  // 2..9: the edge cells of a 3x3 box: top-left, top, top-right, left, right, bottom-left ...
  auto edges = [&](std::uint32_t s, bool l, bool r, bool t, bool b) {
    if (l) book.styles.styles[s].left = thin;
    if (r) book.styles.styles[s].right = thin;
    if (t) book.styles.styles[s].top = thin;
    if (b) book.styles.styles[s].bottom = thin;
  };
  edges(2, true, false, true, false);
  edges(3, false, false, true, false);
  edges(4, false, true, true, false);
  edges(5, true, false, false, false);
  edges(6, false, true, false, false);
  edges(7, true, false, false, true);
  edges(8, false, false, false, true);
  edges(9, false, true, false, true);
  book.layout.page.margins = {1.0, 1.0, 1.0, 1.0, 0.3, 0.3};
  for (std::uint32_t r = 0; r < 10; ++r) book.layout.rows[r].height_pt = 30;
  book.layout.merges.push_back({1, 1, 3, 3});  // B2:D4, styled at B2 only
  book.layout.cell_styles[engine::SheetLayout::CellKey(1, 1)] = 1;
  book.layout.merges.push_back({6, 1, 8, 3});  // B7:D9, styled along its edges
  const std::uint32_t box[3][3] = {{2, 3, 4}, {5, 0, 6}, {7, 8, 9}};
  for (std::uint32_t r = 0; r < 3; ++r)
    for (std::uint32_t c = 0; c < 3; ++c)
      if (box[r][c])
        book.layout.cell_styles[engine::SheetLayout::CellKey(6 + r, 1 + c)] = box[r][c];
  book.cells.Set(0, 0, Variant::String("边框"));
  TempDir dir;
  std::string pdf = dir.File("boxes.pdf");
  ASSERT_EQ(RenderPdf({{&book, 0}}, pdf, FixedClock()), 1);
  testing::Raster page = testing::FirstPage(pdf, dir.path);
  ASSERT_GT(page.width, 0) << "pdftoppm gave no page";
  // Rows are 30 pt from the top margin at 72 pt: the boxes span y 102-192 and 252-342.
  for (int y : {117, 147, 177, 267, 297, 327}) EXPECT_EQ(DarkRuns(page, y, true), 2) << "y " << y;
  // Down a column inside both boxes (column B starts after column A at the left margin).
  int x = 0;
  for (int i = 72; i < page.width && !x; ++i)
    if (page.At(i, 147)[0] < 128) x = i + 20;
  ASSERT_GT(x, 0);
  EXPECT_EQ(DarkRuns(page, x, false), 4) << "x " << x;
}

TEST(RenderCellText, ErrorsAsThePageSetupSaysAndShrinkToFit) {
  HandBook book;
  book.cells.Set(0, 0, Variant::Error(CellError::Div0));
  book.cells.Set(0, 1, Variant::String("右邻"));
  // A long text in a narrow cell beside a full one: clipped, unless it shrinks to fit.
  book.layout.columns.push_back({2, 2, 4.0, false, 1u});
  book.cells.Set(0, 2, Variant::String("ABCDEFGHIJKLMNOP"));
  book.cells.Set(0, 3, Variant::String("满"));
  book.styles.styles.resize(2);
  TempDir dir;
  std::string pdf = dir.File("errors.pdf");
  auto text = [&] {
    HandBook fresh;  // layouts are read once per book
    fresh.cells = book.cells;
    fresh.layout = book.layout;
    fresh.styles = book.styles;
    RenderPdf({{&fresh, 0}}, pdf, FixedClock());
    std::vector<std::string> pages = PageTexts(pdf);
    return pages.empty() ? std::string() : pages[0];
  };
  std::string shown = text();
  EXPECT_NE(shown.find("#DIV/0!"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("ABCDEFGHIJKLMNOP"), std::string::npos) << shown;
  book.styles.styles[1].shrink = true;
  book.layout.page.errors = engine::PrintErrors::Dash;
  shown = text();
  EXPECT_NE(shown.find("ABCDEFGHIJKLMNOP"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("#DIV/0!"), std::string::npos) << shown;
  EXPECT_NE(shown.find("--"), std::string::npos) << shown;
}

TEST(RenderCellText, WeakCharactersGoWithTheChineseAroundThem) {
  using Runs = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(AsianRuns("Total 12"), Runs{});
  EXPECT_EQ(AsianRuns("利 润 表"), (Runs{{0, 11}}));
  // ASCII digits are Latin; a space goes with the letter before it.
  EXPECT_EQ(AsianRuns("2008年3月 Q1"), (Runs{{4, 7}, {8, 12}}));
  // Leading weak characters take the first strong one after them.
  EXPECT_EQ(AsianRuns("“合计”"), (Runs{{0, 12}}));
  EXPECT_EQ(AsianRuns("以“－”号 ok"), (Runs{{0, 16}}));
  EXPECT_EQ(AsianRuns("A 中B"), (Runs{{2, 5}}));
  EXPECT_EQ(ScriptOf(U'\u3001'), ScriptClass::Asian);  // 、
  EXPECT_EQ(ScriptOf(U'\u201C'), ScriptClass::Weak);   // “
  EXPECT_EQ(ScriptOf(U'5'), ScriptClass::Latin);
  EXPECT_EQ(ScriptOf(U'\u4E2D'), ScriptClass::Asian);

  // Drawn: a spaced title and quotes inside Chinese come back as single words, which they do not
  // when the space or quote is taken from another font with its own advance and baseline.
  HandBook book;
  book.styles.styles.resize(2);
  book.styles.styles[1].font = Font("Calibri", 14);
  book.styles.normal_font = Font("Calibri", 11);
  book.cells.Set(0, 0, Variant::String("利 润 表"));
  book.cells.Set(1, 0, Variant::String("二、营业利润（亏损以“－”号填列）"));
  book.cells.Set(0, 6, Variant::String("止"));  // the printed range reaches past the long text
  book.layout.cell_styles[engine::SheetLayout::CellKey(0, 0)] = 1;
  TempDir dir;
  std::string pdf = dir.File("asian.pdf");
  RenderPdf({{&book, 0}}, pdf, FixedClock());
  std::vector<std::string> pages = PageTexts(pdf);
  ASSERT_EQ(pages.size(), 1u) << "pdftotext gave nothing back";
  std::istringstream words(pages[0]);
  std::vector<std::string> got{std::istream_iterator<std::string>(words), {}};
  EXPECT_EQ(got, (std::vector<std::string>{"利润表", "止", "二、营业利润（亏损以“－”号填列）"}))
      << pages[0];
}

// Word boxes from pdftotext -bbox: text → {xMin, yMin, xMax, yMax} of its first occurrence.
std::map<std::string, std::array<double, 4>> WordBoxes(const std::string& pdf) {
  std::string xml = testing::Run("pdftotext -bbox '" + pdf + "' -");
  std::map<std::string, std::array<double, 4>> boxes;
  for (std::size_t at = xml.find("<word "); at != std::string::npos;
       at = xml.find("<word ", at + 1)) {
    std::array<double, 4> b{};
    std::size_t close = xml.find('>', at), end = xml.find("</word>", at);
    if (close == std::string::npos || end == std::string::npos) break;
    if (std::sscanf(xml.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"",
                    &b[0], &b[1], &b[2], &b[3]) == 4) {
      boxes.emplace(xml.substr(close + 1, end - close - 1), b);
    }
  }
  return boxes;
}

// A pad `_x` leaves a blank as wide as x in the cell's font, so that padded numbers line up
// with their neighbours; it prints nothing. A full-width 元 is one em wide, a W nearly one.
TEST(RenderCellText, PadsTakeTheWidthOfTheirCharacter) {
  HandBook book;
  book.layout.columns.push_back({0, 0, 30.0, false, std::nullopt});
  book.styles.styles.resize(5);
  const char* codes[] = {"0", "0_元", "0_W", "_-* 0_元"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    book.styles.styles[i + 1].font = Font("Arial", 20);
    book.styles.styles[i + 1].num_fmt_code = codes[i];
    book.layout.cell_styles[engine::SheetLayout::CellKey(i, 0)] = i + 1;
    book.layout.rows[i].height_pt = 30;
  }
  book.cells.Set(0, 0, Variant::Number(1111));
  book.cells.Set(1, 0, Variant::Number(2222));
  book.cells.Set(2, 0, Variant::Number(3333));
  book.cells.Set(3, 0, Variant::Number(4444));
  TempDir dir;
  std::string pdf = dir.File("pads.pdf");
  ASSERT_EQ(RenderPdf({{&book, 0}}, pdf, FixedClock()), 1);
  auto boxes = WordBoxes(pdf);
  ASSERT_TRUE(boxes.count("1111") && boxes.count("2222") && boxes.count("3333") &&
              boxes.count("4444"))
      << "pdftotext gave nothing back";
  double right = boxes["1111"][2];
  EXPECT_NEAR(right - boxes["2222"][2], 20, 1.5);
  EXPECT_NEAR(right - boxes["3333"][2], 0.944 * 20, 1.5);  // Arial's W
  // After a fill of spaces, short of the cell's edge by less than one space.
  EXPECT_GE(right - boxes["4444"][2], 20 - 1.5);
  EXPECT_LE(right - boxes["4444"][2], 20 + 0.278 * 20 + 1.5);
  std::string text = PageTexts(pdf).at(0);
  EXPECT_EQ(text.find("元"), std::string::npos) << text;
  EXPECT_EQ(text.find("W"), std::string::npos) << text;
  EXPECT_EQ(text.find("\xEF\xBF\xBC"), std::string::npos) << text;
}

TEST(RenderCellText, RotatedStackedAndCentredAcross) {
  HandBook book;
  book.styles.styles.resize(6);
  book.styles.styles[5].halign = engine::HAlign::Center;
  book.styles.styles[5].wrap = true;
  book.styles.styles[1].rotation = 90;   // up
  book.styles.styles[2].rotation = 180;  // down: 90 + 90
  book.styles.styles[3].rotation = 255;  // stacked
  book.styles.styles[4].halign = engine::HAlign::CenterAcross;
  book.layout.rows[0].height_pt = 80;
  book.layout.rows[0].custom_height = true;
  book.cells.Set(0, 0, Variant::String("UPWARD"));
  book.cells.Set(0, 1, Variant::String("DOWNWARD"));
  book.cells.Set(0, 2, Variant::String("合计"));
  book.cells.Set(1, 0, Variant::String("TITLE"));
  book.cells.Set(1, 4, Variant::String("END"));
  book.cells.Set(2, 0, Variant::String("MID"));
  book.layout.cell_styles[engine::SheetLayout::CellKey(2, 0)] = 5;
  auto style = [&](std::uint32_t r, std::uint32_t c, std::uint32_t s) {
    book.layout.cell_styles[engine::SheetLayout::CellKey(r, c)] = s;
  };
  style(0, 0, 1);
  style(0, 1, 2);
  style(0, 2, 3);
  for (std::uint32_t c = 0; c < 4; ++c) style(1, c, 4);  // A2:D2 centred across
  TempDir dir;
  std::string pdf = dir.File("turned.pdf");
  RenderPdf({{&book, 0}}, pdf, FixedClock());
  auto boxes = WordBoxes(pdf);
  ASSERT_TRUE(boxes.count("UPWARD") && boxes.count("DOWNWARD") && boxes.count("TITLE"))
      << "pdftotext gave nothing back";
  auto tall = [](const std::array<double, 4>& b) { return b[3] - b[1] > 2 * (b[2] - b[0]); };
  EXPECT_TRUE(tall(boxes["UPWARD"]));
  EXPECT_TRUE(tall(boxes["DOWNWARD"]));
  // Stacked: one character a line.
  ASSERT_TRUE(boxes.count("合") && boxes.count("计"));
  EXPECT_GT(boxes["计"][1], boxes["合"][3] - 1);
  // Centred over A:D, from the 0.75 in margin to where E's text starts after its padding, not
  // over A alone.
  double mid = (boxes["TITLE"][0] + boxes["TITLE"][2]) / 2;
  EXPECT_NEAR(mid, (54 + boxes.at("END")[0] - 1.5) / 2, 3);
  // Unaligned text turned up or stacked sits at the cell's right edge, turned down at its left.
  double col = (boxes["END"][0] - 1.5 - 54) / 4;
  EXPECT_GT(boxes["UPWARD"][2], 54 + col * 0.8);
  EXPECT_LT(boxes["DOWNWARD"][0], 54 + col * 1.2);
  EXPECT_GT(boxes["合"][2], 54 + col * 2.8);
  // A wrapped cell's lines are centred in the cell too (four equal columns in A:D).
  ASSERT_TRUE(boxes.count("MID"));
  EXPECT_NEAR((boxes["MID"][0] + boxes["MID"][2]) / 2, 54 + (boxes["END"][0] - 1.5 - 54) / 8, 2);
}

TEST(RenderCellText, TextRunningOnPastAPageBreakContinuesOnTheNextPage) {
  HandBook book;
  book.cells.Set(0, 0, Variant::String("一二三四五六七八九十甲乙"));
  book.cells.Set(1, 3, Variant::String("止"));
  book.layout.col_breaks = {1};  // column A alone on the first page
  TempDir dir;
  std::string pdf = dir.File("runs_on.pdf");
  ASSERT_EQ(RenderPdf({{&book, 0}}, pdf, FixedClock()), 2);
  std::vector<std::string> pages = PageTexts(pdf);
  ASSERT_EQ(pages.size(), 2u) << "pdftotext gave nothing back";
  EXPECT_EQ(pages[0].find("乙"), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("一二"), std::string::npos) << pages[0];
  // The characters past column A's edge are on the second page, the first ones are not.
  EXPECT_NE(pages[1].find("乙"), std::string::npos) << pages[1];
  EXPECT_EQ(pages[1].find("一二"), std::string::npos) << pages[1];
}

TEST(RenderPages, NothingToPrintAndFailures) {
  HandBook empty;
  int pages = -1;
  std::string bytes = RenderPdfBytes({{&empty, 0}}, FixedClock(), &pages);
  EXPECT_EQ(pages, 0);
  EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);  // still a valid document, one blank page
  TempDir dir;
  std::string pdf = dir.File("blank.pdf");
  std::ofstream(pdf, std::ios::binary) << bytes;
  EXPECT_EQ(PageSizes(pdf).size(), 1u);

  HandBook book = LongSheet();
  try {
    RenderPdf({{&book, 0}}, dir.File("no/such/folder/out.pdf"), FixedClock());
    ADD_FAILURE() << "no error for an unwritable path";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("no/such/folder/out.pdf"), std::string::npos) << e.what();
  }
  try {
    RenderPdf({{&book, 7}}, pdf, FixedClock());
    ADD_FAILURE() << "no error for a sheet that does not exist";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("无法打印工作表"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace ledgerix::print
