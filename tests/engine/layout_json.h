// What the engine reads of a workbook's look and page setup, as JSON lines for the comparison
// scripts in tests/data/layout: one "book" line with the styles, one line per worksheet.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/book.h"
#include "engine/workbook_json.h"

namespace ledgerix::engine::testing {

class JsonOut {
 public:
  std::string text;
  void Raw(const std::string& s) { text += s; }
  void Str(const std::string& s) { AppendJsonString(text, s); }
  void Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    text += buf;
  }
  void Int(long long v) { text += std::to_string(v); }
  void Bool(bool v) { text += v ? "true" : "false"; }
  template <typename T>
  void Opt(const std::optional<T>& v) {
    if (!v) {
      text += "null";
    } else if constexpr (std::is_floating_point_v<T>) {
      Num(*v);
    } else {
      Int(static_cast<long long>(*v));
    }
  }
  void Key(const char* k) {
    if (!text.empty() && text.back() != '{' && text.back() != '[') text.push_back(',');
    Str(k);
    text.push_back(':');
  }
  void Sep() {
    if (!text.empty() && text.back() != '{' && text.back() != '[') text.push_back(',');
  }
};

inline void ColorJson(JsonOut& j, const ColorRef& c) {
  if (c.automatic) {
    j.Raw("null");
  } else {
    j.Int(c.rgb);
  }
}

inline void FontJson(JsonOut& j, const FontStyle& f) {
  j.Raw("{");
  j.Key("name");
  j.Str(f.name);
  j.Key("size");
  j.Num(f.size_pt);
  j.Key("bold");
  j.Bool(f.bold);
  j.Key("italic");
  j.Bool(f.italic);
  j.Key("strike");
  j.Bool(f.strike);
  j.Key("underline");
  j.Int(static_cast<int>(f.underline));
  j.Key("script");
  j.Int(static_cast<int>(f.script));
  j.Key("color");
  ColorJson(j, f.color);
  j.Raw("}");
}

inline void LineJson(JsonOut& j, const BorderLine& b) {
  j.Raw("[");
  j.Int(static_cast<int>(b.style));
  j.Raw(",");
  ColorJson(j, b.color);
  j.Raw("]");
}

inline void RangeJson(JsonOut& j, const CellRange& r) {
  j.Raw("[" + std::to_string(r.first_row) + "," + std::to_string(r.first_col) + "," +
        std::to_string(r.last_row) + "," + std::to_string(r.last_col) + "]");
}

// {"kind":"book", "file", "format", "normal_font", "styles":[...]}
inline std::string BookJson(Book& book, const std::string& file) {
  const StyleTable& styles = book.Styles();
  JsonOut j;
  j.Raw("{");
  j.Key("kind");
  j.Str("book");
  j.Key("file");
  j.Str(file);
  j.Key("format");
  j.Str(book.format());
  j.Key("normal_font");
  FontJson(j, styles.normal_font);
  j.Key("styles");
  j.Raw("[");
  for (const CellStyle& s : styles.styles) {
    j.Sep();
    j.Raw("{");
    j.Key("font");
    FontJson(j, s.font);
    j.Key("fmt_id");
    j.Int(s.num_fmt_id);
    j.Key("fmt");
    if (s.num_fmt_code) {
      j.Str(*s.num_fmt_code);
    } else {
      j.Raw("null");
    }
    j.Key("halign");
    j.Int(static_cast<int>(s.halign));
    j.Key("valign");
    j.Int(static_cast<int>(s.valign));
    j.Key("wrap");
    j.Bool(s.wrap);
    j.Key("shrink");
    j.Bool(s.shrink);
    j.Key("indent");
    j.Int(s.indent);
    j.Key("rotation");
    j.Int(s.rotation);
    j.Key("borders");
    j.Raw("[");
    LineJson(j, s.left);
    j.Raw(",");
    LineJson(j, s.right);
    j.Raw(",");
    LineJson(j, s.top);
    j.Raw(",");
    LineJson(j, s.bottom);
    j.Raw("]");
    j.Key("fill");
    j.Raw("[");
    j.Int(s.fill.pattern);
    j.Raw(",");
    ColorJson(j, s.fill.foreground);
    j.Raw(",");
    ColorJson(j, s.fill.background);
    j.Raw("]");
    j.Raw("}");
  }
  j.Raw("]}");
  return j.text;
}

inline const char* OrientationName(Orientation o) {
  switch (o) {
    case Orientation::Portrait:
      return "portrait";
    case Orientation::Landscape:
      return "landscape";
    default:
      return "default";
  }
}

// {"kind":"sheet", ...}; max_cells caps the cell style list of a big sheet.
inline std::string SheetJson(Book& book, const std::string& file, int sheet,
                             std::size_t max_cells = 20000) {
  JsonOut j;
  j.Raw("{");
  j.Key("kind");
  j.Str("sheet");
  j.Key("file");
  j.Str(file);
  j.Key("sheet");
  j.Int(sheet);
  j.Key("name");
  j.Str(book.sheets()[static_cast<std::size_t>(sheet)].name);
  const SheetLayout* layout = nullptr;
  try {
    layout = &book.Layout(sheet);
  } catch (const BookError& e) {
    j.Key("error");
    j.Str(e.what());
    j.Raw("}");
    return j.text;
  }
  const SheetLayout& l = *layout;
  const PageSetup& p = l.page;
  j.Key("error");
  j.Raw("null");
  j.Key("page");
  j.Raw("{");
  j.Key("paper");
  j.Opt(p.paper);
  j.Key("paper_w_mm");
  j.Opt(p.paper_width_mm);
  j.Key("paper_h_mm");
  j.Opt(p.paper_height_mm);
  j.Key("orientation");
  j.Str(OrientationName(p.orientation));
  j.Key("scale");
  j.Opt(p.scale);
  j.Key("fit");
  j.Bool(p.fit_to_page);
  j.Key("fit_w");
  j.Int(p.fit_width);
  j.Key("fit_h");
  j.Int(p.fit_height);
  j.Key("over_then_down");
  j.Bool(p.page_order == PageOrder::OverThenDown);
  j.Key("first_page");
  j.Opt(p.first_page_number);
  j.Key("copies");
  j.Opt(p.copies);
  j.Key("bw");
  j.Bool(p.black_and_white);
  j.Key("draft");
  j.Bool(p.draft);
  j.Key("errors");
  j.Int(static_cast<int>(p.errors));
  j.Key("margins");
  j.Raw("[");
  for (const auto* m : {&p.margins.left, &p.margins.right, &p.margins.top, &p.margins.bottom,
                        &p.margins.header, &p.margins.footer}) {
    j.Sep();
    j.Opt(*m);
  }
  j.Raw("]");
  j.Key("hcenter");
  j.Bool(p.center_horizontally);
  j.Key("vcenter");
  j.Bool(p.center_vertically);
  j.Key("grid");
  j.Bool(p.print_gridlines);
  j.Key("headings");
  j.Bool(p.print_headings);
  j.Raw("}");
  const HeaderFooter& hf = l.header_footer;
  j.Key("hf");
  j.Raw("{");
  j.Key("odd_header");
  j.Str(hf.odd_header);
  j.Key("odd_footer");
  j.Str(hf.odd_footer);
  j.Key("even_header");
  j.Str(hf.even_header);
  j.Key("even_footer");
  j.Str(hf.even_footer);
  j.Key("first_header");
  j.Str(hf.first_header);
  j.Key("first_footer");
  j.Str(hf.first_footer);
  j.Key("odd_even");
  j.Bool(hf.different_odd_even);
  j.Key("first");
  j.Bool(hf.different_first);
  j.Raw("}");
  j.Key("default_col_width");
  j.Opt(l.default_col_width);
  j.Key("base_col_width");
  j.Opt(l.base_col_width);
  j.Key("default_row_height");
  j.Opt(l.default_row_height_pt);
  j.Key("default_rows_hidden");
  j.Bool(l.default_rows_hidden);
  j.Key("show_grid");
  j.Bool(l.show_gridlines);
  j.Key("cols");
  j.Raw("[");
  for (const ColumnSpan& c : l.columns) {
    j.Sep();
    j.Raw("[" + std::to_string(c.first) + "," + std::to_string(c.last) + ",");
    j.Opt(c.width);
    j.Raw(",");
    j.Bool(c.hidden);
    j.Raw(",");
    j.Opt(c.style);
    j.Raw("]");
  }
  j.Raw("]");
  std::vector<std::uint32_t> rows;
  for (const auto& entry : l.rows) rows.push_back(entry.first);
  std::sort(rows.begin(), rows.end());
  j.Key("rows");
  j.Raw("[");
  for (std::uint32_t r : rows) {
    const RowInfo& info = l.rows.at(r);
    j.Sep();
    j.Raw("[" + std::to_string(r) + ",");
    j.Opt(info.height_pt);
    j.Raw(",");
    j.Bool(info.custom_height);
    j.Raw(",");
    j.Bool(info.hidden);
    j.Raw(",");
    j.Opt(info.style);
    j.Raw("]");
  }
  j.Raw("]");
  j.Key("merges");
  j.Raw("[");
  for (const CellRange& r : l.merges) {
    j.Sep();
    RangeJson(j, r);
  }
  j.Raw("]");
  for (const auto& [key, list] :
       {std::pair{"row_breaks", &l.row_breaks}, std::pair{"col_breaks", &l.col_breaks}}) {
    j.Key(key);
    j.Raw("[");
    for (std::uint32_t b : *list) {
      j.Sep();
      j.Int(b);
    }
    j.Raw("]");
  }
  j.Key("print_area");
  j.Raw("[");
  for (const CellRange& r : l.print_area) {
    j.Sep();
    RangeJson(j, r);
  }
  j.Raw("]");
  for (const auto& [key, titles] :
       {std::pair{"title_rows", &l.title_rows}, std::pair{"title_cols", &l.title_cols}}) {
    j.Key(key);
    if (*titles) {
      j.Raw("[" + std::to_string((*titles)->first) + "," + std::to_string((*titles)->second) + "]");
    } else {
      j.Raw("null");
    }
  }
  std::vector<std::uint64_t> keys;
  for (const auto& entry : l.cell_styles) keys.push_back(entry.first);
  std::sort(keys.begin(), keys.end());
  if (keys.size() > max_cells) keys.resize(max_cells);
  j.Key("default_style");
  j.Int(l.default_style);
  j.Key("cells");
  j.Raw("[");
  for (std::uint64_t key : keys) {
    j.Sep();
    j.Raw("[" + std::to_string(key >> 32) + "," + std::to_string(key & 0xFFFFFFFF) + "," +
          std::to_string(l.cell_styles.at(key)) + "]");
  }
  j.Raw("]}");
  return j.text;
}

}  // namespace ledgerix::engine::testing
