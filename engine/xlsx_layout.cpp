// How an .xlsx workbook looks and prints: styles and theme colours, print names, and one short
// reader per worksheet element. One file past 600 lines on purpose: the readers share the
// attribute helpers and the colour context at the top, and each is only a few lines long.
#include "engine/xlsx_layout.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/book.h"
#include "engine/color_palette.h"
#include "engine/xlsx_text.h"
#include "engine/xlsx_xml.h"

namespace ledgerix::engine {
namespace {

// Every value here is cosmetic: one that does not parse is left unset (or at its default),
// never an error.

std::optional<double> Number(pugi::xml_attribute a) {
  double value = 0;
  if (!a || !ParseXmlNumber(a.value(), &value)) return std::nullopt;
  return value;
}

std::optional<long long> Integer(pugi::xml_attribute a) {
  if (!a) return std::nullopt;
  std::string_view text = Trim(a.value());
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    // Some writers put "1.0" where an integer belongs.
    double d = 0;
    if (!ParseXmlNumber(text, &d) || d != std::floor(d) || std::fabs(d) > 1e12) {
      return std::nullopt;
    }
    return static_cast<long long>(d);
  }
  return value;
}

std::optional<std::uint32_t> Index(pugi::xml_attribute a, std::uint32_t limit) {
  std::optional<long long> v = Integer(a);
  if (!v || *v < 0 || *v > limit) return std::nullopt;
  return static_cast<std::uint32_t>(*v);
}

std::optional<bool> Bool(pugi::xml_attribute a) {
  if (!a) return std::nullopt;
  std::string_view text = Trim(a.value());
  if (text == "1" || text == "true" || text == "on") return true;
  if (text == "0" || text == "false" || text == "off") return false;
  return std::nullopt;
}

bool BoolOr(pugi::xml_attribute a, bool fallback) { return Bool(a).value_or(fallback); }

// <b/>, <b val="0"/>: a present element is true unless its val says otherwise.
bool BoolProperty(pugi::xml_node parent, const char* name) {
  pugi::xml_node node = ChildElement(parent, name);
  return node && BoolOr(node.attribute("val"), true);
}

// ---- colours ----------------------------------------------------------------------------------

struct ColorContext {
  std::uint32_t indexed[64];
  // In the order cells refer to them: lt1, dk1, lt2, dk2, accent1-6, hlink, folHlink (the
  // first two pairs swap against the order of the theme part).
  std::uint32_t theme[12] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                             0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};
  ColorContext() { std::memcpy(indexed, kDefaultIndexedColors, sizeof indexed); }

  ColorRef Resolve(pugi::xml_node color) const {
    if (!color || BoolOr(color.attribute("auto"), false)) return ColorRef::Auto();
    std::optional<std::uint32_t> rgb;
    if (pugi::xml_attribute a = color.attribute("rgb")) {
      std::string_view hex = Trim(a.value());
      std::uint32_t value = 0;
      auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
      if (ec == std::errc() && end == hex.data() + hex.size() &&
          (hex.size() == 8 || hex.size() == 6)) {
        rgb = value & 0xFFFFFF;  // the alpha byte is not shown
      }
    } else if (std::optional<std::uint32_t> theme_index = Index(color.attribute("theme"), 11)) {
      rgb = theme[*theme_index];
    } else if (std::optional<std::uint32_t> index = Index(color.attribute("indexed"), 0xFFFF)) {
      // 64 and 65 are the system's text and background colours.
      if (*index < 64) rgb = indexed[*index];
    }
    if (!rgb) return ColorRef::Auto();
    std::optional<double> tint = Number(color.attribute("tint"));
    if (tint && *tint != 0) *rgb = ApplyTint(*rgb, std::clamp(*tint, -1.0, 1.0));
    return ColorRef::Rgb(*rgb);
  }
};

std::optional<std::uint32_t> ThemeColorValue(pugi::xml_node entry) {
  for (pugi::xml_node c = entry.first_child(); c; c = c.next_sibling()) {
    const char* attr = IsElement(c, "srgbClr") ? "val" : IsElement(c, "sysClr") ? "lastClr" : "";
    if (!*attr) continue;
    std::string_view hex = Trim(c.attribute(attr).value());
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (ec == std::errc() && end == hex.data() + hex.size() && hex.size() == 6) return value;
  }
  return std::nullopt;
}

void ReadTheme(pugi::xml_node theme, ColorContext* colors) {
  pugi::xml_node scheme = ChildElement(ChildElement(theme, "themeElements"), "clrScheme");
  static const char* const kNames[12] = {"lt1",     "dk1",     "lt2",     "dk2",
                                         "accent1", "accent2", "accent3", "accent4",
                                         "accent5", "accent6", "hlink",   "folHlink"};
  for (int i = 0; i < 12; ++i) {
    if (std::optional<std::uint32_t> v = ThemeColorValue(ChildElement(scheme, kNames[i]))) {
      colors->theme[i] = *v;
    }
  }
}

// ---- styles -------------------------------------------------------------------------------

// A font that leaves out its name or size takes them from base, the first font.
FontStyle ReadFont(pugi::xml_node font, const ColorContext& colors, const FontStyle& base) {
  FontStyle out;
  out.name = base.name;
  out.size_pt = base.size_pt;
  pugi::xml_node name = ChildElement(font, "name");
  if (!name) name = ChildElement(font, "rFont");
  if (name && *name.attribute("val").value()) out.name = name.attribute("val").value();
  if (std::optional<double> size = Number(ChildElement(font, "sz").attribute("val"));
      size && *size > 0 && *size < 1000) {
    out.size_pt = *size;
  }
  out.bold = BoolProperty(font, "b");
  out.italic = BoolProperty(font, "i");
  out.strike = BoolProperty(font, "strike");
  if (pugi::xml_node u = ChildElement(font, "u")) {
    std::string_view val = u.attribute("val").value();
    out.underline = val == "double"             ? Underline::Double
                    : val == "singleAccounting" ? Underline::SingleAccounting
                    : val == "doubleAccounting" ? Underline::DoubleAccounting
                    : val == "none"             ? Underline::None
                                                : Underline::Single;
  }
  std::string_view script = ChildElement(font, "vertAlign").attribute("val").value();
  if (script == "superscript") out.script = Script::Super;
  if (script == "subscript") out.script = Script::Sub;
  out.color = colors.Resolve(ChildElement(font, "color"));
  return out;
}

std::uint8_t PatternNumber(std::string_view name) {
  static const char* const kPatterns[] = {
      "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
      "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
      "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
      "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};
  for (std::uint8_t i = 0; i < sizeof kPatterns / sizeof kPatterns[0]; ++i) {
    if (name == kPatterns[i]) return i;
  }
  return 0;
}

Fill ReadFill(pugi::xml_node fill, const ColorContext& colors) {
  Fill out;
  if (pugi::xml_node pattern = ChildElement(fill, "patternFill")) {
    out.pattern = PatternNumber(pattern.attribute("patternType").value());
    out.foreground = colors.Resolve(ChildElement(pattern, "fgColor"));
    out.background = colors.Resolve(ChildElement(pattern, "bgColor"));
  } else if (pugi::xml_node gradient = ChildElement(fill, "gradientFill")) {
    // A gradient prints as its first colour: close enough for a statement's shading.
    out.pattern = 1;
    out.foreground = colors.Resolve(ChildElement(ChildElement(gradient, "stop"), "color"));
  }
  return out;
}

BorderLine ReadBorderLine(pugi::xml_node line, const ColorContext& colors) {
  static const char* const kStyles[] = {"none",
                                        "thin",
                                        "medium",
                                        "dashed",
                                        "dotted",
                                        "thick",
                                        "double",
                                        "hair",
                                        "mediumDashed",
                                        "dashDot",
                                        "mediumDashDot",
                                        "dashDotDot",
                                        "mediumDashDotDot",
                                        "slantDashDot"};
  BorderLine out;
  if (!line) return out;
  std::string_view style = line.attribute("style").value();
  for (std::uint8_t i = 0; i < sizeof kStyles / sizeof kStyles[0]; ++i) {
    if (style == kStyles[i]) out.style = static_cast<BorderStyle>(i);
  }
  out.color = colors.Resolve(ChildElement(line, "color"));
  return out;
}

struct Border {
  BorderLine left, right, top, bottom, diagonal;
  bool up = false, down = false;
};

Border ReadBorder(pugi::xml_node border, const ColorContext& colors) {
  Border out;
  // Newer files name the sides start and end.
  pugi::xml_node left = ChildElement(border, "left");
  if (!left) left = ChildElement(border, "start");
  pugi::xml_node right = ChildElement(border, "right");
  if (!right) right = ChildElement(border, "end");
  out.left = ReadBorderLine(left, colors);
  out.right = ReadBorderLine(right, colors);
  out.top = ReadBorderLine(ChildElement(border, "top"), colors);
  out.bottom = ReadBorderLine(ChildElement(border, "bottom"), colors);
  out.diagonal = ReadBorderLine(ChildElement(border, "diagonal"), colors);
  out.up = BoolOr(border.attribute("diagonalUp"), false);
  out.down = BoolOr(border.attribute("diagonalDown"), false);
  return out;
}

HAlign HorizontalAlign(std::string_view v) {
  if (v == "left") return HAlign::Left;
  if (v == "center") return HAlign::Center;
  if (v == "right") return HAlign::Right;
  if (v == "fill") return HAlign::Fill;
  if (v == "justify") return HAlign::Justify;
  if (v == "centerContinuous") return HAlign::CenterAcross;
  if (v == "distributed") return HAlign::Distributed;
  return HAlign::General;
}

VAlign VerticalAlign(std::string_view v) {
  if (v == "top") return VAlign::Top;
  if (v == "center") return VAlign::Center;
  if (v == "justify") return VAlign::Justify;
  if (v == "distributed") return VAlign::Distributed;
  return VAlign::Bottom;
}

template <typename T>
std::vector<T> ReadList(pugi::xml_node list, const char* item,
                        T (*read)(pugi::xml_node, const ColorContext&),
                        const ColorContext& colors) {
  std::vector<T> out;
  for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling()) {
    if (IsElement(n, item)) out.push_back(read(n, colors));
  }
  return out;
}

template <typename T>
const T* At(const std::vector<T>& list, pugi::xml_attribute index) {
  std::optional<std::uint32_t> i = Index(index, 0xFFFFFFF);
  return i && *i < list.size() ? &list[*i] : nullptr;
}

}  // namespace

std::uint32_t ApplyTint(std::uint32_t rgb, double tint) {
  double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
         b = (rgb & 0xFF) / 255.0;
  double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  double l = (hi + lo) / 2, h = 0, s = 0;
  if (hi != lo) {
    double d = hi - lo;
    s = l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
    if (hi == r) {
      h = (g - b) / d + (g < b ? 6 : 0);
    } else if (hi == g) {
      h = (b - r) / d + 2;
    } else {
      h = (r - g) / d + 4;
    }
    h /= 6;
  }
  l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
  auto channel = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double nr = l, ng = l, nb = l;
  if (s != 0) {
    double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    double p = 2 * l - q;
    nr = channel(p, q, h + 1.0 / 3);
    ng = channel(p, q, h);
    nb = channel(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return (byte(nr) << 16) | (byte(ng) << 8) | byte(nb);
}

void ReadXlsxStyles(pugi::xml_node styles, pugi::xml_node theme, StyleTable* out) {
  ColorContext colors;
  if (theme) ReadTheme(theme, &colors);
  pugi::xml_node indexed = ChildElement(ChildElement(styles, "colors"), "indexedColors");
  int i = 0;
  for (pugi::xml_node c = indexed.first_child(); c && i < 64; c = c.next_sibling()) {
    if (!IsElement(c, "rgbColor")) continue;
    std::string_view hex = Trim(c.attribute("rgb").value());
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (ec == std::errc() && end == hex.data() + hex.size()) colors.indexed[i] = value & 0xFFFFFF;
    ++i;
  }

  std::unordered_map<std::uint32_t, std::string> codes;
  for (pugi::xml_node f = ChildElement(styles, "numFmts").first_child(); f; f = f.next_sibling()) {
    if (!IsElement(f, "numFmt")) continue;
    if (std::optional<std::uint32_t> id = Index(f.attribute("numFmtId"), 0xFFFF)) {
      codes[*id] = DecodeEscapes(f.attribute("formatCode").value());
    }
  }
  // SpreadsheetML's own default font stands in for what the first font leaves out.
  FontStyle base;
  base.name = "Calibri";
  base.size_pt = 11;
  std::vector<FontStyle> fonts;
  for (pugi::xml_node f = ChildElement(styles, "fonts").first_child(); f; f = f.next_sibling()) {
    if (!IsElement(f, "font")) continue;
    fonts.push_back(ReadFont(f, colors, base));
    if (fonts.size() == 1) base = fonts[0];
  }
  std::vector<Fill> fills = ReadList(ChildElement(styles, "fills"), "fill", ReadFill, colors);
  std::vector<Border> borders =
      ReadList(ChildElement(styles, "borders"), "border", ReadBorder, colors);

  // The Normal style's font: the cell style with built-in id 0, else the first style format.
  pugi::xml_node style_xfs = ChildElement(styles, "cellStyleXfs");
  std::vector<pugi::xml_node> style_list;
  for (pugi::xml_node x = style_xfs.first_child(); x; x = x.next_sibling()) {
    if (IsElement(x, "xf")) style_list.push_back(x);
  }
  std::size_t normal = 0;
  for (pugi::xml_node cs = ChildElement(styles, "cellStyles").first_child(); cs;
       cs = cs.next_sibling()) {
    if (IsElement(cs, "cellStyle") && Index(cs.attribute("builtinId"), 100) == 0u) {
      normal = Index(cs.attribute("xfId"), 0xFFFFFF).value_or(0);
      break;
    }
  }
  const FontStyle* normal_font = nullptr;
  if (normal < style_list.size()) normal_font = At(fonts, style_list[normal].attribute("fontId"));
  if (!normal_font && !fonts.empty()) normal_font = &fonts[0];
  if (normal_font) out->normal_font = *normal_font;

  for (pugi::xml_node x = ChildElement(styles, "cellXfs").first_child(); x; x = x.next_sibling()) {
    if (!IsElement(x, "xf")) continue;
    CellStyle style;
    style.font = out->normal_font;
    if (const FontStyle* font = At(fonts, x.attribute("fontId"))) style.font = *font;
    if (std::optional<std::uint32_t> id = Index(x.attribute("numFmtId"), 0xFFFF)) {
      style.num_fmt_id = static_cast<std::uint16_t>(*id);
      if (auto it = codes.find(*id); it != codes.end()) style.num_fmt_code = it->second;
    }
    if (const Fill* fill = At(fills, x.attribute("fillId"))) style.fill = *fill;
    if (const Border* border = At(borders, x.attribute("borderId"))) {
      style.left = border->left;
      style.right = border->right;
      style.top = border->top;
      style.bottom = border->bottom;
      style.diagonal = border->diagonal;
      style.diagonal_up = border->up;
      style.diagonal_down = border->down;
    }
    if (pugi::xml_node align = ChildElement(x, "alignment")) {
      style.halign = HorizontalAlign(align.attribute("horizontal").value());
      style.valign = VerticalAlign(align.attribute("vertical").value());
      style.wrap = BoolOr(align.attribute("wrapText"), false);
      style.shrink = BoolOr(align.attribute("shrinkToFit"), false);
      style.indent = static_cast<std::uint8_t>(Index(align.attribute("indent"), 250).value_or(0));
      std::uint32_t rotation = Index(align.attribute("textRotation"), 255).value_or(0);
      style.rotation =
          static_cast<std::uint16_t>(rotation <= 180 || rotation == 255 ? rotation : 0);
    }
    out->styles.push_back(std::move(style));
  }
}

// ---- print names and references -----------------------------------------------------------

std::vector<XlsxPrintName> ReadXlsxPrintNames(pugi::xml_node workbook) {
  std::vector<XlsxPrintName> out;
  for (pugi::xml_node n = ChildElement(workbook, "definedNames").first_child(); n;
       n = n.next_sibling()) {
    if (!IsElement(n, "definedName")) continue;
    std::string name = n.attribute("name").value();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (name != "_xlnm.print_area" && name != "_xlnm.print_titles") continue;
    XlsxPrintName entry;
    entry.titles = name == "_xlnm.print_titles";
    if (std::optional<std::uint32_t> id = Index(n.attribute("localSheetId"), 0xFFFF)) {
      entry.local_sheet = static_cast<int>(*id);
    }
    entry.formula = n.child_value();
    out.push_back(std::move(entry));
  }
  return out;
}

namespace {

// "$A$1", "A", "$12" -> parts; false when the text is none of them.
bool ParseRefPart(std::string_view text, std::optional<std::uint32_t>* row,
                  std::optional<std::uint32_t>* col) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  std::uint32_t c = 0;
  std::size_t letters = 0;
  while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
    if (++letters > 3) return false;
    c = c * 26 +
        static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    ++i;
  }
  if (letters) {
    if (c > kMaxCols) return false;
    *col = c - 1;
  }
  if (i < text.size() && text[i] == '$') ++i;
  std::uint32_t r = 0;
  std::size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (++digits > 7) return false;
    r = r * 10 + static_cast<std::uint32_t>(text[i] - '0');
    ++i;
  }
  if (digits) {
    if (r == 0 || r > kMaxRows) return false;
    *row = r - 1;
  }
  return i == text.size() && (letters || digits);
}

bool ParseArea(std::string_view text, CellRange* out) {
  std::size_t colon = text.find(':');
  std::string_view first = text.substr(0, colon);
  std::string_view second = colon == std::string_view::npos ? first : text.substr(colon + 1);
  std::optional<std::uint32_t> r1, c1, r2, c2;
  if (!ParseRefPart(first, &r1, &c1) || !ParseRefPart(second, &r2, &c2)) return false;
  // Both ends must be of one kind: cells, whole rows or whole columns.
  if (r1.has_value() != r2.has_value() || c1.has_value() != c2.has_value()) return false;
  out->first_row = r1.value_or(0);
  out->last_row = r2.value_or(kMaxRows - 1);
  out->first_col = c1.value_or(0);
  out->last_col = c2.value_or(kMaxCols - 1);
  if (out->first_row > out->last_row) std::swap(out->first_row, out->last_row);
  if (out->first_col > out->last_col) std::swap(out->first_col, out->last_col);
  return true;
}

}  // namespace

bool ParseRangeList(std::string_view formula, std::vector<CellRange>* out,
                    std::vector<std::string>* sheets) {
  std::vector<CellRange> ranges;
  std::vector<std::string> names;
  std::size_t i = 0;
  auto skip_space = [&]() {
    while (i < formula.size() && (formula[i] == ' ' || formula[i] == '(' || formula[i] == ')')) {
      ++i;
    }
  };
  if (i < formula.size() && formula[i] == '=') ++i;
  while (true) {
    skip_space();
    if (i >= formula.size()) break;
    std::string sheet;
    std::size_t start = i;
    if (formula[i] == '\'') {
      ++i;
      while (true) {
        if (i >= formula.size()) return false;
        if (formula[i] == '\'') {
          if (i + 1 < formula.size() && formula[i + 1] == '\'') {
            sheet.push_back('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        sheet.push_back(formula[i++]);
      }
      if (i >= formula.size() || formula[i] != '!') return false;
      ++i;
    } else {
      std::size_t bang = formula.find('!', i);
      std::size_t comma = formula.find(',', i);
      if (bang != std::string_view::npos && (comma == std::string_view::npos || bang < comma)) {
        sheet.assign(formula.substr(i, bang - i));
        i = bang + 1;
      }
    }
    (void)start;
    std::size_t end = i;
    while (end < formula.size() && formula[end] != ',' && formula[end] != ')' &&
           formula[end] != ' ') {
      ++end;
    }
    CellRange range;
    if (!ParseArea(formula.substr(i, end - i), &range)) return false;
    ranges.push_back(range);
    names.push_back(std::move(sheet));
    i = end;
    skip_space();
    if (i < formula.size()) {
      if (formula[i] != ',') return false;
      ++i;
    }
  }
  if (ranges.empty()) return false;
  *out = std::move(ranges);
  if (sheets) *sheets = std::move(names);
  return true;
}

// ---- worksheet ----------------------------------------------------------------------------

namespace {

std::optional<double> MillimetresOf(std::string_view measure) {
  measure = Trim(measure);
  static const std::pair<const char*, double> kUnits[] = {
      {"mm", 1}, {"cm", 10}, {"in", 25.4}, {"pt", 25.4 / 72}, {"pc", 25.4 / 6}, {"pi", 25.4 / 6}};
  for (const auto& [unit, factor] : kUnits) {
    std::size_t n = std::strlen(unit);
    if (measure.size() > n && measure.substr(measure.size() - n) == unit) {
      double value = 0;
      if (!ParseXmlNumber(measure.substr(0, measure.size() - n), &value) || value <= 0) {
        return std::nullopt;
      }
      return value * factor;
    }
  }
  return std::nullopt;
}

void ReadPageSetup(pugi::xml_node setup, PageSetup* page) {
  if (std::optional<std::uint32_t> paper = Index(setup.attribute("paperSize"), 0xFFFF);
      paper && *paper > 0) {
    page->paper = static_cast<std::uint16_t>(*paper);
  }
  page->paper_width_mm = MillimetresOf(setup.attribute("paperWidth").value());
  page->paper_height_mm = MillimetresOf(setup.attribute("paperHeight").value());
  if (std::optional<std::uint32_t> scale = Index(setup.attribute("scale"), 400);
      scale && *scale >= 10) {
    page->scale = static_cast<std::uint16_t>(*scale);
  }
  if (std::optional<std::uint32_t> w = Index(setup.attribute("fitToWidth"), 0x7FFF)) {
    page->fit_width = static_cast<std::uint16_t>(*w);
  }
  if (std::optional<std::uint32_t> h = Index(setup.attribute("fitToHeight"), 0x7FFF)) {
    page->fit_height = static_cast<std::uint16_t>(*h);
  }
  std::string_view orientation = setup.attribute("orientation").value();
  if (orientation == "portrait") page->orientation = Orientation::Portrait;
  if (orientation == "landscape") page->orientation = Orientation::Landscape;
  if (std::string_view(setup.attribute("pageOrder").value()) == "overThenDown") {
    page->page_order = PageOrder::OverThenDown;
  }
  if (BoolOr(setup.attribute("useFirstPageNumber"), false)) {
    std::optional<long long> first = Integer(setup.attribute("firstPageNumber"));
    if (first && *first >= -32768 && *first <= 0x7FFFFFFF) {
      page->first_page_number = static_cast<std::int32_t>(*first);
    } else {
      page->first_page_number = 1;
    }
  }
  if (std::optional<std::uint32_t> copies = Index(setup.attribute("copies"), 0xFFFF);
      copies && *copies >= 1) {
    page->copies = static_cast<std::uint16_t>(*copies);
  }
  page->black_and_white = BoolOr(setup.attribute("blackAndWhite"), false);
  page->draft = BoolOr(setup.attribute("draft"), false);
  std::string_view errors = setup.attribute("errors").value();
  if (errors == "blank") page->errors = PrintErrors::Blank;
  if (errors == "dash") page->errors = PrintErrors::Dash;
  if (errors == "NA") page->errors = PrintErrors::NA;
}

void ReadMargins(pugi::xml_node margins, Margins* out) {
  auto inches = [&](const char* name) -> std::optional<double> {
    std::optional<double> v = Number(margins.attribute(name));
    if (!v || *v < 0 || *v > 100) return std::nullopt;
    return v;
  };
  out->left = inches("left");
  out->right = inches("right");
  out->top = inches("top");
  out->bottom = inches("bottom");
  out->header = inches("header");
  out->footer = inches("footer");
}

std::string TextOf(pugi::xml_node parent, const char* name) {
  pugi::xml_node node = ChildElement(parent, name);
  std::string raw;
  for (pugi::xml_node part = node.first_child(); part; part = part.next_sibling()) {
    if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata) raw += part.value();
  }
  return DecodeEscapes(raw);
}

void ReadHeaderFooter(pugi::xml_node hf, HeaderFooter* out) {
  out->different_odd_even = BoolOr(hf.attribute("differentOddEven"), false);
  out->different_first = BoolOr(hf.attribute("differentFirst"), false);
  out->scale_with_doc = BoolOr(hf.attribute("scaleWithDoc"), true);
  out->align_with_margins = BoolOr(hf.attribute("alignWithMargins"), true);
  out->odd_header = TextOf(hf, "oddHeader");
  out->odd_footer = TextOf(hf, "oddFooter");
  out->even_header = TextOf(hf, "evenHeader");
  out->even_footer = TextOf(hf, "evenFooter");
  out->first_header = TextOf(hf, "firstHeader");
  out->first_footer = TextOf(hf, "firstFooter");
}

// A VML style length ("48pt", "0.5in", "64px"; a bare number is pixels) in points.
std::optional<double> VmlPoints(std::string_view length) {
  length = Trim(length);
  if (length.size() > 2 && length.substr(length.size() - 2) == "px") {
    double px = 0;
    if (!ParseXmlNumber(length.substr(0, length.size() - 2), &px) || px <= 0) return std::nullopt;
    return px * 72 / 96;
  }
  if (std::optional<double> mm = MillimetresOf(length)) return *mm * 72 / 25.4;
  double px = 0;
  if (!ParseXmlNumber(length, &px) || px <= 0) return std::nullopt;
  return px * 72 / 96;
}

// One property of a CSS-like style attribute ("position:absolute;width:48pt;height:24pt").
std::string_view StyleProperty(std::string_view style, std::string_view name) {
  while (!style.empty()) {
    std::size_t semi = style.find(';');
    std::string_view item = style.substr(0, semi);
    style = semi == std::string_view::npos ? std::string_view() : style.substr(semi + 1);
    std::size_t colon = item.find(':');
    if (colon == std::string_view::npos) continue;
    if (Trim(item.substr(0, colon)) == name) return Trim(item.substr(colon + 1));
  }
  return {};
}

// The value of the attribute with this local name, whatever its prefix ("r:id", "o:relid").
const char* PrefixedAttribute(pugi::xml_node node, const char* local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (std::strchr(name, ':') && std::strcmp(LocalName(name), local) == 0) return a.value();
  }
  return nullptr;
}

// Manual breaks only: an automatic one (man absent or false) is the writer's own pagination.
std::vector<std::uint32_t> ReadBreaks(pugi::xml_node list, std::uint32_t limit) {
  std::vector<std::uint32_t> out;
  for (pugi::xml_node brk = list.first_child(); brk; brk = brk.next_sibling()) {
    if (!IsElement(brk, "brk") || !BoolOr(brk.attribute("man"), false)) continue;
    std::optional<std::uint32_t> id = Index(brk.attribute("id"), limit);
    if (id && *id > 0) out.push_back(*id);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

void ReadColumns(pugi::xml_node cols, std::vector<ColumnSpan>* out) {
  for (pugi::xml_node col = cols.first_child(); col; col = col.next_sibling()) {
    if (!IsElement(col, "col")) continue;
    std::optional<std::uint32_t> min = Index(col.attribute("min"), kMaxCols);
    std::optional<std::uint32_t> max = Index(col.attribute("max"), 0xFFFFFFF);
    if (!min || !max || *min == 0 || *max < *min) continue;
    ColumnSpan span;
    span.first = *min - 1;
    span.last = std::min(*max, kMaxCols) - 1;
    if (std::optional<double> width = Number(col.attribute("width")); width && *width >= 0) {
      span.width = std::min(*width, 255.0);
    }
    // A column narrowed to nothing is hidden, flag or not.
    span.hidden = BoolOr(col.attribute("hidden"), false) || (span.width && *span.width == 0);
    if (std::optional<std::uint32_t> s = Index(col.attribute("style"), 0xFFFFFF); s && *s) {
      span.style = *s;
    }
    out->push_back(span);
  }
  TidyColumns(out);
}

void ReadRowsAndCells(pugi::xml_node data, SheetLayout* out) {
  std::int64_t row = -1;
  for (pugi::xml_node r = data.first_child(); r; r = r.next_sibling()) {
    if (!IsElement(r, "row")) continue;
    if (pugi::xml_attribute number = r.attribute("r")) {
      std::optional<std::uint32_t> value = Index(number, kMaxRows);
      if (!value || *value == 0) continue;  // the cell reader refuses such a sheet
      row = *value - 1;
    } else {
      ++row;
    }
    if (row >= static_cast<std::int64_t>(kMaxRows)) break;
    auto row_index = static_cast<std::uint32_t>(row);
    RowInfo info;
    bool stated = false;
    if (std::optional<double> ht = Number(r.attribute("ht")); ht && *ht >= 0 && *ht < 5000) {
      info.height_pt = *ht;
      stated = true;
    }
    info.custom_height = BoolOr(r.attribute("customHeight"), false);
    info.hidden = BoolOr(r.attribute("hidden"), false);
    if (BoolOr(r.attribute("customFormat"), false)) {
      info.style = Index(r.attribute("s"), 0xFFFFFF);
    }
    if (stated || info.hidden || info.custom_height || info.style) out->rows[row_index] = info;

    // A cell without s takes its row's or column's format, as LibreOffice reads it (the
    // spreadsheet application itself always writes s on such cells), so only an s is kept.
    std::int64_t col = -1;
    for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
      if (!IsElement(c, "c")) continue;
      std::uint32_t cell_row = row_index, cell_col = 0;
      if (const char* ref = c.attribute("r").value(); *ref) {
        if (!ParseA1(ref, &cell_row, &cell_col)) continue;
        col = cell_col;
      } else {
        if (++col >= static_cast<std::int64_t>(kMaxCols)) break;
        cell_col = static_cast<std::uint32_t>(col);
      }
      if (std::optional<std::uint32_t> style = Index(c.attribute("s"), 0xFFFFFF)) {
        out->cell_styles[SheetLayout::CellKey(cell_row, cell_col)] = *style;
      }
    }
  }
}

void ReadMerges(pugi::xml_node merges, std::vector<CellRange>* out) {
  for (pugi::xml_node m = merges.first_child(); m; m = m.next_sibling()) {
    if (!IsElement(m, "mergeCell")) continue;
    CellRange range;
    std::string_view ref = Trim(m.attribute("ref").value());
    if (ref.find(':') == std::string_view::npos || !ParseArea(ref, &range)) continue;
    if (range.first_row == range.last_row && range.first_col == range.last_col) continue;
    out->push_back(range);
  }
}

bool SameSheetName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

void ReadXlsxLayout(pugi::xml_node worksheet, int tab, const std::string& name,
                    const std::vector<XlsxPrintName>& names, SheetLayout* out) {
  bool has_setup = false;
  pugi::xml_node data;
  for (pugi::xml_node n = worksheet.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    const char* local = LocalName(n.name());
    if (std::strcmp(local, "sheetPr") == 0) {
      out->page.fit_to_page = BoolOr(ChildElement(n, "pageSetUpPr").attribute("fitToPage"), false);
    } else if (std::strcmp(local, "sheetViews") == 0) {
      out->show_gridlines = BoolOr(ChildElement(n, "sheetView").attribute("showGridLines"), true);
    } else if (std::strcmp(local, "sheetFormatPr") == 0) {
      if (std::optional<double> w = Number(n.attribute("defaultColWidth")); w && *w >= 0) {
        out->default_col_width = w;
      }
      if (std::optional<double> w = Number(n.attribute("baseColWidth")); w && *w >= 0) {
        out->base_col_width = w;
      }
      if (std::optional<double> h = Number(n.attribute("defaultRowHeight")); h && *h >= 0) {
        out->default_row_height_pt = h;
      }
      out->default_rows_hidden = BoolOr(n.attribute("zeroHeight"), false);
    } else if (std::strcmp(local, "cols") == 0) {
      ReadColumns(n, &out->columns);
    } else if (std::strcmp(local, "sheetData") == 0) {
      data = n;
    } else if (std::strcmp(local, "mergeCells") == 0) {
      ReadMerges(n, &out->merges);
    } else if (std::strcmp(local, "printOptions") == 0) {
      out->page.center_horizontally = BoolOr(n.attribute("horizontalCentered"), false);
      out->page.center_vertically = BoolOr(n.attribute("verticalCentered"), false);
      out->page.print_headings = BoolOr(n.attribute("headings"), false);
      out->page.print_gridlines =
          BoolOr(n.attribute("gridLines"), false) && BoolOr(n.attribute("gridLinesSet"), true);
    } else if (std::strcmp(local, "pageMargins") == 0) {
      ReadMargins(n, &out->page.margins);
    } else if (std::strcmp(local, "pageSetup") == 0 && !has_setup) {
      has_setup = true;
      ReadPageSetup(n, &out->page);
    } else if (std::strcmp(local, "headerFooter") == 0) {
      ReadHeaderFooter(n, &out->header_footer);
    } else if (std::strcmp(local, "rowBreaks") == 0) {
      out->row_breaks = ReadBreaks(n, kMaxRows - 1);
    } else if (std::strcmp(local, "colBreaks") == 0) {
      out->col_breaks = ReadBreaks(n, kMaxCols - 1);
    }
  }
  if (data) ReadRowsAndCells(data, out);

  for (const XlsxPrintName& entry : names) {
    std::vector<CellRange> ranges;
    std::vector<std::string> sheets;
    if (!ParseRangeList(entry.formula, &ranges, &sheets)) continue;
    // A name without localSheetId belongs to the sheet its references name.
    bool mine = entry.local_sheet ? *entry.local_sheet == tab
                                  : !sheets.empty() && SameSheetName(sheets[0], name);
    if (!mine) continue;
    if (!entry.titles) {
      out->print_area = std::move(ranges);
      continue;
    }
    for (const CellRange& range : ranges) {
      if (range.first_col == 0 && range.last_col == kMaxCols - 1) {
        out->title_rows = std::make_pair(range.first_row, range.last_row);
      } else if (range.first_row == 0 && range.last_row == kMaxRows - 1) {
        out->title_cols = std::make_pair(range.first_col, range.last_col);
      }
    }
  }
}

void ReadXlsxHeaderFooterPictures(pugi::xml_node worksheet, const std::string& sheet_part,
                                  const XlsxPackageAccess& package, HeaderFooter* out) {
  try {
    const char* id = PrefixedAttribute(ChildElement(worksheet, "legacyDrawingHF"), "id");
    if (!id || !*id) return;
    std::optional<std::string> vml_part = package.target(sheet_part, id);
    if (!vml_part) return;
    std::optional<std::string> vml = package.read(*vml_part);
    if (!vml) return;
    pugi::xml_document doc;
    if (!doc.load_buffer(vml->data(), vml->size(), pugi::parse_default)) return;
    // Shapes sit below the root, in groups too.
    std::vector<pugi::xml_node> shapes;
    for (pugi::xml_node n = doc.first_child(); n;) {
      if (IsElement(n, "shape")) shapes.push_back(n);
      if (n.first_child()) {
        n = n.first_child();
        continue;
      }
      while (n && !n.next_sibling()) n = n.parent();
      if (n) n = n.next_sibling();
    }
    for (pugi::xml_node shape : shapes) {
      HeaderFooterPicture picture;
      if (!ParseHeaderFooterShapeName(Trim(shape.attribute("id").value()), &picture)) continue;
      if (out->PictureFor(picture.footer, picture.page, picture.section)) continue;
      pugi::xml_node image = ChildElement(shape, "imagedata");
      const char* rel = PrefixedAttribute(image, "relid");
      if (!rel) rel = PrefixedAttribute(image, "id");
      if (!rel || !*rel) continue;
      std::string_view style = shape.attribute("style").value();
      std::optional<double> w = VmlPoints(StyleProperty(style, "width"));
      std::optional<double> h = VmlPoints(StyleProperty(style, "height"));
      // Larger than any paper: damage, and nothing a page could show.
      constexpr double kMaxPicturePt = 2000;
      if (!w || !h || !std::isfinite(*w) || !std::isfinite(*h) || *w > kMaxPicturePt ||
          *h > kMaxPicturePt) {
        continue;
      }
      std::optional<std::string> image_part = package.target(*vml_part, rel);
      if (!image_part) continue;
      std::optional<std::string> bytes = package.read(*image_part);
      if (!bytes) continue;
      picture.width_pt = *w;
      picture.height_pt = *h;
      picture.format = SniffPictureFormat(*bytes);
      picture.part = std::move(*image_part);
      picture.bytes = std::move(*bytes);
      out->pictures.push_back(std::move(picture));
    }
  } catch (const std::exception&) {
    // A damaged drawing or image part: the pictures read so far are kept.
  }
}

}  // namespace ledgerix::engine
