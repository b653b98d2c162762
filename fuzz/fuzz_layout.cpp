// libFuzzer target for reading how sheets look and print, both formats: open from memory, then
// load the workbook's styles and every worksheet's layout and walk what they hold. Layout() may
// refuse a sheet whose records cannot be split (BookError); Styles() never throws. Anything else
// (a crash, a sanitizer report, another exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/book.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ledgerix::engine;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The same bytes as either format, so each reader sees every input.
  for (const char* name : {"fuzz.xls", "fuzz.xlsx"}) {
    try {
      std::unique_ptr<Book> book = OpenBookFromMemory(name, bytes);
      const StyleTable& styles = book->Styles();
      std::size_t seen = styles.normal_font.name.size();
      for (const CellStyle& style : styles.styles) seen += style.font.name.size();
      for (std::size_t i = 0; i < book->sheets().size(); ++i) {
        try {
          const SheetLayout& layout = book->Layout(static_cast<int>(i));
          for (const auto& [key, xf] : layout.cell_styles) {
            seen += styles.Get(xf).num_fmt_id;
            seen += layout.StyleOf(static_cast<std::uint32_t>(key >> 32),
                                   static_cast<std::uint32_t>(key));
          }
          for (const ColumnSpan& span : layout.columns) {
            seen += layout.ColumnHidden(span.last) + layout.StoredWidth(span.first).has_value();
          }
          seen += layout.merges.size() + layout.print_area.size() + layout.row_breaks.size() +
                  layout.header_footer.odd_header.size();
          for (const HeaderFooterPicture& picture : layout.header_footer.pictures) {
            seen += picture.bytes.size() + picture.part.size() + (picture.width_pt > 0) +
                    (picture.height_pt > 0);
          }
        } catch (const BookError&) {
          // A sheet that cannot be read at all; the others still are.
        }
      }
      (void)seen;
    } catch (const BookError&) {
    }
  }
  return 0;
}
