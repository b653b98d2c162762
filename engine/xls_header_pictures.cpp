// Header and footer pictures of a BIFF8 sheet. Excel keeps them in HFPicture records, apart from
// the cell drawings: the globals carry a drawing group whose blip store holds the images, a
// sheet that shows pictures carries a drawing with one shape per picture, named after its
// section as VML names it ("CH", "LFEVEN") and pointing at its image by a 1-based store index.
// Either drawing may be cut across several records that continue the first.
//
// Everything here is cosmetic and read from bytes the writer may have damaged: every length is
// checked against what is there, and a picture that does not add up is left out.
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/xls_layout.h"

namespace ledgerix::engine::biff {
namespace {

// HFPicture: a 12-byte future-record header, a flags byte and a reserved byte, then the drawing.
constexpr std::size_t kDrawingStart = 14;
constexpr std::uint8_t kIsDrawing = 0x01;
constexpr std::uint8_t kIsDrawingGroup = 0x02;
constexpr std::uint8_t kContinues = 0x04;

// Drawing record types.
enum ArtType : std::uint16_t {
  kDggContainer = 0xF000,
  kBStoreContainer = 0xF001,
  kSpContainer = 0xF004,
  kBse = 0xF007,
  kOpt = 0xF00B,
  kClientAnchor = 0xF010,
  kSecondaryOpt = 0xF121,
  kTertiaryOpt = 0xF122,
  kBlipEmf = 0xF01A,
  kBlipWmf = 0xF01B,
  kBlipPict = 0xF01C,
  kBlipJpeg = 0xF01D,
  kBlipPng = 0xF01E,
  kBlipDib = 0xF01F,
  kBlipTiff = 0xF029,
  kBlipJpegCmyk = 0xF02A,
  kBlipFirst = 0xF018,
  kBlipLast = 0xF117,
};

// Shape properties.
constexpr std::uint16_t kPropBlip = 0x0104;
constexpr std::uint16_t kPropName = 0x0380;
constexpr std::uint16_t kPropComplex = 0x8000;

// Containers hold records, which may be containers: nesting deeper than this is damage.
constexpr int kMaxDepth = 16;
// Larger than any paper: damage, and nothing a page could show.
constexpr double kMaxPicturePt = 2000;

std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                    (static_cast<std::uint8_t>(b[at + 1]) << 8));
}
std::uint32_t Le32(std::string_view b, std::size_t at) {
  return Le16(b, at) | (std::uint32_t{Le16(b, at + 2)} << 16);
}

struct ArtRecord {
  std::uint16_t version = 0;   // 0xF: a container
  std::uint16_t instance = 0;  // what it means depends on the type
  std::uint16_t type = 0;
  std::string_view body;
};

// Takes the next record off *rest; false at the end or when the record runs past the bytes.
bool NextRecord(std::string_view* rest, ArtRecord* out) {
  if (rest->size() < 8) return false;
  std::uint16_t word = Le16(*rest, 0);
  std::uint32_t length = Le32(*rest, 4);
  if (length > rest->size() - 8) return false;
  out->version = word & 0x000F;
  out->instance = word >> 4;
  out->type = Le16(*rest, 2);
  out->body = rest->substr(8, length);
  rest->remove_prefix(8 + std::size_t{length});
  return true;
}

// The first record of this type among the records of bytes.
std::optional<ArtRecord> FindRecord(std::string_view bytes, std::uint16_t type) {
  ArtRecord r;
  while (NextRecord(&bytes, &r)) {
    if (r.type == type) return r;
  }
  return std::nullopt;
}

// The drawing of the first run of HFPicture records of one kind: the record that starts it and
// those that continue it, joined. A continuing record without a start is passed over.
std::string JoinDrawing(std::string_view stream, const std::vector<Record>& records,
                        std::uint8_t kind) {
  std::string drawing;
  bool in_run = false, done = false;
  for (const Record& r : records) {
    if (r.id != kHfPicture || r.size < kDrawingStart) continue;
    std::string_view payload = stream.substr(r.payload_offset(), r.size);
    if (payload.size() < kDrawingStart) continue;
    auto flags = static_cast<std::uint8_t>(payload[12]);
    if (flags & kContinues) {
      if (in_run) drawing.append(payload.substr(kDrawingStart));
      continue;
    }
    if (done) break;
    in_run = (flags & kind) != 0;
    done = in_run;
    if (in_run) drawing.append(payload.substr(kDrawingStart));
  }
  return drawing;
}

struct Blip {
  bool present = false;
  PictureFormat format = PictureFormat::Other;
  std::string_view bytes;
};

// An image record of the store: the file after the ids (one, or two where the instance says
// so) and the rest of its header. A known type whose instance is not one of its own is kept
// whole, as Other.
Blip ReadBlip(const ArtRecord& r) {
  struct Kind {
    std::uint16_t type, one_id, two_ids, one_id_alt, two_ids_alt;
    std::size_t header;  // after the ids: 34 for a metafile header, 1 for the tag byte
    PictureFormat format;
  };
  static constexpr Kind kKinds[] = {
      {kBlipEmf, 0x3D4, 0x3D5, 0x3D4, 0x3D5, 34, PictureFormat::Other},
      {kBlipWmf, 0x216, 0x217, 0x216, 0x217, 34, PictureFormat::Other},
      {kBlipPict, 0x542, 0x543, 0x542, 0x543, 34, PictureFormat::Other},
      {kBlipJpeg, 0x46A, 0x46B, 0x6E2, 0x6E3, 1, PictureFormat::Jpeg},
      {kBlipJpegCmyk, 0x46A, 0x46B, 0x6E2, 0x6E3, 1, PictureFormat::Jpeg},
      {kBlipPng, 0x6E0, 0x6E1, 0x6E0, 0x6E1, 1, PictureFormat::Png},
      {kBlipDib, 0x7A8, 0x7A9, 0x7A8, 0x7A9, 1, PictureFormat::Other},
      {kBlipTiff, 0x6E4, 0x6E5, 0x6E4, 0x6E5, 1, PictureFormat::Other},
  };
  Blip out;
  if (r.type < kBlipFirst || r.type > kBlipLast) return out;
  out.present = true;
  out.bytes = r.body;
  for (const Kind& k : kKinds) {
    if (k.type != r.type) continue;
    std::size_t ids = 0;
    if (r.instance == k.one_id || r.instance == k.one_id_alt) ids = 1;
    if (r.instance == k.two_ids || r.instance == k.two_ids_alt) ids = 2;
    if (ids == 0) break;
    std::size_t header = 16 * ids + k.header;
    if (r.body.size() < header) return {};
    out.bytes = r.body.substr(header);
    // A PNG or JPEG record that does not hold one is not drawn.
    if (k.format != PictureFormat::Other && SniffPictureFormat(out.bytes) == k.format) {
      out.format = k.format;
    }
    break;
  }
  return out;
}

// The store's entries in index order: an FBSE with its image after its name, or an image
// record on its own. An entry without an image (kept in a delay stream .xls does not have)
// keeps its place, so later indexes stay right.
std::vector<Blip> ReadStore(std::string_view group) {
  std::vector<Blip> store;
  std::optional<ArtRecord> dgg = FindRecord(group, kDggContainer);
  if (!dgg) return store;
  std::optional<ArtRecord> bstore = FindRecord(dgg->body, kBStoreContainer);
  if (!bstore) return store;
  std::string_view rest = bstore->body;
  ArtRecord entry;
  while (NextRecord(&rest, &entry)) {
    Blip blip;
    if (entry.type == kBse) {
      constexpr std::size_t kBseFixed = 36;  // types, id, tag, size, refs, delay offset, name
      if (entry.body.size() >= kBseFixed) {
        std::size_t name = static_cast<std::uint8_t>(entry.body[33]);
        if (entry.body.size() >= kBseFixed + name) {
          std::string_view embedded = entry.body.substr(kBseFixed + name);
          ArtRecord image;
          if (NextRecord(&embedded, &image)) blip = ReadBlip(image);
        }
      }
    } else {
      blip = ReadBlip(entry);
    }
    store.push_back(blip);
  }
  return store;
}

struct Shape {
  std::optional<std::uint32_t> blip;
  std::string name;
  std::optional<std::pair<std::int32_t, std::int32_t>> size_px;
};

// The blip index and name among one property table's entries. Complex values (the name) follow
// the table in entry order, each as long as its entry says.
void ReadProperties(const ArtRecord& r, Shape* shape) {
  std::size_t count = r.instance;
  if (count > r.body.size() / 6) return;
  std::size_t complex_at = count * 6;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint16_t id = Le16(r.body, i * 6);
    std::uint32_t value = Le32(r.body, i * 6 + 2);
    std::uint16_t property = id & 0x3FFF;
    if ((id & kPropComplex) == 0) {
      if (property == kPropBlip) shape->blip = value;
      continue;
    }
    if (value > r.body.size() - complex_at) return;  // the complex data ends early
    std::string_view data = r.body.substr(complex_at, value);
    complex_at += value;
    if (property != kPropName) continue;
    // UTF-16 up to its terminator; a section name is short and plain ASCII.
    std::string name;
    for (std::size_t at = 0; at + 1 < data.size(); at += 2) {
      std::uint16_t unit = Le16(data, at);
      if (unit == 0) break;
      if (unit >= 0x80 || name.size() >= 16) {
        name.clear();
        break;
      }
      name.push_back(static_cast<char>(unit));
    }
    shape->name = std::move(name);
  }
}

Shape ReadShape(std::string_view body) {
  Shape shape;
  ArtRecord r;
  while (NextRecord(&body, &r)) {
    if (r.type == kOpt || r.type == kSecondaryOpt || r.type == kTertiaryOpt) {
      ReadProperties(r, &shape);
    } else if (r.type == kClientAnchor && r.body.size() >= 8) {
      // The header and footer anchor: the picture's width and height in pixels.
      shape.size_px = std::make_pair(static_cast<std::int32_t>(Le32(r.body, 0)),
                                     static_cast<std::int32_t>(Le32(r.body, 4)));
    }
  }
  return shape;
}

// Every shape of the drawing, in groups too.
void CollectShapes(std::string_view bytes, int depth, std::vector<Shape>* out) {
  if (depth > kMaxDepth) return;
  ArtRecord r;
  while (NextRecord(&bytes, &r)) {
    if (r.type == kSpContainer) {
      out->push_back(ReadShape(r.body));
    } else if (r.version == 0xF) {
      CollectShapes(r.body, depth + 1, out);
    }
  }
}

}  // namespace

void ReadXlsHeaderFooterPictures(const XlsSource& source, const std::vector<Record>& sheet_records,
                                 HeaderFooter* out) {
  if (source.version != Version::kBiff8 || !source.globals) return;
  try {
    std::string drawing = JoinDrawing(source.stream, sheet_records, kIsDrawing);
    if (drawing.empty()) return;
    std::string group = JoinDrawing(source.stream, source.globals->records, kIsDrawingGroup);
    std::vector<Blip> store = ReadStore(group);
    if (store.empty()) return;
    std::vector<Shape> shapes;
    CollectShapes(drawing, 0, &shapes);
    for (const Shape& shape : shapes) {
      HeaderFooterPicture picture;
      if (!ParseHeaderFooterShapeName(shape.name, &picture)) continue;
      if (out->PictureFor(picture.footer, picture.page, picture.section)) continue;
      if (!shape.blip || *shape.blip == 0 || *shape.blip > store.size()) continue;
      const Blip& blip = store[*shape.blip - 1];
      if (!blip.present || !shape.size_px) continue;
      // Pixels at the 96 to the inch the application lays out header pictures in.
      double width = shape.size_px->first * 72.0 / 96, height = shape.size_px->second * 72.0 / 96;
      if (width <= 0 || height <= 0 || width > kMaxPicturePt || height > kMaxPicturePt) continue;
      picture.width_pt = width;
      picture.height_pt = height;
      picture.format = blip.format;
      picture.part = "HFPicture blip " + std::to_string(*shape.blip);
      picture.bytes = std::string(blip.bytes);
      out->pictures.push_back(std::move(picture));
    }
  } catch (const std::exception&) {
    // Out of memory on a huge drawing: the pictures read so far are kept.
  }
}

}  // namespace ledgerix::engine::biff
