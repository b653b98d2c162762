// Header and footer pictures of .xls sheets over workbook streams built record by record: the
// drawing group's image store in the globals and the sheet's drawing, both cut across HFPicture
// records that continue one another; which shapes become pictures and with which image; and
// damaged drawings (cut short, lengths overwritten, nesting without end) that must only lose
// pictures, never fail the workbook or read past what is there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/book.h"
#include "tests/engine/biff_test_builder.h"

namespace ledgerix::engine {
namespace {

using namespace testing;

std::string Art(unsigned version, unsigned instance, unsigned type, const std::string& body) {
  return U16(version | (instance << 4)) + U16(type) + U32(static_cast<std::uint32_t>(body.size())) +
         body;
}

// HFPicture records holding drawing: cut every chunk bytes, the later records continuing the
// first. kind 0x01 a sheet's drawing, 0x02 the drawing group.
std::string HfPictures(const std::string& drawing, unsigned kind, std::size_t chunk) {
  std::string out;
  for (std::size_t at = 0; at < drawing.size(); at += chunk) {
    unsigned flags = kind | (at > 0 ? 0x04 : 0);
    out += Rec(0x0866, U16(0x0866) + U16(0) + std::string(8, '\0') + U8(flags) + U8(0) +
                           drawing.substr(at, chunk));
  }
  return out;
}

const std::string kUid(16, '\x5A');
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "IHDR-and-the-rest";
const std::string kJpeg = "\xFF\xD8\xFF\xE0-jfif-\xFF\xD9";
const std::string kNotPng = "GIF89a, not a PNG";
const std::string kDib = "BM-bitmap";

// An FBSE carrying blip after its name.
std::string Bse(unsigned kind, const std::string& blip, const std::string& name = "") {
  return Art(2, kind, 0xF007,
             U8(kind) + U8(kind) + kUid + U16(0xFF) + U32(static_cast<std::uint32_t>(blip.size())) +
                 U32(1) + U32(0) + U8(0) + U8(static_cast<unsigned>(name.size())) + U8(0) + U8(0) +
                 name + blip);
}

// The store: 1 a PNG with a second id, 2 a CMYK JPEG standing without an FBSE, 3 an FBSE
// whose image is elsewhere, 4 a "PNG" that is not one, 5 a bitmap.
std::string DrawingGroup() {
  std::string store = Bse(6, Art(0, 0x6E1, 0xF01E, kUid + kUid + U8(0xFF) + kPng), "logo") +
                      Art(0, 0x6E3, 0xF02A, kUid + kUid + U8(0xFF) + kJpeg) + Bse(5, "") +
                      Bse(6, Art(0, 0x6E0, 0xF01E, kUid + U8(0xFF) + kNotPng)) +
                      Bse(7, Art(0, 0x7A8, 0xF01F, kUid + U8(0xFF) + kDib));
  return Art(0xF, 0, 0xF000,
             Art(0, 0, 0xF006, U32(0x410) + U32(2) + U32(8) + U32(1) + U32(1) + U32(8)) +
                 Art(0xF, 5, 0xF001, store));
}

std::string Shape(const std::string& name, unsigned blip, int width_px, int height_px) {
  std::string wz = Utf16(std::u16string(name.begin(), name.end())) + U16(0);
  std::string title = Utf16(u"pic") + U16(0);
  std::string props = U16(0x007F) + U32(0x00800080) + U16(0xC105) +
                      U32(static_cast<std::uint32_t>(title.size())) + U16(0x4104) + U32(blip) +
                      U16(0x8380) + U32(static_cast<std::uint32_t>(wz.size())) + title + wz;
  return Art(0xF, 0, 0xF004,
             Art(2, 75, 0xF00A, U32(0x401) + U32(0x0A00)) + Art(3, 4, 0xF00B, props) +
                 Art(0, 0, 0xF010,
                     U32(static_cast<std::uint32_t>(width_px)) +
                         U32(static_cast<std::uint32_t>(height_px))));
}

std::string Drawing(const std::string& shapes) {
  std::string patriarch =
      Art(0xF, 0, 0xF004,
          Art(1, 0, 0xF009, std::string(16, '\0')) + Art(2, 0, 0xF00A, U32(0x400) + U32(0x5)));
  return Art(0xF, 0, 0xF002,
             Art(0, 1, 0xF008, U32(4) + U32(0x404)) + Art(0xF, 0, 0xF003, patriarch + shapes));
}

std::string AllShapes() {
  return Shape("CHEVEN", 1, 40, 20) + Shape("RFFIRST", 2, 96, 48) +
         Shape("LH", 3, 10, 10) +                    // its image is not in the file
         Shape("LF", 4, 10, 10) +                    // not the PNG its record claims
         Shape("RH", 9, 10, 10) +                    // past the store
         Shape("Picture 1", 1, 10, 10) +             // not a section
         Shape("CHEVEN", 2, 10, 10) +                // the section already has its picture
         Shape("CF", 1, 0, 10) +                     // no width
         Shape("CH", 1, 4000, 10) +                  // wider than any paper
         Art(0xF, 0, 0xF003, Shape("RF", 5, 8, 8));  // in a group
}

std::string Stream(const std::string& group_records, const std::string& sheet_records) {
  return Workbook({{"Sheet1", 0, 0, Rec(0x0014, Str8("&C&G")) + sheet_records}}, "", group_records);
}

const HeaderFooter& Pictures(std::unique_ptr<Book>& book, const std::string& stream) {
  book = OpenBookFromMemory("t.xls", stream);
  return book->Layout(0).header_footer;
}

TEST(XlsHeaderPictures, ShapesBecomePicturesWithTheirSectionSizeAndImage) {
  std::unique_ptr<Book> book;
  const HeaderFooter& hf = Pictures(book, Stream(HfPictures(DrawingGroup(), 0x02, 11),
                                                 HfPictures(Drawing(AllShapes()), 0x01, 7)));
  ASSERT_EQ(hf.pictures.size(), 4u);

  const HeaderFooterPicture* png =
      hf.PictureFor(false, HeaderFooterPage::Even, HeaderFooterSection::Center);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->format, PictureFormat::Png);
  EXPECT_EQ(png->bytes, kPng) << "both ids and the tag byte come off";
  EXPECT_DOUBLE_EQ(png->width_pt, 30);  // 40 x 20 pixels at 96 to the inch
  EXPECT_DOUBLE_EQ(png->height_pt, 15);
  EXPECT_EQ(png->part, "HFPicture blip 1");

  const HeaderFooterPicture* jpeg =
      hf.PictureFor(true, HeaderFooterPage::First, HeaderFooterSection::Right);
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->format, PictureFormat::Jpeg);
  EXPECT_EQ(jpeg->bytes, kJpeg);
  EXPECT_DOUBLE_EQ(jpeg->width_pt, 72);
  EXPECT_DOUBLE_EQ(jpeg->height_pt, 36);
  EXPECT_EQ(jpeg->part, "HFPicture blip 2");

  const HeaderFooterPicture* fake =
      hf.PictureFor(true, HeaderFooterPage::Odd, HeaderFooterSection::Left);
  ASSERT_NE(fake, nullptr);
  EXPECT_EQ(fake->format, PictureFormat::Other) << "a PNG record must hold a PNG to be drawn";
  EXPECT_EQ(fake->bytes, kNotPng);

  const HeaderFooterPicture* dib =
      hf.PictureFor(true, HeaderFooterPage::Odd, HeaderFooterSection::Right);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(dib->format, PictureFormat::Other);
  EXPECT_EQ(dib->bytes, kDib);

  for (HeaderFooterSection s :
       {HeaderFooterSection::Left, HeaderFooterSection::Right, HeaderFooterSection::Center}) {
    EXPECT_EQ(hf.PictureFor(false, HeaderFooterPage::Odd, s), nullptr);
  }
}

TEST(XlsHeaderPictures, OnlyTheRightRunsOfRecordsAreJoined) {
  std::string group = DrawingGroup();
  std::string drawing = Drawing(Shape("CH", 1, 40, 20));
  std::unique_ptr<Book> book;
  // A drawing group in the sheet and a drawing in the globals are not where they belong; a
  // continuing record without a start is passed over, and so is a record too short for flags.
  EXPECT_TRUE(Pictures(book, Stream(HfPictures(drawing, 0x01, 4096), HfPictures(group, 0x02, 4096)))
                  .pictures.empty());
  std::string stray = HfPictures("\xF0\xF0\xF0\xF0", 0x01, 4096);
  stray[4 + 12] = 0x05;
  std::string short_record = Rec(0x0866, U16(0x0866) + U16(0));
  const HeaderFooter& hf =
      Pictures(book, Stream(short_record + HfPictures(group, 0x02, 50),
                            stray + short_record + HfPictures(drawing, 0x01, 30) +
                                HfPictures(Drawing(Shape("LF", 1, 40, 20)), 0x01, 4096)));
  ASSERT_EQ(hf.pictures.size(), 1u) << "the first drawing of the sheet is its drawing";
  EXPECT_EQ(hf.pictures[0].section, HeaderFooterSection::Center);
  EXPECT_EQ(hf.pictures[0].bytes, kPng);
  // BIFF5 has no header pictures.
  std::string biff5 = Workbook({{"Sheet1", 0, 0, HfPictures(drawing, 0x01, 4096)}},
                               HfPictures(group, 0x02, 4096), "", true);
  EXPECT_TRUE(Pictures(book, biff5).pictures.empty());
}

// What any reading of a damaged drawing may give: at most one picture per place, each with a
// size a page can hold and bytes no longer than the file.
void ExpectSane(const HeaderFooter& hf, std::size_t stream_size, const std::string& what) {
  for (const HeaderFooterPicture& p : hf.pictures) {
    EXPECT_GT(p.width_pt, 0) << what;
    EXPECT_LE(p.width_pt, 2000) << what;
    EXPECT_GT(p.height_pt, 0) << what;
    EXPECT_LE(p.height_pt, 2000) << what;
    EXPECT_LE(p.bytes.size(), stream_size) << what;
    EXPECT_EQ(hf.PictureFor(p.footer, p.page, p.section), &p) << what;
    if (p.format == PictureFormat::Png) {
      EXPECT_EQ(p.bytes.substr(0, 4), "\x89PNG") << what;
    } else if (p.format == PictureFormat::Jpeg) {
      EXPECT_EQ(p.bytes.substr(0, 3), "\xFF\xD8\xFF") << what;
    }
  }
}

TEST(XlsHeaderPictures, DamagedDrawingsOnlyLosePictures) {
  const std::string group = DrawingGroup();
  const std::string drawing = Drawing(AllShapes());
  std::unique_ptr<Book> book;
  std::size_t whole = 0;
  // Cut short: the drawing, or the group, ends at every byte.
  for (std::size_t cut = 0; cut <= drawing.size(); ++cut) {
    std::string stream =
        Stream(HfPictures(group, 0x02, 64), HfPictures(drawing.substr(0, cut), 0x01, 64));
    const HeaderFooter* hf = nullptr;
    ASSERT_NO_THROW(hf = &Pictures(book, stream)) << "drawing cut at " << cut;
    ExpectSane(*hf, stream.size(), "drawing cut at " + std::to_string(cut));
    if (cut == drawing.size()) whole = hf->pictures.size();
  }
  EXPECT_EQ(whole, 4u);
  for (std::size_t cut = 0; cut < group.size(); ++cut) {
    std::string stream =
        Stream(HfPictures(group.substr(0, cut), 0x02, 64), HfPictures(drawing, 0x01, 64));
    const HeaderFooter* hf = nullptr;
    ASSERT_NO_THROW(hf = &Pictures(book, stream)) << "group cut at " << cut;
    ExpectSane(*hf, stream.size(), "group cut at " + std::to_string(cut));
    EXPECT_LT(hf->pictures.size(), 4u) << "group cut at " << cut;
  }
  // Lengths and counts overwritten: every 4 bytes of either drawing set to values that run past
  // the end, to nothing, or to a few bytes.
  for (std::uint32_t bogus : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFF9u, 0u, 3u, 9u}) {
    for (int which = 0; which < 2; ++which) {
      const std::string& original = which == 0 ? drawing : group;
      for (std::size_t at = 0; at + 4 <= original.size(); ++at) {
        std::string damaged = original;
        damaged.replace(at, 4, U32(bogus));
        std::string stream =
            which == 0 ? Stream(HfPictures(group, 0x02, 100), HfPictures(damaged, 0x01, 100))
                       : Stream(HfPictures(damaged, 0x02, 100), HfPictures(drawing, 0x01, 100));
        std::string what = (which == 0 ? "drawing" : "group") + std::string(" bytes at ") +
                           std::to_string(at) + " set to " + std::to_string(bogus);
        const HeaderFooter* hf = nullptr;
        ASSERT_NO_THROW(hf = &Pictures(book, stream)) << what;
        ExpectSane(*hf, stream.size(), what);
      }
    }
  }
}

TEST(XlsHeaderPictures, GroupsNestedWithoutEndAreNoProblem) {
  std::string nested = Shape("CH", 1, 40, 20);
  for (int i = 0; i < 4000; ++i) nested = Art(0xF, 0, 0xF003, nested);
  std::unique_ptr<Book> book;
  const HeaderFooter& hf = Pictures(book, Stream(HfPictures(DrawingGroup(), 0x02, 8000),
                                                 HfPictures(Drawing(nested), 0x01, 8000)));
  EXPECT_TRUE(hf.pictures.empty()) << "a shape that deep is damage";
  // A few levels are what real drawings have.
  nested = Shape("CH", 1, 40, 20);
  for (int i = 0; i < 3; ++i) nested = Art(0xF, 0, 0xF003, nested);
  EXPECT_EQ(Pictures(book, Stream(HfPictures(DrawingGroup(), 0x02, 8000),
                                  HfPictures(Drawing(nested), 0x01, 8000)))
                .pictures.size(),
            1u);
}

}  // namespace
}  // namespace ledgerix::engine
