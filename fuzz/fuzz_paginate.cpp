// libFuzzer target for paginating what the readers give: open from memory, measure every
// worksheet with fixed font metrics, break it into pages by its own setup (and fitted to one page
// width) and parse its header and footer codes. BookError from a sheet that cannot be read is
// expected; anything else (a crash, a sanitizer report, a hang, pages that lose cells) is a
// finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/book.h"
#include "print/header_footer.h"
#include "print/paginate.h"

namespace {

// Metrics without fonts: fixed digit width and line height, wrapped text by its length.
class FixedMeasure : public ledgerix::print::TextMeasure {
 public:
  int MaxDigitWidthPx(const ledgerix::engine::FontStyle&) override { return 7; }
  double LineHeightPt(const ledgerix::engine::FontStyle& f) override {
    return f.size_pt > 0 && f.size_pt < 500 ? f.size_pt * 1.3 : 13;
  }
  double WrappedHeightPt(std::string_view text, const ledgerix::engine::FontStyle& f,
                         double width_pt) override {
    double lines = 1 + static_cast<double>(text.size()) * 5 / (width_pt > 1 ? width_pt : 1);
    return LineHeightPt(f) * (lines < 1000 ? lines : 1000);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ledgerix;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const char* name : {"fuzz.xls", "fuzz.xlsx"}) {
    try {
      std::unique_ptr<engine::Book> book = engine::OpenBookFromMemory(name, bytes);
      const engine::StyleTable& styles = book->Styles();
      for (std::size_t i = 0; i < book->sheets().size(); ++i) {
        try {
          const engine::SheetLayout& layout = book->Layout(static_cast<int>(i));
          const engine::CellStore& cells = book->Cells(static_cast<int>(i));
          FixedMeasure measure;
          print::SheetGeometry g = print::MeasureSheet(
              layout, styles, cells, measure, [](const Variant& v, const engine::CellStyle&) {
                return v.type() == Variant::Type::String ? v.string() : std::string("0");
              });
          for (bool fit : {false, true}) {
            print::Pagination p = print::Paginate(g, print::FrameFor(layout.page, fit));
            // Pages cover their ranges: no page outside its range, none inverted.
            for (const print::Page& page : p.pages) {
              const engine::CellRange& r = g.ranges.at(page.range);
              if (page.first_row > page.last_row || page.first_col > page.last_col ||
                  page.first_row < r.first_row || page.last_row > r.last_row ||
                  page.first_col < r.first_col || page.last_col > r.last_col) {
                std::abort();
              }
            }
          }
          print::HeaderFooterContext ctx;
          print::ParseHeaderFooter(layout.header_footer.odd_header, ctx, styles.normal_font);
          print::ParseHeaderFooter(layout.header_footer.odd_footer, ctx, styles.normal_font);
        } catch (const engine::BookError&) {
        }
      }
    } catch (const engine::BookError&) {
    }
  }
  return 0;
}
