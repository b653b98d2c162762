#include "print/header_footer.h"

#include <algorithm>
#include <cctype>

namespace ledgerix::print {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "Bold Italic", "加粗 倾斜", "Regular"...: the style part of &"font,style".
void ApplyFontStyle(std::string_view style, engine::FontStyle& font) {
  auto has = [&](std::string_view word) { return style.find(word) != std::string_view::npos; };
  font.bold = has("Bold") || has("bold") || has("加粗") || has("粗体");
  font.italic = has("Italic") || has("italic") || has("Oblique") || has("倾斜") || has("斜体");
}

}  // namespace

std::string SectionText(const std::vector<HeaderFooterRun>& runs) {
  std::string text;
  for (const HeaderFooterRun& r : runs) text += r.text;
  return text;
}

HeaderFooterSections ParseHeaderFooter(std::string_view text, const HeaderFooterContext& ctx,
                                       const engine::FontStyle& base) {
  HeaderFooterSections out;
  std::vector<HeaderFooterRun>* section = &out.center;
  engine::FontStyle font = base;
  auto emit = [&](std::string_view piece) {
    if (piece.empty()) return;
    if (!section->empty() && !section->back().picture && section->back().font == font) {
      section->back().text += piece;
    } else {
      section->push_back({std::string(piece), font});
    }
  };
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c != '&') {
      std::size_t next = text.find('&', i);
      if (next == std::string_view::npos) next = text.size();
      emit(text.substr(i, next - i));
      i = next;
      continue;
    }
    if (i + 1 >= text.size()) break;
    char code = text[i + 1];
    i += 2;
    switch (code) {
      case '&':
        emit("&");
        break;
      case 'L':
      case 'l':
        section = &out.left;
        font = base;
        break;
      case 'C':
      case 'c':
        section = &out.center;
        font = base;
        break;
      case 'R':
      case 'r':
        section = &out.right;
        font = base;
        break;
      case 'P':
      case 'p': {
        int page = ctx.page;
        // &P+n / &P-n offset the number shown.
        if (i < text.size() && (text[i] == '+' || text[i] == '-') && i + 1 < text.size() &&
            IsDigit(text[i + 1])) {
          bool minus = text[i] == '-';
          int n = 0;
          ++i;
          while (i < text.size() && IsDigit(text[i]) && n < 100000) n = n * 10 + (text[i++] - '0');
          page += minus ? -n : n;
        }
        emit(std::to_string(page));
        break;
      }
      case 'N':
      case 'n':
        emit(std::to_string(ctx.pages));
        break;
      case 'D':
      case 'd':
        emit(ctx.date);
        break;
      case 'T':
      case 't':
        emit(ctx.time);
        break;
      case 'F':
      case 'f':
        emit(ctx.file);
        break;
      case 'A':
      case 'a':
        emit(ctx.sheet);
        break;
      case 'Z':
      case 'z':
        emit(ctx.folder);
        break;
      case 'B':
      case 'b':
        font.bold = !font.bold;
        break;
      case 'I':
      case 'i':
        font.italic = !font.italic;
        break;
      case 'U':
      case 'u':
        font.underline = font.underline == engine::Underline::Single ? engine::Underline::None
                                                                     : engine::Underline::Single;
        break;
      case 'E':
      case 'e':
        font.underline = font.underline == engine::Underline::Double ? engine::Underline::None
                                                                     : engine::Underline::Double;
        break;
      case 'S':
      case 's':
        font.strike = !font.strike;
        break;
      case 'X':
      case 'x':
        font.script =
            font.script == engine::Script::Super ? engine::Script::None : engine::Script::Super;
        break;
      case 'Y':
      case 'y':
        font.script =
            font.script == engine::Script::Sub ? engine::Script::None : engine::Script::Sub;
        break;
      case 'G':
      case 'g':
        if (std::none_of(section->begin(), section->end(),
                         [](const HeaderFooterRun& r) { return r.picture; })) {
          section->push_back({std::string(), font, true});
        }
        break;
      case '"': {
        std::size_t end = text.find('"', i);
        if (end == std::string_view::npos) end = text.size();
        std::string_view font_code = text.substr(i, end - i);
        i = end < text.size() ? end + 1 : end;
        std::size_t comma = font_code.find(',');
        std::string_view name = font_code.substr(0, comma);
        if (!name.empty() && name != "-") font.name = std::string(name);
        if (comma != std::string_view::npos) ApplyFontStyle(font_code.substr(comma + 1), font);
        break;
      }
      case 'K':
      case 'k': {
        // &Krrggbb; theme forms (&Kttsnnn) keep the current colour.
        if (i + 6 <= text.size()) {
          std::uint32_t rgb = 0;
          bool ok = true;
          for (std::size_t k = 0; k < 6; ++k) {
            int h = HexValue(text[i + k]);
            if (h < 0) ok = false;
            rgb = rgb << 4 | static_cast<std::uint32_t>(h < 0 ? 0 : h);
          }
          if (ok) font.color = engine::ColorRef::Rgb(rgb);
          i += 6;
        }
        break;
      }
      default:
        if (IsDigit(code)) {
          int size = code - '0';
          while (i < text.size() && IsDigit(text[i]) && size < 10000)
            size = size * 10 + (text[i++] - '0');
          if (size >= 1 && size <= 409) font.size_pt = size;
        }
        break;
    }
  }
  return out;
}

}  // namespace ledgerix::print
