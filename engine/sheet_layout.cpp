#include "engine/sheet_layout.h"

#include <algorithm>

namespace ledgerix::engine {
namespace {

const ColumnSpan* SpanOf(const std::vector<ColumnSpan>& spans, std::uint32_t col) {
  auto it = std::upper_bound(spans.begin(), spans.end(), col,
                             [](std::uint32_t c, const ColumnSpan& s) { return c < s.first; });
  if (it == spans.begin()) return nullptr;
  --it;
  return col <= it->last ? &*it : nullptr;
}

}  // namespace

void TidyColumns(std::vector<ColumnSpan>* columns) {
  std::stable_sort(columns->begin(), columns->end(),
                   [](const ColumnSpan& a, const ColumnSpan& b) { return a.first < b.first; });
  std::vector<ColumnSpan> kept;
  for (const ColumnSpan& span : *columns) {
    if (!kept.empty() && span.first <= kept.back().last) continue;
    kept.push_back(span);
  }
  *columns = std::move(kept);
}

std::uint32_t SheetLayout::StyleOf(std::uint32_t row, std::uint32_t col) const {
  if (auto it = cell_styles.find(CellKey(row, col)); it != cell_styles.end()) return it->second;
  if (auto it = rows.find(row); it != rows.end() && it->second.style) return *it->second.style;
  if (const ColumnSpan* span = SpanOf(columns, col); span && span->style) return *span->style;
  return default_style;
}

std::optional<double> SheetLayout::StoredWidth(std::uint32_t col) const {
  const ColumnSpan* span = SpanOf(columns, col);
  return span ? span->width : std::nullopt;
}

bool SheetLayout::ColumnHidden(std::uint32_t col) const {
  const ColumnSpan* span = SpanOf(columns, col);
  return span && span->hidden;
}

bool SheetLayout::RowHidden(std::uint32_t row) const {
  auto it = rows.find(row);
  return it == rows.end() ? default_rows_hidden : it->second.hidden;
}

const HeaderFooterPicture* HeaderFooter::PictureFor(bool footer, HeaderFooterPage page,
                                                    HeaderFooterSection section) const {
  for (const HeaderFooterPicture& p : pictures) {
    if (p.footer == footer && p.page == page && p.section == section) return &p;
  }
  return nullptr;
}

bool ParseHeaderFooterShapeName(std::string_view id, HeaderFooterPicture* out) {
  if (id.size() < 2) return false;
  switch (id[0]) {
    case 'L':
      out->section = HeaderFooterSection::Left;
      break;
    case 'C':
      out->section = HeaderFooterSection::Center;
      break;
    case 'R':
      out->section = HeaderFooterSection::Right;
      break;
    default:
      return false;
  }
  if (id[1] != 'H' && id[1] != 'F') return false;
  out->footer = id[1] == 'F';
  std::string_view pages = id.substr(2);
  if (pages.empty()) {
    out->page = HeaderFooterPage::Odd;
  } else if (pages == "EVEN") {
    out->page = HeaderFooterPage::Even;
  } else if (pages == "FIRST") {
    out->page = HeaderFooterPage::First;
  } else {
    return false;
  }
  return true;
}

PictureFormat SniffPictureFormat(std::string_view bytes) {
  if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return PictureFormat::Png;
  if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return PictureFormat::Jpeg;
  return PictureFormat::Other;
}

}  // namespace ledgerix::engine
