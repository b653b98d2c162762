// The PDF renderer: fonts, measuring, and drawing pages with cairo and pango. Past 600 lines on
// purpose: it is the one file that holds the drawing libraries, kept so that no other printing
// code depends on them; its sections are marked below.
#include "print/render.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "print/header_footer.h"
#include "print/numfmt.h"
#include "print/paginate.h"
#include "print/render_internal.h"

namespace ledgerix::print {
namespace {

using engine::BorderStyle;
using engine::CellStyle;
using engine::FontStyle;

// ---- Fonts: our own fontconfig configuration with the alias file, never the process-wide one.

std::string AliasFile() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path beside = exe.parent_path() / "fontconfig" / "60-ledgerix.conf";
    if (fs::exists(beside, ec)) return beside.string();
  }
  return {};
}

struct Fonts {
  FcConfig* config = nullptr;
  PangoFontMap* map = nullptr;
  PangoContext* context = nullptr;  // for measuring, at 72 dpi: one unit is one point
  // For drawing: the same settings, its matrix following the cairo context it draws on
  // (pango_cairo_update_context), made once rather than for every cell.
  PangoContext* draw_context = nullptr;
  // Pango objects are not thread-safe: each thread has its own Fonts (its own font map, as
  // pango requires); the lock is kept for callers that share one thread's objects.
  std::mutex mutex;
  // The font East Asian text is drawn in when the cell's own font has no Chinese: the system's
  // Chinese sans-serif, as LibreOffice picks it through fontconfig (before our aliases, which
  // would put the Song font first behind Arial and Calibri).
  std::string east_asian;
  // Per font: whether it draws Chinese, and measured metrics (see HasChinese, MetricsCache).
  std::map<std::string, bool> has_chinese;
  std::map<std::string, double> metrics;

  Fonts();
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
};

std::string ChineseSansSerif(FcConfig* config) {
  std::string name;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
  if (!pattern) return name;
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcFontSet* set = FcFontSort(config, pattern, FcFalse, nullptr, &result);
  for (int i = 0; set && i < set->nfont && name.empty(); ++i) {
    FcCharSet* chars = nullptr;
    FcChar8* family = nullptr;
    if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch &&
        FcCharSetHasChar(chars, 0x4E2D) &&
        FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
      name = reinterpret_cast<const char*>(family);
    }
  }
  if (set) FcFontSetDestroy(set);
  FcPatternDestroy(pattern);
  return name;
}

Fonts::Fonts() {
  config = FcInitLoadConfigAndFonts();
  if (config) east_asian = ChineseSansSerif(config);
  if (std::string alias = AliasFile(); !alias.empty() && config) {
    FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(alias.c_str()), FcTrue);
    FcConfigBuildFonts(config);
  }
  map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (config) pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
  // Unhinted metrics: the pages are vectors, and hinting at 72 dpi would round every advance
  // to a whole point.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  for (PangoContext** c : {&context, &draw_context}) {
    *c = pango_font_map_create_context(map);
    pango_cairo_context_set_resolution(*c, 72);
    pango_cairo_context_set_font_options(*c, options);
    pango_context_set_round_glyph_positions(*c, FALSE);
  }
  cairo_font_options_destroy(options);
}

Fonts::~Fonts() {
  g_object_unref(draw_context);
  g_object_unref(context);
  g_object_unref(map);
  if (config) FcConfigDestroy(config);
}

Fonts& TheFonts() {
  // The main thread's fonts live as long as the process (drawing may still be under way in
  // static destructors); other threads' are released when the thread ends.
  static Fonts* const first = new Fonts;
  static const std::thread::id first_thread = std::this_thread::get_id();
  if (std::this_thread::get_id() == first_thread) return *first;
  thread_local std::unique_ptr<Fonts> own = std::make_unique<Fonts>();
  return *own;
}

struct FontDescDeleter {
  void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};
using FontDesc = std::unique_ptr<PangoFontDescription, FontDescDeleter>;

FontDesc Describe(const FontStyle& font, double scale = 1.0) {
  FontDesc d(pango_font_description_new());
  pango_font_description_set_family(d.get(), font.name.empty() ? "Arial" : font.name.c_str());
  double size = (font.size_pt > 0 ? font.size_pt : 10) * scale;
  if (font.script != engine::Script::None) size *= 0.66;
  pango_font_description_set_size(d.get(), static_cast<int>(std::lround(size * PANGO_SCALE)));
  pango_font_description_set_weight(d.get(), font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d.get(), font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return d;
}

struct GObjectDeleter {
  void operator()(void* p) const { g_object_unref(p); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectDeleter>;

// A layout drawing onto cr with our fonts (never the default font map, which has no aliases).
// Fonts' mutex held.
LayoutPtr DrawLayout(cairo_t* cr) {
  PangoContext* context = TheFonts().draw_context;
  pango_cairo_update_context(cr, context);
  return LayoutPtr(pango_layout_new(context));
}

LayoutPtr MeasureLayout(const FontStyle& font) {
  LayoutPtr layout(pango_layout_new(TheFonts().context));
  FontDesc d = Describe(font);
  pango_layout_set_font_description(layout.get(), d.get());
  return layout;
}

}  // namespace

ScriptClass ScriptOf(char32_t c) {
  // By Unicode block, as LibreOffice classes characters: the Latin blocks (ASCII digits and
  // punctuation included) are Latin, the CJK and full-width blocks Asian; spaces and the blocks
  // of neither (general punctuation such as “ ”, symbols) are weak. Right-to-left and other
  // complex scripts are drawn with the Latin font here.
  if (c == 0x20 || c == 0xA0 || c == 1 || c == 2) return ScriptClass::Weak;
  struct Block {
    char32_t from, to;
    ScriptClass script;
  };
  static constexpr Block kBlocks[] = {
      {0x0000, 0x02FF, ScriptClass::Latin},   {0x0370, 0x109F, ScriptClass::Latin},
      {0x10A0, 0x10FF, ScriptClass::Latin},   {0x1100, 0x11FF, ScriptClass::Asian},
      {0x1200, 0x18AF, ScriptClass::Latin},   {0x1E00, 0x1FFF, ScriptClass::Latin},
      {0x2150, 0x218F, ScriptClass::Weak},    {0x2C80, 0x2CE3, ScriptClass::Latin},
      {0x2E80, 0xD7AF, ScriptClass::Asian},   {0xF900, 0xFAFF, ScriptClass::Asian},
      {0xFB00, 0xFE2F, ScriptClass::Latin},   {0xFE30, 0xFE4F, ScriptClass::Asian},
      {0xFE70, 0xFEFF, ScriptClass::Latin},   {0xFF00, 0xFFEF, ScriptClass::Asian},
      {0x20000, 0x2FA1F, ScriptClass::Asian},
  };
  for (const Block& b : kBlocks) {
    if (c >= b.from && c <= b.to) return b.script;
  }
  return ScriptClass::Weak;
}

std::vector<std::pair<std::size_t, std::size_t>> AsianRuns(std::string_view text) {
  struct Char {
    std::size_t at, end;
    ScriptClass script;
  };
  std::vector<Char> chars;
  for (const char* p = text.data(); p < text.data() + text.size();) {
    const char* next = g_utf8_find_next_char(p, text.data() + text.size());
    if (!next) next = text.data() + text.size();
    chars.push_back({static_cast<std::size_t>(p - text.data()),
                     static_cast<std::size_t>(next - text.data()),
                     ScriptOf(g_utf8_get_char_validated(p, next - p))});
    p = next;
  }
  // Weak characters take the script before them; leading ones the first strong one after.
  ScriptClass current = ScriptClass::Weak;
  for (const Char& c : chars) {
    if (c.script != ScriptClass::Weak) {
      current = c.script;
      break;
    }
  }
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (const Char& c : chars) {
    if (c.script != ScriptClass::Weak) current = c.script;
    if (current != ScriptClass::Asian) continue;
    if (!runs.empty() && runs.back().second == c.at) {
      runs.back().second = c.end;
    } else {
      runs.emplace_back(c.at, c.end);
    }
  }
  return runs;
}

namespace {

const std::string& EastAsianFallback() { return TheFonts().east_asian; }

// Whether the font a family name resolves to draws Chinese itself (宋体 through its alias does;
// Calibri or Arial do not). Called with the fonts' mutex held.
bool HasChinese(const std::string& family) {
  std::map<std::string, bool>& known = TheFonts().has_chinese;
  auto it = known.find(family);
  if (it != known.end()) return it->second;
  FontDesc d(pango_font_description_new());
  pango_font_description_set_family(d.get(), family.c_str());
  pango_font_description_set_size(d.get(), 10 * PANGO_SCALE);
  PangoFont* font = pango_font_map_load_font(TheFonts().map, TheFonts().context, d.get());
  bool has = false;
  if (font) {
    has = pango_font_has_char(font, 0x4E2D);
    g_object_unref(font);
  }
  return known[family] = has;
}

// Chinese text with the spaces, digits and punctuation among it goes in one East Asian font, as
// LibreOffice draws it; left to pango, a Latin font's own space or quote would be taken in the
// middle of a Chinese run, with its own advance and baseline. Fonts' mutex held.
void AddEastAsianFont(PangoAttrList* attrs, std::string_view text, const std::string& family,
                      std::size_t offset = 0) {
  if (HasChinese(family.empty() ? "Arial" : family)) return;
  const std::string& asian = EastAsianFallback();
  if (asian.empty()) return;
  for (auto [from, to] : AsianRuns(text)) {
    PangoAttribute* a = pango_attr_family_new(asian.c_str());
    a->start_index = static_cast<guint>(offset + from);
    a->end_index = static_cast<guint>(offset + to);
    pango_attr_list_change(attrs, a);
  }
}

}  // namespace

// ---- Measuring with the fonts pages are drawn with.

namespace {

// The Windows CJK fonts statements name most have half-width digits and a line of one em; the
// Song-style font they are aliased to is wider, so their widths and heights come from the
// original fonts' metrics.
bool IsHalfWidthCjk(const std::string& name) {
  static const char* const kNames[] = {"宋体",  "SimSun",      "新宋体",      "NSimSun",
                                       "仿宋",  "FangSong",    "仿宋_GB2312", "楷体",
                                       "KaiTi", "楷体_GB2312", "黑体",        "SimHei"};
  for (const char* n : kNames) {
    if (name == n) return true;
  }
  return false;
}

double SizePx(const FontStyle& font) {
  return (font.size_pt > 0 ? font.size_pt : 10) * 96.0 / 72.0;
}

}  // namespace

namespace {

// What Describe() makes of a font: the metrics below depend on nothing else.
std::string MetricsKey(const FontStyle& font) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "|%.3f|%d%d%d", font.size_pt, font.bold, font.italic,
                static_cast<int>(font.script));
  return font.name + buf;
}

// Measured once per process and font (under the fonts' lock): every sheet asks again, and
// every cell of a row whose height is automatic.
std::map<std::string, double>& MetricsCache() { return TheFonts().metrics; }

// A measuring layout holding text with its East Asian runs (fonts' lock held).
LayoutPtr MeasureText(const FontStyle& font, std::string_view text) {
  LayoutPtr layout = MeasureLayout(font);
  pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
  PangoAttrList* attrs = pango_attr_list_new();
  AddEastAsianFont(attrs, text, font.name);
  pango_layout_set_attributes(layout.get(), attrs);
  pango_attr_list_unref(attrs);
  return layout;
}

// The width of a pad's character in a font, in points (fonts' lock held).
double PadWidthPt(const FontStyle& font, const std::string& ch) {
  std::string key = "pad" + MetricsKey(font) + "|" + ch;
  if (auto it = MetricsCache().find(key); it != MetricsCache().end()) return it->second;
  LayoutPtr layout = MeasureText(font, ch);
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  double w = logical.width / double(PANGO_SCALE);
  MetricsCache()[key] = w;
  return w;
}

}  // namespace

int PangoMeasure::MaxDigitWidthPx(const FontStyle& font) {
  if (IsHalfWidthCjk(font.name))
    return std::max(1, static_cast<int>(std::lround(SizePx(font) / 2)));
  std::lock_guard lock(TheFonts().mutex);
  std::string key = "mdw" + MetricsKey(font);
  if (auto it = MetricsCache().find(key); it != MetricsCache().end())
    return static_cast<int>(it->second);
  LayoutPtr layout = MeasureLayout(font);
  double widest = 0;
  for (char d = '0'; d <= '9'; ++d) {
    pango_layout_set_text(layout.get(), &d, 1);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    widest = std::max(widest, logical.width / double(PANGO_SCALE));
  }
  int px = std::max(1, static_cast<int>(std::lround(widest * 96.0 / 72.0)));
  MetricsCache()[key] = px;
  return px;
}

double PangoMeasure::LineHeightPt(const FontStyle& font) {
  // Whole pixels of the font's line plus the grid's, as the applications size rows.
  double px;
  if (IsHalfWidthCjk(font.name)) {
    px = std::ceil(SizePx(font) - 0.01) + 3;
  } else if (font.name == "Calibri") {
    px = std::ceil(SizePx(font) * 1.2207 - 0.01) + 2;  // its Windows ascent and descent
  } else {
    std::lock_guard lock(TheFonts().mutex);
    std::string key = "line" + MetricsKey(font);
    if (auto it = MetricsCache().find(key); it != MetricsCache().end()) {
      px = it->second;
    } else {
      LayoutPtr layout = MeasureLayout(font);
      pango_layout_set_text(layout.get(), "0", 1);
      PangoRectangle logical;
      pango_layout_get_extents(layout.get(), nullptr, &logical);
      px = std::ceil(logical.height / double(PANGO_SCALE) * 96.0 / 72.0 - 0.01) + 2;
      MetricsCache()[key] = px;
    }
  }
  return px * 72.0 / 96.0;
}

double PangoMeasure::WrappedHeightPt(std::string_view text, const FontStyle& font,
                                     double width_pt) {
  int lines = 1;
  {
    std::lock_guard lock(TheFonts().mutex);
    LayoutPtr layout = MeasureText(font, text);
    pango_layout_set_width(layout.get(), static_cast<int>(width_pt * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    lines = std::max(1, pango_layout_get_line_count(layout.get()));
  }
  return lines * LineHeightPt(font);
}

std::string GeneralText(const Variant& v) { return FormatValue(v, "General", false).text; }

namespace {

// ---- Drawing one page.

struct Rgb {
  double r = 0, g = 0, b = 0;
};

Rgb ColorOf(const engine::ColorRef& c, Rgb automatic, bool mono) {
  if (mono || c.automatic) return mono ? Rgb{} : automatic;
  return {((c.rgb >> 16) & 255) / 255.0, ((c.rgb >> 8) & 255) / 255.0, (c.rgb & 255) / 255.0};
}

void SetColor(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// How much of the foreground a fill pattern shows (BIFF fls / ST_PatternType order).
double PatternDensity(std::uint8_t pattern) {
  static constexpr double kDensity[] = {0,   1,    0.5,  0.75, 0.25, 0.5,  0.5,  0.5,   0.5,   0.5,
                                        0.5, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.125, 0.0625};
  return pattern < std::size(kDensity) ? kDensity[pattern] : 0.5;
}

// Which of two borders meeting on one edge wins: the heavier line.
int BorderRank(BorderStyle s) {
  switch (s) {
    case BorderStyle::None:
      return 0;
    case BorderStyle::Hair:
      return 1;
    case BorderStyle::Dotted:
      return 2;
    case BorderStyle::DashDotDot:
      return 3;
    case BorderStyle::DashDot:
      return 4;
    case BorderStyle::Dashed:
      return 5;
    case BorderStyle::Thin:
      return 6;
    case BorderStyle::MediumDashDotDot:
      return 7;
    case BorderStyle::SlantDashDot:
      return 8;
    case BorderStyle::MediumDashDot:
      return 9;
    case BorderStyle::MediumDashed:
      return 10;
    case BorderStyle::Medium:
      return 11;
    case BorderStyle::Thick:
      return 12;
    case BorderStyle::Double:
      return 13;
  }
  return 0;
}

const engine::BorderLine& Stronger(const engine::BorderLine& a, const engine::BorderLine& b) {
  return BorderRank(b.style) > BorderRank(a.style) ? b : a;
}

void StrokeBorder(cairo_t* cr, const engine::BorderLine& line, double x0, double y0, double x1,
                  double y1, bool mono) {
  if (line.style == BorderStyle::None) return;
  double width = 0.75;
  std::vector<double> dash;
  switch (line.style) {
    case BorderStyle::Hair:
      width = 0.5;
      dash = {0.75, 0.75};
      break;
    case BorderStyle::Dotted:
      dash = {0.75, 0.75};
      break;
    case BorderStyle::Dashed:
      dash = {2.25, 0.75};
      break;
    case BorderStyle::DashDot:
      dash = {6.75, 2.25, 2.25, 2.25};
      break;
    case BorderStyle::DashDotDot:
      dash = {6.75, 2.25, 2.25, 2.25, 2.25, 2.25};
      break;
    case BorderStyle::Medium:
      width = 1.5;
      break;
    case BorderStyle::MediumDashed:
      width = 1.5;
      dash = {6.75, 2.25};
      break;
    case BorderStyle::MediumDashDot:
    case BorderStyle::SlantDashDot:
      width = 1.5;
      dash = {6.75, 2.25, 2.25, 2.25};
      break;
    case BorderStyle::MediumDashDotDot:
      width = 1.5;
      dash = {6.75, 2.25, 2.25, 2.25, 2.25, 2.25};
      break;
    case BorderStyle::Thick:
      width = 2.25;
      break;
    default:
      break;
  }
  SetColor(cr, ColorOf(line.color, {}, mono));
  cairo_set_line_width(cr, line.style == BorderStyle::Double ? 0.5 : width);
  cairo_set_dash(cr, dash.empty() ? nullptr : dash.data(), static_cast<int>(dash.size()), 0);
  if (line.style == BorderStyle::Double) {
    bool horizontal = y0 == y1;
    for (double off : {-0.75, 0.75}) {
      cairo_move_to(cr, x0 + (horizontal ? 0 : off), y0 + (horizontal ? off : 0));
      cairo_line_to(cr, x1 + (horizontal ? 0 : off), y1 + (horizontal ? off : 0));
    }
  } else {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

PangoAttrList* FontAttributes(const FontStyle& font, bool mono) {
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.underline != engine::Underline::None) {
    bool dbl = font.underline == engine::Underline::Double ||
               font.underline == engine::Underline::DoubleAccounting;
    pango_attr_list_insert(
        attrs, pango_attr_underline_new(dbl ? PANGO_UNDERLINE_DOUBLE : PANGO_UNDERLINE_SINGLE));
  }
  if (font.strike) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
  Rgb c = ColorOf(font.color, {}, mono);
  pango_attr_list_insert(attrs, pango_attr_foreground_new(static_cast<guint16>(c.r * 65535),
                                                          static_cast<guint16>(c.g * 65535),
                                                          static_cast<guint16>(c.b * 65535)));
  return attrs;
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// A picture larger than this is refused rather than allocated: header logos are a few hundred
// pixels wide, and a damaged header could state anything.
constexpr long long kMaxPicturePixels = 16LL << 20;

struct PngReader {
  std::string_view bytes;
  std::size_t at = 0;
};

cairo_status_t ReadPngBytes(void* closure, unsigned char* data, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (r->bytes.size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, r->bytes.data() + r->at, length);
  r->at += length;
  return CAIRO_STATUS_SUCCESS;
}

// The pixel size a JPEG file's frame header states; false when there is none.
bool JpegSize(std::string_view b, int* width, int* height) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(b[i]); };
  std::size_t i = 2;
  while (i + 4 <= b.size()) {
    if (byte(i) != 0xFF) return false;
    unsigned marker = byte(i + 1);
    if (marker == 0xFF) {
      ++i;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
      i += 2;
      continue;
    }
    std::size_t length = std::size_t{byte(i + 2)} << 8 | byte(i + 3);
    bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (i + 9 > b.size()) return false;
      *height = byte(i + 5) << 8 | byte(i + 6);
      *width = byte(i + 7) << 8 | byte(i + 8);
      return *width > 0 && *height > 0;
    }
    if (length < 2) return false;
    i += 2 + length;
  }
  return false;
}

void DeleteString(void* data) { delete static_cast<std::string*>(data); }

// PNG through cairo's own reader. JPEG is not decoded: the PDF takes the file as it is (cairo
// embeds JPEG data attached to a surface of its size), so no JPEG library is needed. Anything
// else (EMF, WMF, damaged data) gives null and is not drawn.
SurfacePtr DecodePicture(const engine::HeaderFooterPicture& picture) {
  if (picture.format == engine::PictureFormat::Png) {
    PngReader reader{picture.bytes};
    SurfacePtr surface(cairo_image_surface_create_from_png_stream(&ReadPngBytes, &reader));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    if (static_cast<long long>(cairo_image_surface_get_width(surface.get())) *
            cairo_image_surface_get_height(surface.get()) >
        kMaxPicturePixels) {
      return nullptr;
    }
    return surface;
  }
  if (picture.format == engine::PictureFormat::Jpeg) {
    int w = 0, h = 0;
    if (!JpegSize(picture.bytes, &w, &h) || static_cast<long long>(w) * h > kMaxPicturePixels) {
      return nullptr;
    }
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    auto* copy = new std::string(picture.bytes);
    if (cairo_surface_set_mime_data(surface.get(), CAIRO_MIME_TYPE_JPEG,
                                    reinterpret_cast<const unsigned char*>(copy->data()),
                                    copy->size(), &DeleteString, copy) != CAIRO_STATUS_SUCCESS) {
      delete copy;
      return nullptr;
    }
    return surface;
  }
  return nullptr;
}

struct SheetJob {
  engine::Book* book = nullptr;
  int sheet = 0;
  std::string sheet_name;
  const engine::CellStore* cells = nullptr;
  const engine::SheetLayout* layout = nullptr;
  const engine::StyleTable* styles = nullptr;
  SheetGeometry geometry;
  PageFrame frame;
  Pagination pagination;
  // Merged areas by every cell they cover.
  std::unordered_map<std::uint64_t, std::size_t> merged;
  bool mono = false;
  bool gridlines = false;
  // The header and footer pictures decoded, by their index in the layout's list; null for a
  // format that is not drawn or an image that does not decode.
  std::vector<SurfacePtr> pictures;

  const engine::CellRange* MergeAt(std::uint32_t r, std::uint32_t c) const {
    auto it = merged.find(engine::SheetLayout::CellKey(r, c));
    return it == merged.end() ? nullptr : &layout->merges[it->second];
  }
  const CellStyle& StyleAt(std::uint32_t r, std::uint32_t c) const {
    if (const engine::CellRange* m = MergeAt(r, c)) {
      return styles->Get(layout->StyleOf(m->first_row, m->first_col));
    }
    return styles->Get(layout->StyleOf(r, c));
  }
  // A merged area's edge takes each edge cell's own border, as the applications draw it, or the
  // area's first cell's where that is stronger (files that style only the first cell).
  engine::BorderLine EdgeAt(std::uint32_t r, std::uint32_t c,
                            engine::BorderLine engine::CellStyle::*side) const {
    const engine::BorderLine& own = styles->Get(layout->StyleOf(r, c)).*side;
    const engine::CellRange* m = MergeAt(r, c);
    if (!m || (m->first_row == r && m->first_col == c)) return own;
    return Stronger(own, styles->Get(layout->StyleOf(m->first_row, m->first_col)).*side);
  }
  bool Empty(std::uint32_t r, std::uint32_t c) const {
    const Variant* v = cells->Find(r, c);
    return (!v || v->type() == Variant::Type::Empty ||
            (v->type() == Variant::Type::String && v->string().empty())) &&
           !MergeAt(r, c);
  }
};

// One rectangle of contiguous rows and columns placed on the page (titles, body).
struct Pane {
  std::uint32_t r0, r1, c0, c1;
  double x, y;  // unscaled points from the block's corner
};

class PaneDrawer {
 public:
  PaneDrawer(cairo_t* cr, const SheetJob& job, const Pane& pane)
      : cr_(cr), job_(job), pane_(pane), g_(job.geometry) {}

  // x of the left edge of column c relative to the pane's, also for columns outside it.
  double X(std::uint32_t c) const {
    double x = pane_.x;
    if (c >= pane_.c0) {
      for (std::uint32_t i = pane_.c0; i < c; ++i) x += g_.ColWidth(i);
    } else {
      for (std::uint32_t i = c; i < pane_.c0; ++i) x -= g_.ColWidth(i);
    }
    return x;
  }
  double Y(std::uint32_t r) const {
    double y = pane_.y;
    if (r >= pane_.r0) {
      for (std::uint32_t i = pane_.r0; i < r; ++i) y += g_.RowHeight(i);
    } else {
      for (std::uint32_t i = r; i < pane_.r0; ++i) y -= g_.RowHeight(i);
    }
    return y;
  }

  void Draw() {
    xs_.clear();
    ys_.clear();
    double x = pane_.x;
    for (std::uint32_t c = pane_.c0; c <= pane_.c1 + 1; ++c) {
      xs_.push_back(x);
      x += g_.ColWidth(c);
    }
    double y = pane_.y;
    for (std::uint32_t r = pane_.r0; r <= pane_.r1 + 1; ++r) {
      ys_.push_back(y);
      y += g_.RowHeight(r);
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, pane_.x, pane_.y, xs_.back() - pane_.x, ys_.back() - pane_.y);
    cairo_clip(cr_);
    Fills();
    if (job_.gridlines) Gridlines();
    Texts();
    cairo_restore(cr_);
    // Borders on the printed range's edges are drawn whole, as the applications print them:
    // the clip reaches past the pane by the widest line's half.
    cairo_save(cr_);
    constexpr double kHalfWidestLine = 2;
    cairo_rectangle(cr_, pane_.x - kHalfWidestLine, pane_.y - kHalfWidestLine,
                    xs_.back() - pane_.x + 2 * kHalfWidestLine,
                    ys_.back() - pane_.y + 2 * kHalfWidestLine);
    cairo_clip(cr_);
    Borders();
    cairo_restore(cr_);
  }

 private:
  double CX(std::uint32_t c) const { return xs_[c - pane_.c0]; }
  double RY(std::uint32_t r) const { return ys_[r - pane_.r0]; }

  void Fills() {
    std::vector<const engine::CellRange*> drawn;
    std::map<std::array<double, 3>, std::vector<std::array<double, 4>>> by_color;
    for (std::uint32_t r = pane_.r0; r <= pane_.r1; ++r) {
      if (g_.RowHeight(r) <= 0) continue;
      for (std::uint32_t c = pane_.c0; c <= pane_.c1; ++c) {
        if (g_.ColWidth(c) <= 0) continue;
        const engine::CellRange* m = job_.MergeAt(r, c);
        const CellStyle& s = job_.StyleAt(r, c);
        bool gridlines_under = job_.gridlines && m;
        if (s.fill.pattern == 0 && !gridlines_under) continue;
        double x0, y0, x1, y1;
        if (m) {
          if (std::find(drawn.begin(), drawn.end(), m) != drawn.end()) continue;
          drawn.push_back(m);
          x0 = X(m->first_col), x1 = X(m->last_col + 1);
          y0 = Y(m->first_row), y1 = Y(m->last_row + 1);
        } else {
          x0 = CX(c), x1 = CX(c + 1), y0 = RY(r), y1 = RY(r + 1);
        }
        Rgb color{1, 1, 1};
        if (s.fill.pattern != 0 && !job_.mono) {
          Rgb fg = ColorOf(s.fill.foreground, {}, false);
          Rgb bg = ColorOf(s.fill.background, {1, 1, 1}, false);
          double k = PatternDensity(s.fill.pattern);
          color = {fg.r * k + bg.r * (1 - k), fg.g * k + bg.g * (1 - k), fg.b * k + bg.b * (1 - k)};
        } else if (s.fill.pattern != 0) {
          continue;  // black and white: no fills
        }
        by_color[{color.r, color.g, color.b}].push_back({x0, y0, x1 - x0, y1 - y0});
      }
    }
    // One fill per colour.
    for (const auto& [c, rects] : by_color) {
      cairo_set_source_rgb(cr_, c[0], c[1], c[2]);
      for (const auto& r : rects) cairo_rectangle(cr_, r[0], r[1], r[2], r[3]);
      cairo_fill(cr_);
    }
  }

  void Gridlines() {
    cairo_set_source_rgb(cr_, 0, 0, 0);
    cairo_set_line_width(cr_, 0.25);
    for (std::uint32_t r = pane_.r0; r <= pane_.r1 + 1; ++r) {
      for (std::uint32_t c = pane_.c0; c <= pane_.c1; ++c) {
        const engine::CellRange* m = job_.MergeAt(r, c);
        if (m && r > m->first_row && r <= m->last_row) continue;
        cairo_move_to(cr_, CX(c), RY(r));
        cairo_line_to(cr_, CX(c + 1), RY(r));
      }
    }
    for (std::uint32_t c = pane_.c0; c <= pane_.c1 + 1; ++c) {
      for (std::uint32_t r = pane_.r0; r <= pane_.r1; ++r) {
        const engine::CellRange* m = job_.MergeAt(r, c);
        if (m && c > m->first_col && c <= m->last_col) continue;
        cairo_move_to(cr_, CX(c), RY(r));
        cairo_line_to(cr_, CX(c), RY(r + 1));
      }
    }
    cairo_stroke(cr_);
  }

  void Texts() {
    // Merged areas that start above or left of the pane still show their text in it.
    for (const engine::CellRange& m : job_.layout->merges) {
      if (m.last_row < pane_.r0 || m.first_row > pane_.r1 || m.last_col < pane_.c0 ||
          m.first_col > pane_.c1) {
        continue;
      }
      Text(m.first_row, m.first_col, &m);
    }
    for (std::uint32_t r = pane_.r0; r <= pane_.r1; ++r) {
      if (g_.RowHeight(r) <= 0) continue;
      for (std::uint32_t c = pane_.c0; c <= pane_.c1; ++c) {
        if (g_.ColWidth(c) <= 0 || job_.MergeAt(r, c)) continue;
        Text(r, c, nullptr);
      }
      // Text from a cell beyond the pane's columns that runs on over the empty cells into it,
      // drawn clipped to the pane as it continues from the neighbouring page.
      if (job_.Empty(r, pane_.c0)) {
        for (std::uint32_t n = pane_.c0, steps = 0; n > 0 && steps < 64; --n, ++steps) {
          if (!job_.Empty(r, n - 1)) {
            if (!job_.MergeAt(r, n - 1)) Text(r, n - 1, nullptr);
            break;
          }
        }
      }
      if (job_.Empty(r, pane_.c1)) {
        for (std::uint32_t n = pane_.c1 + 1; n < engine::kMaxCols && n <= pane_.c1 + 64; ++n) {
          if (!job_.Empty(r, n)) {
            if (!job_.MergeAt(r, n)) Text(r, n, nullptr);
            break;
          }
        }
      }
    }
  }

  void Text(std::uint32_t r, std::uint32_t c, const engine::CellRange* merge) {
    const Variant* v = job_.cells->Find(r, c);
    if (!v || v->type() == Variant::Type::Empty) return;
    const CellStyle& s = job_.StyleAt(r, c);
    Shown shown = ShowCell(*v, s, job_.book->date1904());
    if (v->type() == Variant::Type::Error) {
      // How the page setup prints error values.
      switch (job_.layout->page.errors) {
        case engine::PrintErrors::Blank:
          return;
        case engine::PrintErrors::Dash:
          shown.text = "--";
          break;
        case engine::PrintErrors::NA:
          shown.text = "#N/A";
          break;
        case engine::PrintErrors::Displayed:
          break;
      }
    }
    if (shown.text.empty()) return;
    bool inside = c >= pane_.c0 && c <= pane_.c1;  // else text running on into the pane
    double x0 = merge ? X(merge->first_col) : inside ? CX(c) : X(c);
    double x1 = merge ? X(merge->last_col + 1) : inside ? CX(c + 1) : X(c + 1);
    double y0 = merge ? Y(merge->first_row) : RY(r);
    double y1 = merge ? Y(merge->last_row + 1) : RY(r + 1);

    engine::HAlign h = s.halign;
    if (h == engine::HAlign::General) {
      h = shown.numeric ? engine::HAlign::Right
          : (v->type() == Variant::Type::Boolean || v->type() == Variant::Type::Error)
              ? engine::HAlign::Center
              : engine::HAlign::Left;
    }
    const double pad = 1.5;  // two pixels
    double indent = s.indent * 3 * 5.25;

    std::lock_guard lock(TheFonts().mutex);
    LayoutPtr layout = DrawLayout(cr_);
    FontDesc d = Describe(s.font);
    pango_layout_set_font_description(layout.get(), d.get());
    std::unique_ptr<PangoAttrList, decltype(&pango_attr_list_unref)> base(
        FontAttributes(s.font, job_.mono), &pango_attr_list_unref);
    if (shown.color && !job_.mono) {
      Rgb col = ColorOf(*shown.color, {}, false);
      pango_attr_list_change(base.get(),
                             pango_attr_foreground_new(static_cast<guint16>(col.r * 65535),
                                                       static_cast<guint16>(col.g * 65535),
                                                       static_cast<guint16>(col.b * 65535)));
    }
    // The text with its attributes; the East Asian runs follow the text whenever it changes.
    // Each pad mark becomes a blank as wide as its character (the n-th mark the n-th pad; a
    // repeated text repeats them).
    double pad_scale = 1.0;
    std::vector<double> pad_widths;
    for (const std::string& ch : shown.pads) pad_widths.push_back(PadWidthPt(s.font, ch));
    auto put_text = [&](const std::string& text) {
      pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
      PangoAttrList* attrs = pango_attr_list_copy(base.get());
      AddEastAsianFont(attrs, text, s.font.name);
      std::size_t k = 0;
      for (std::size_t at = text.find(kPadMark); at != std::string::npos && !pad_widths.empty();
           at = text.find(kPadMark, at + kPadMark.size()), ++k) {
        double w = pad_widths[k % pad_widths.size()] * pad_scale;
        PangoRectangle ink{0, 0, 0, 0};
        PangoRectangle logical{0, 0, static_cast<int>(w * PANGO_SCALE), 0};
        PangoAttribute* a = pango_attr_shape_new(&ink, &logical);
        a->start_index = static_cast<guint>(at);
        a->end_index = static_cast<guint>(at + kPadMark.size());
        pango_attr_list_insert(attrs, a);
      }
      pango_layout_set_attributes(layout.get(), attrs);
      pango_attr_list_unref(attrs);
    };
    put_text(shown.text);
    if (s.rotation != 0) {
      Rotated(layout.get(), s, h, shown.text, put_text, x0, y0, x1, y1);
      return;
    }
    if (h == engine::HAlign::CenterAcross && !merge) {
      // Centred over the cell and the empty cells after it that are centred across too.
      for (std::uint32_t n = c + 1;
           n < engine::kMaxCols && n <= pane_.c1 + 64 && job_.Empty(r, n) &&
           job_.StyleAt(r, n).halign == engine::HAlign::CenterAcross;
           ++n) {
        x1 += g_.ColWidth(n);
      }
    }

    double avail = x1 - x0 - 2 * pad - indent;
    bool wrap = s.wrap || h == engine::HAlign::Justify || h == engine::HAlign::Distributed;
    if (wrap) {
      pango_layout_set_width(layout.get(), static_cast<int>(std::max(1.0, avail) * PANGO_SCALE));
      pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
      pango_layout_set_alignment(layout.get(), h == engine::HAlign::Right    ? PANGO_ALIGN_RIGHT
                                               : h == engine::HAlign::Center ? PANGO_ALIGN_CENTER
                                                                             : PANGO_ALIGN_LEFT);
    }
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout.get(), &ink, &logical);
    double tw = logical.width / double(PANGO_SCALE);
    if (!wrap && s.shrink && tw > avail && avail > 0) {
      // Shrink to fit: the font gets smaller until the text fits the cell.
      FontStyle smaller = s.font;
      smaller.size_pt = std::max(1.0, s.font.size_pt * avail / tw);
      FontDesc sd = Describe(smaller);
      pango_layout_set_font_description(layout.get(), sd.get());
      pad_scale = smaller.size_pt / std::max(1.0, s.font.size_pt);
      put_text(shown.text);
      pango_layout_get_extents(layout.get(), &ink, &logical);
      tw = logical.width / double(PANGO_SCALE);
    }
    double th = logical.height / double(PANGO_SCALE);

    auto set_text = [&](const std::string& text) {
      put_text(text);
      pango_layout_get_extents(layout.get(), &ink, &logical);
      tw = logical.width / double(PANGO_SCALE);
    };
    auto width_of = [&](const std::string& text) {
      put_text(text);
      pango_layout_get_extents(layout.get(), nullptr, &logical);
      return logical.width / double(PANGO_SCALE);
    };
    if (!wrap && shown.fill && !shown.fill_char.empty()) {
      // `*x`: the fill character takes whatever room the rest leaves.
      double rest = width_of(shown.before + shown.after);
      double one = std::max(0.1, width_of(shown.fill_char));
      int n = static_cast<int>((avail - rest) / one);
      std::string text = shown.before;
      for (int i = 0; i < n && i < 2000; ++i) text += shown.fill_char;
      text += shown.after;
      set_text(text);
      if (n >= 0) h = engine::HAlign::Left;
    } else if (!wrap && h == engine::HAlign::Fill && tw > 0 && tw < avail) {
      // Fill alignment repeats the whole text across the cell.
      std::string one = shown.text, text = shown.text;
      int n = static_cast<int>(avail / tw);
      for (int i = 1; i < n && i < 2000; ++i) text += one;
      set_text(text);
      h = engine::HAlign::Left;
    }

    double clip0 = x0, clip1 = x1;
    if (!wrap && tw > avail) {
      if (shown.numeric) {
        // A number never overflows: it shows as "#" across the cell.
        put_text("#");
        pango_layout_get_extents(layout.get(), &ink, &logical);
        double hw = std::max(0.1, logical.width / double(PANGO_SCALE));
        int n = std::max(1, static_cast<int>(avail / hw));
        std::string hashes(static_cast<std::size_t>(n), '#');
        put_text(hashes);
        pango_layout_get_extents(layout.get(), &ink, &logical);
        tw = logical.width / double(PANGO_SCALE);
      } else if (!merge) {
        // Text runs on into empty neighbours on the side(s) it grows towards.
        double need = tw - avail;
        bool right = h == engine::HAlign::Left || h == engine::HAlign::Center;
        bool left = h == engine::HAlign::Right || h == engine::HAlign::Center;
        double share = h == engine::HAlign::Center ? need / 2 : need;
        if (right) {
          double got = 0;
          for (std::uint32_t n = c + 1; got < share && n < engine::kMaxCols && job_.Empty(r, n);
               ++n) {
            got += g_.ColWidth(n);
            if (n > pane_.c1 + 64) break;
          }
          clip1 = x1 + got;
        }
        if (left) {
          double got = 0;
          for (std::uint32_t n = c; got < share && n > 0 && job_.Empty(r, n - 1); --n) {
            got += g_.ColWidth(n - 1);
          }
          clip0 = x0 - got;
        }
      }
    }

    double tx;
    if (wrap) {
      tx = x0 + pad + (h == engine::HAlign::Right ? 0 : indent);
    } else if (h == engine::HAlign::Right) {
      tx = x1 - pad - indent - tw;
    } else if (h == engine::HAlign::Center || h == engine::HAlign::CenterAcross) {
      tx = (x0 + x1 - tw) / 2;
    } else {
      tx = x0 + pad + indent;
    }
    double ty;
    if (s.valign == engine::VAlign::Top) {
      ty = y0 + 0.75;
    } else if (s.valign == engine::VAlign::Center || s.valign == engine::VAlign::Justify ||
               s.valign == engine::VAlign::Distributed) {
      ty = (y0 + y1 - th) / 2;
    } else {
      ty = y1 - 0.75 - th;
    }
    if (!wrap) {
      // Characters the clip hides entirely are left out, so the page's text (copy, search,
      // pdftotext) is what it shows; the pane's edge clips too.
      double left = std::max(clip0, xs_.front()), right = std::min(clip1, xs_.back());
      const std::string full = pango_layout_get_text(layout.get());
      std::size_t first = std::string::npos, last = 0;
      double first_x = 0;
      // One pass over the characters, left to right, stopping past the clip.
      PangoLayoutIter* it = pango_layout_get_iter(layout.get());
      do {
        PangoRectangle pos;
        pango_layout_iter_get_char_extents(it, &pos);
        auto index = static_cast<std::size_t>(pango_layout_iter_get_index(it));
        if (index >= full.size()) break;
        double a = tx + std::min(pos.x, pos.x + pos.width) / double(PANGO_SCALE);
        double b = tx + std::max(pos.x, pos.x + pos.width) / double(PANGO_SCALE);
        if (a >= right) break;
        if (b > left) {
          if (first == std::string::npos) {
            first = index;
            first_x = a;
          }
          last = static_cast<std::size_t>(g_utf8_next_char(full.c_str() + index) - full.c_str());
        }
      } while (pango_layout_iter_next_char(it));
      pango_layout_iter_free(it);
      if (first == std::string::npos) return;
      if (first > 0 || last < full.size()) {
        std::string kept = full.substr(first, last - first);
        put_text(kept);
        pango_layout_get_extents(layout.get(), &ink, &logical);
        tx = first_x;
      }
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, clip0, y0, clip1 - clip0, y1 - y0);
    cairo_clip(cr_);
    // A wrapped layout places its lines inside its own width (centred or right-aligned), so its
    // origin is the cell's text edge; a single line is placed by its own extent.
    cairo_move_to(cr_, wrap ? tx : tx - logical.x / double(PANGO_SCALE), ty);
    pango_cairo_show_layout(cr_, layout.get());
    cairo_restore(cr_);
  }

  // Text turned up (1-90 degrees), down (91-180: 90 + degrees) or stacked one character a line
  // (255), placed by its turned bounding box inside the cell and clipped to it.
  template <typename PutText>
  void Rotated(PangoLayout* layout, const CellStyle& s, engine::HAlign h, const std::string& text,
               const PutText& put_text, double x0, double y0, double x1, double y1) {
    double degrees = 0;
    if (s.rotation == 255) {
      std::string stacked;
      for (const char* p = text.c_str(); *p;) {
        const char* next = g_utf8_next_char(p);
        if (!stacked.empty()) stacked += '\n';
        stacked.append(p, next);
        p = next;
      }
      put_text(stacked);
      pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    } else {
      degrees = s.rotation <= 90 ? s.rotation : -(s.rotation - 90.0);
    }
    // Unaligned text turned straight up or stacked sits at the cell's right edge, as
    // LibreOffice prints it (its baseline side faces right).
    if (s.halign == engine::HAlign::General && (s.rotation == 90 || s.rotation == 255))
      h = engine::HAlign::Right;
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    double tw = logical.width / double(PANGO_SCALE), th = logical.height / double(PANGO_SCALE);
    double a = degrees * M_PI / 180;
    double bw = std::abs(tw * std::cos(a)) + std::abs(th * std::sin(a));
    double bh = std::abs(tw * std::sin(a)) + std::abs(th * std::cos(a));
    const double pad = 1.5;
    double cx = h == engine::HAlign::Right                               ? x1 - pad - bw / 2
                : h == engine::HAlign::Left || h == engine::HAlign::Fill ? x0 + pad + bw / 2
                                                                         : (x0 + x1) / 2;
    double cy = s.valign == engine::VAlign::Top      ? y0 + 0.75 + bh / 2
                : s.valign == engine::VAlign::Bottom ? y1 - 0.75 - bh / 2
                                                     : (y0 + y1) / 2;
    cairo_save(cr_);
    cairo_rectangle(cr_, x0, y0, x1 - x0, y1 - y0);
    cairo_clip(cr_);
    cairo_translate(cr_, cx, cy);
    cairo_rotate(cr_, -a);  // counter-clockwise on the page: cairo's y axis points down
    cairo_move_to(cr_, -tw / 2 - logical.x / double(PANGO_SCALE), -th / 2);
    pango_cairo_update_layout(cr_, layout);
    pango_cairo_show_layout(cr_, layout);
    cairo_restore(cr_);
  }

  // Edges with the same line meeting end to end are stroked as one line: fewer drawing
  // operations, and dashes run on across cells.
  struct Run {
    engine::BorderLine line;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool open = false;
  };
  void Extend(Run& run, const engine::BorderLine& line, double x0, double y0, double x1,
              double y1) {
    if (run.open && run.line == line && run.x1 == x0 && run.y1 == y0) {
      run.x1 = x1;
      run.y1 = y1;
      return;
    }
    Flush(run);
    if (line.style == engine::BorderStyle::None) return;
    run = {line, x0, y0, x1, y1, true};
  }
  void Flush(Run& run) {
    if (run.open) StrokeBorder(cr_, run.line, run.x0, run.y0, run.x1, run.y1, job_.mono);
    run.open = false;
  }

  void Borders() {
    // Horizontal edges: between row r-1 and r, for r in [r0, r1+1].
    for (std::uint32_t r = pane_.r0; r <= pane_.r1 + 1; ++r) {
      Run run;
      for (std::uint32_t c = pane_.c0; c <= pane_.c1; ++c) {
        if (g_.ColWidth(c) <= 0) continue;
        const engine::CellRange* below = job_.MergeAt(r, c);
        const engine::CellRange* above = r > 0 ? job_.MergeAt(r - 1, c) : nullptr;
        if (below && below == above) {  // inside a merged area
          Flush(run);
          continue;
        }
        engine::BorderLine a =
            r > 0 ? job_.EdgeAt(r - 1, c, &engine::CellStyle::bottom) : engine::BorderLine{};
        engine::BorderLine b = job_.EdgeAt(r, c, &engine::CellStyle::top);
        Extend(run, Stronger(a, b), CX(c), RY(r), CX(c + 1), RY(r));
      }
      Flush(run);
    }
    for (std::uint32_t c = pane_.c0; c <= pane_.c1 + 1; ++c) {
      Run run;
      for (std::uint32_t r = pane_.r0; r <= pane_.r1; ++r) {
        if (g_.RowHeight(r) <= 0) continue;
        const engine::CellRange* right = job_.MergeAt(r, c);
        const engine::CellRange* left = c > 0 ? job_.MergeAt(r, c - 1) : nullptr;
        if (right && right == left) {
          Flush(run);
          continue;
        }
        engine::BorderLine a =
            c > 0 ? job_.EdgeAt(r, c - 1, &engine::CellStyle::right) : engine::BorderLine{};
        engine::BorderLine b = job_.EdgeAt(r, c, &engine::CellStyle::left);
        Extend(run, Stronger(a, b), CX(c), RY(r), CX(c), RY(r + 1));
      }
      Flush(run);
    }
  }

  cairo_t* cr_;
  const SheetJob& job_;
  Pane pane_;
  const SheetGeometry& g_;
  std::vector<double> xs_, ys_;
};

}  // namespace
namespace {

std::string DateText(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%d/%d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return buf;
}

std::string TimeText(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d", tm.tm_hour, tm.tm_min);
  return buf;
}

// One header or footer section as a layout of styled runs.
LayoutPtr SectionLayout(cairo_t* cr, const std::vector<HeaderFooterRun>& runs, bool mono) {
  LayoutPtr layout = DrawLayout(cr);
  std::string text;
  PangoAttrList* attrs = pango_attr_list_new();
  for (const HeaderFooterRun& run : runs) {
    if (run.picture) continue;
    auto start = static_cast<guint>(text.size());
    text += run.text;
    auto end = static_cast<guint>(text.size());
    FontDesc d = Describe(run.font);
    auto add = [&](PangoAttribute* a) {
      a->start_index = start;
      a->end_index = end;
      pango_attr_list_insert(attrs, a);
    };
    add(pango_attr_font_desc_new(d.get()));
    PangoAttrList* extra = FontAttributes(run.font, mono);
    GSList* list = pango_attr_list_get_attributes(extra);
    for (GSList* l = list; l; l = l->next) add(static_cast<PangoAttribute*>(l->data));
    g_slist_free(list);
    pango_attr_list_unref(extra);
    AddEastAsianFont(attrs, run.text, run.font.name, start);
  }
  pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
  pango_layout_set_attributes(layout.get(), attrs);
  pango_attr_list_unref(attrs);
  return layout;
}

// A section's picture sits where its &G is, between the text before and after it, at the stated
// size (not scaled with the sheet). The header's top stays at the header margin and the
// footer's bottom at the footer margin, with text bottom-aligned beside the picture; a picture
// taller than the margin leaves runs over the cells, as the cells are never moved for it.
void DrawHeaderFooter(cairo_t* cr, const HeaderFooterSections& sections, const SheetJob& job,
                      bool footer, engine::HeaderFooterPage page) {
  const PageFrame& f = job.frame;
  const engine::HeaderFooter& hf = job.layout->header_footer;
  struct Part {
    const std::vector<HeaderFooterRun>* runs;
    PangoAlignment align;
    engine::HeaderFooterSection section;
  };
  for (Part part : {Part{&sections.left, PANGO_ALIGN_LEFT, engine::HeaderFooterSection::Left},
                    Part{&sections.center, PANGO_ALIGN_CENTER, engine::HeaderFooterSection::Center},
                    Part{&sections.right, PANGO_ALIGN_RIGHT, engine::HeaderFooterSection::Right}}) {
    if (part.runs->empty()) continue;
    cairo_surface_t* image = nullptr;
    const engine::HeaderFooterPicture* picture = nullptr;
    auto at = std::find_if(part.runs->begin(), part.runs->end(),
                           [](const HeaderFooterRun& r) { return r.picture; });
    if (at != part.runs->end()) {
      picture = hf.PictureFor(footer, page, part.section);
      if (picture)
        image = job.pictures[static_cast<std::size_t>(picture - hf.pictures.data())].get();
    }
    std::vector<HeaderFooterRun> before(part.runs->begin(), image ? at : part.runs->end());
    std::vector<HeaderFooterRun> after(image ? at + 1 : part.runs->end(), part.runs->end());
    std::lock_guard lock(TheFonts().mutex);
    struct Block {
      LayoutPtr layout;
      double w = 0, h = 0;
    };
    auto block = [&](const std::vector<HeaderFooterRun>& runs) {
      Block b;
      if (std::all_of(runs.begin(), runs.end(), [](const auto& r) { return r.text.empty(); })) {
        return b;
      }
      b.layout = SectionLayout(cr, runs, job.mono);
      pango_layout_set_alignment(b.layout.get(), part.align);
      PangoRectangle logical;
      pango_layout_get_extents(b.layout.get(), nullptr, &logical);
      b.w = logical.width / double(PANGO_SCALE);
      b.h = logical.height / double(PANGO_SCALE);
      return b;
    };
    Block first = block(before), last = block(after);
    double pw = image ? picture->width_pt : 0, ph = image ? picture->height_pt : 0;
    double w = first.w + pw + last.w, h = std::max({first.h, ph, last.h});
    double x = part.align == PANGO_ALIGN_LEFT    ? f.left
               : part.align == PANGO_ALIGN_RIGHT ? f.paper_width_pt - f.right - w
                                                 : (f.paper_width_pt - w) / 2;
    double y = footer ? f.paper_height_pt - f.footer - h : f.header;
    if (first.layout) {
      cairo_move_to(cr, x, y + h - first.h);
      pango_cairo_show_layout(cr, first.layout.get());
    }
    if (image) {
      double iw = cairo_image_surface_get_width(image), ih = cairo_image_surface_get_height(image);
      cairo_save(cr);
      cairo_translate(cr, x + first.w, y + h - ph);
      cairo_scale(cr, pw / iw, ph / ih);
      cairo_set_source_surface(cr, image, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
      cairo_rectangle(cr, 0, 0, iw, ih);
      cairo_fill(cr);
      cairo_restore(cr);
    }
    if (last.layout) {
      cairo_move_to(cr, x + first.w + pw, y + h - last.h);
      pango_cairo_show_layout(cr, last.layout.get());
    }
  }
}

std::string SheetName(const SheetRef& ref) {
  const auto& sheets = ref.book->sheets();
  return ref.sheet >= 0 && static_cast<std::size_t>(ref.sheet) < sheets.size()
             ? sheets[static_cast<std::size_t>(ref.sheet)].name
             : std::to_string(ref.sheet + 1);
}

ShownTextFn ShownFor(bool date1904) {
  return [date1904](const Variant& v, const CellStyle& s) {
    return FormatValue(v, FormatCodeOf(s), date1904).text;
  };
}

std::unique_ptr<SheetJob> Prepare(const SheetRef& ref, const RenderOptions& options) {
  auto job = std::make_unique<SheetJob>();
  job->book = ref.book;
  job->sheet = ref.sheet;
  job->sheet_name = SheetName(ref);
  job->cells = &ref.book->Cells(ref.sheet);
  job->layout = &ref.book->Layout(ref.sheet);
  job->styles = &ref.book->Styles();
  PangoMeasure measure;
  job->geometry = MeasureSheet(*job->layout, *job->styles, *job->cells, measure,
                               ShownFor(ref.book->date1904()));
  job->frame = FrameFor(job->layout->page, options.fit_width, options.unnamed_paper);
  job->pagination = Paginate(job->geometry, job->frame);
  job->mono = job->layout->page.black_and_white;
  job->gridlines = job->layout->page.print_gridlines;
  for (const engine::HeaderFooterPicture& picture : job->layout->header_footer.pictures) {
    job->pictures.push_back(DecodePicture(picture));
  }
  for (std::size_t i = 0; i < job->layout->merges.size(); ++i) {
    const engine::CellRange& m = job->layout->merges[i];
    // Merges far past anything printed cannot show; keep the index small.
    if ((std::uint64_t{m.last_row} - m.first_row + 1) *
            (std::uint64_t{m.last_col} - m.first_col + 1) >
        1u << 20) {
      continue;
    }
    for (std::uint32_t r = m.first_row; r <= m.last_row; ++r) {
      for (std::uint32_t c = m.first_col; c <= m.last_col; ++c) {
        job->merged.emplace(engine::SheetLayout::CellKey(r, c), i);
      }
    }
  }
  return job;
}

// The column letters as the spreadsheet shows them: A-Z, then AA, AB...
std::string ColumnLetters(std::uint32_t c) {
  std::string name;
  for (std::uint64_t n = std::uint64_t{c} + 1; n > 0; n = (n - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  return name;
}

// Printed headings: the letters of the page's columns above them, the numbers of its rows left of
// them, each in a box with a grey border, in the Normal font. Coordinates are unscaled points
// from the block's corner.
void DrawHeadings(cairo_t* cr, const SheetJob& job,
                  const std::vector<std::pair<std::uint32_t, std::uint32_t>>& col_spans,
                  const std::vector<std::pair<std::uint32_t, std::uint32_t>>& row_spans) {
  const SheetGeometry& g = job.geometry;
  const double hw = job.frame.HeadingWidth(), hh = job.frame.HeadingHeight();
  std::vector<std::tuple<double, double, double, double, std::string>> boxes;
  boxes.emplace_back(0, 0, hw, hh, "");
  double x = hw;
  for (auto [c0, c1] : col_spans) {
    for (std::uint32_t c = c0; c <= c1; ++c) {
      double w = g.ColWidth(c);
      if (w <= 0) continue;
      boxes.emplace_back(x, 0, w, hh, ColumnLetters(c));
      x += w;
    }
  }
  double y = hh;
  for (auto [r0, r1] : row_spans) {
    for (std::uint32_t r = r0; r <= r1; ++r) {
      double h = g.RowHeight(r);
      if (h <= 0) continue;
      boxes.emplace_back(0, y, hw, h, std::to_string(std::uint64_t{r} + 1));
      y += h;
    }
  }
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_set_line_width(cr, 0.5);
  for (const auto& [bx, by, bw, bh, text] : boxes) cairo_rectangle(cr, bx, by, bw, bh);
  cairo_stroke(cr);
  engine::FontStyle font = job.styles->normal_font;
  font.bold = font.italic = font.strike = false;
  font.underline = engine::Underline::None;
  font.script = engine::Script::None;
  std::lock_guard lock(TheFonts().mutex);
  LayoutPtr layout = DrawLayout(cr);
  FontDesc d = Describe(font);
  pango_layout_set_font_description(layout.get(), d.get());
  cairo_set_source_rgb(cr, 0, 0, 0);
  for (const auto& [bx, by, bw, bh, text] : boxes) {
    if (text.empty()) continue;
    pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    double tw = logical.width / double(PANGO_SCALE), th = logical.height / double(PANGO_SCALE);
    cairo_save(cr);
    cairo_rectangle(cr, bx, by, bw, bh);
    cairo_clip(cr);
    cairo_move_to(cr, bx + (bw - tw) / 2 - logical.x / double(PANGO_SCALE), by + (bh - th) / 2);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
  }
  cairo_restore(cr);
}

void DrawPage(cairo_t* cr, const SheetJob& job, const Page& page, std::size_t index_in_sheet,
              const RenderOptions& options, std::time_t now) {
  const SheetGeometry& g = job.geometry;
  cairo_save(cr);
  cairo_translate(cr, page.x_pt, page.y_pt);
  cairo_scale(cr, job.pagination.scale, job.pagination.scale);
  double title_w = 0, title_h = 0;
  if (page.title_cols) {
    for (std::uint32_t c = g.title_cols->first; c <= g.title_cols->second; ++c)
      title_w += g.ColWidth(c);
  }
  if (page.title_rows) {
    for (std::uint32_t r = g.title_rows->first; r <= g.title_rows->second; ++r)
      title_h += g.RowHeight(r);
  }
  const double hw = job.frame.HeadingWidth(), hh = job.frame.HeadingHeight();
  std::vector<Pane> panes;
  panes.push_back(
      {page.first_row, page.last_row, page.first_col, page.last_col, hw + title_w, hh + title_h});
  if (page.title_rows) {
    panes.push_back({g.title_rows->first, g.title_rows->second, page.first_col, page.last_col,
                     hw + title_w, hh});
  }
  if (page.title_cols) {
    panes.push_back({page.first_row, page.last_row, g.title_cols->first, g.title_cols->second, hw,
                     hh + title_h});
  }
  if (page.title_rows && page.title_cols) {
    panes.push_back({g.title_rows->first, g.title_rows->second, g.title_cols->first,
                     g.title_cols->second, hw, hh});
  }
  if (job.frame.headings) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cols, rows;
    if (page.title_cols) cols.emplace_back(g.title_cols->first, g.title_cols->second);
    cols.emplace_back(page.first_col, page.last_col);
    if (page.title_rows) rows.emplace_back(g.title_rows->first, g.title_rows->second);
    rows.emplace_back(page.first_row, page.last_row);
    DrawHeadings(cr, job, cols, rows);
  }
  for (const Pane& pane : panes) PaneDrawer(cr, job, pane).Draw();
  cairo_restore(cr);

  const engine::HeaderFooter& hf = job.layout->header_footer;
  bool first = index_in_sheet == 0 && hf.different_first;
  bool even = !first && hf.different_odd_even && page.number % 2 == 0;
  const std::string& header = first ? hf.first_header : even ? hf.even_header : hf.odd_header;
  const std::string& footer = first ? hf.first_footer : even ? hf.even_footer : hf.odd_footer;
  HeaderFooterContext ctx;
  ctx.page = page.number;
  ctx.pages = static_cast<int>(job.pagination.pages.size());
  ctx.date = DateText(now);
  ctx.time = TimeText(now);
  ctx.file = options.file_name;
  ctx.folder = options.folder;
  ctx.sheet = job.sheet_name;
  engine::FontStyle base = job.styles->normal_font;
  base.size_pt = 10;
  base.bold = base.italic = base.strike = false;
  base.underline = engine::Underline::None;
  base.color = engine::ColorRef::Auto();
  const engine::HeaderFooterPage which = first  ? engine::HeaderFooterPage::First
                                         : even ? engine::HeaderFooterPage::Even
                                                : engine::HeaderFooterPage::Odd;
  if (!header.empty())
    DrawHeaderFooter(cr, ParseHeaderFooter(header, ctx, base), job, false, which);
  if (!footer.empty()) DrawHeaderFooter(cr, ParseHeaderFooter(footer, ctx, base), job, true, which);
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string PdfDate(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

// Draws every sheet's pages onto a PDF surface made by `make` at the first page's size.
int Draw(const std::vector<SheetRef>& sheets, const RenderOptions& options,
         const std::function<cairo_surface_t*(double, double)>& make, const std::string& target) {
  std::vector<std::unique_ptr<SheetJob>> jobs;
  for (const SheetRef& ref : sheets) {
    if (!ref.book) throw std::runtime_error("无法打印：没有工作簿");
    try {
      jobs.push_back(Prepare(ref, options));
    } catch (const std::exception& e) {
      throw std::runtime_error("无法打印工作表“" + SheetName(ref) + "”：" + e.what());
    }
  }
  double w0 = 595.28, h0 = 841.89;
  for (const auto& job : jobs) {
    if (!job->pagination.pages.empty()) {
      w0 = job->frame.paper_width_pt;
      h0 = job->frame.paper_height_pt;
      break;
    }
  }
  if (jobs.empty() == false && std::all_of(jobs.begin(), jobs.end(), [](const auto& j) {
        return j->pagination.pages.empty();
      })) {
    w0 = jobs.front()->frame.paper_width_pt;
    h0 = jobs.front()->frame.paper_height_pt;
  }
  cairo_surface_t* surface = make(w0, h0);
  std::time_t now = options.now ? options.now() : std::time(nullptr);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, PdfDate(now).c_str());
  if (!options.file_name.empty()) {
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, options.file_name.c_str());
  }
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Ledgerix");
  cairo_t* cr = cairo_create(surface);
  int pages = 0;
  for (const auto& job : jobs) {
    std::size_t count = job->pagination.pages.size();
    if (options.max_pages_per_sheet > 0)
      count = std::min(count, static_cast<std::size_t>(options.max_pages_per_sheet));
    for (std::size_t i = 0; i < count; ++i) {
      cairo_pdf_surface_set_size(surface, job->frame.paper_width_pt, job->frame.paper_height_pt);
      DrawPage(cr, *job, job->pagination.pages[i], i, options, now);
      cairo_show_page(cr);
      ++pages;
    }
  }
  // A document without pages is not a valid PDF: a sheet with nothing to print gives one blank
  // page, as a printer would feed.
  if (pages == 0) cairo_show_page(cr);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("无法写入PDF文件“" + target + "”：" + cairo_status_to_string(status));
  }
  return pages;
}

}  // namespace

std::string ResolvedFamily(const std::string& family) {
  std::lock_guard lock(TheFonts().mutex);
  FontDesc d(pango_font_description_new());
  pango_font_description_set_family(d.get(), family.c_str());
  pango_font_description_set_size(d.get(), 10 * PANGO_SCALE);
  PangoFont* font = pango_font_map_load_font(TheFonts().map, TheFonts().context, d.get());
  if (!font) return {};
  FontDesc got(pango_font_describe(font));
  g_object_unref(font);
  const char* name = pango_font_description_get_family(got.get());
  return name ? name : "";
}

Shown ShowCell(const Variant& value, const CellStyle& style, bool date1904) {
  ShownValue v = FormatValue(value, FormatCodeOf(style), date1904);
  Shown s;
  s.text = v.text;
  s.numeric = v.numeric;
  s.color = v.color;
  std::string marked;  // the text with a mark for each pad
  for (const ShownPiece& piece : v.pieces) {
    std::string& side = s.fill ? s.after : s.before;
    switch (piece.kind) {
      case ShownPiece::Kind::Text:
        side += piece.text;
        marked += piece.text;
        break;
      case ShownPiece::Kind::Pad:
        side += kPadMark;
        marked += kPadMark;
        s.pads.push_back(piece.text);
        break;
      case ShownPiece::Kind::Fill:
        if (!s.fill) {
          s.fill = true;
          s.fill_char = piece.text;
        }
        break;
    }
  }
  if (!s.pads.empty()) s.text = std::move(marked);
  return s;
}

int RenderPdf(const std::vector<SheetRef>& sheets, const std::string& pdf_path,
              const RenderOptions& options) {
  return Draw(
      sheets, options,
      [&](double w, double h) { return cairo_pdf_surface_create(pdf_path.c_str(), w, h); },
      pdf_path);
}

std::string RenderPdfBytes(const std::vector<SheetRef>& sheets, const RenderOptions& options,
                           int* pages) {
  std::string bytes;
  int n = Draw(
      sheets, options,
      [&](double w, double h) {
        return cairo_pdf_surface_create_for_stream(&AppendBytes, &bytes, w, h);
      },
      options.file_name);
  if (pages) *pages = n;
  return bytes;
}

}  // namespace ledgerix::print
