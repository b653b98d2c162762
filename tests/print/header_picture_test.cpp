// Header and footer pictures of an .xlsx and its .xls twin made by
// tests/data/print/make_fixtures.py: the PNG in the centre header and the JPEG in the right
// footer are in the PDF at their stated size and place, the EMF in the left footer is skipped
// without an error. And the header logo of a workbook Excel wrote, from the corpus.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/book.h"
#include "print/paginate.h"
#include "print/render.h"
#include "tests/outside_tools.h"
#include "tests/print/pdf_tools.h"
#include "tests/support/corpus.h"

namespace ledgerix::print {
namespace {

using testing::FirstPage;
using testing::Raster;

const std::string kFixture =
    std::string(LEDGERIX_TEST_DATA) + "/header_picture/header_picture.xlsx";
const std::string kXlsFixture =
    std::string(LEDGERIX_TEST_DATA) + "/header_picture/header_picture.xls";

struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-hfpic-XXXXXX");
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

struct ListedImage {
  int page = 0, width = 0, height = 0;
  std::string encoding;
};

// `pdfimages -list`: page, size and encoding of every image drawn.
std::vector<ListedImage> ListImages(const std::filesystem::path& pdf) {
  std::vector<ListedImage> out;
  FILE* p = ledgerix::testing::OpenToolPipe("pdfimages -list '" + pdf.string() + "'");
  if (!p) return out;
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  ::pclose(p);
  std::istringstream in(text);
  std::string line;
  bool rows = false;
  while (std::getline(in, line)) {
    if (line.rfind("---", 0) == 0) {
      rows = true;
      continue;
    }
    if (!rows) continue;
    std::istringstream fields(line);
    ListedImage image;
    std::string num, type, color, comp, bpc;
    fields >> image.page >> num >> type >> image.width >> image.height >> color >> comp >> bpc >>
        image.encoding;
    if (fields) out.push_back(image);
  }
  return out;
}

bool Red(std::array<int, 3> c) { return c[0] > 200 && c[1] < 60 && c[2] < 60; }
bool Blue(std::array<int, 3> c) { return c[2] > 200 && c[0] < 60 && c[1] < 60; }

// The three pictures both fixtures hold: a 60x30 pt PNG in the centre header, an EMF in the
// left footer and a JPEG in the right footer.
struct FixturePictures {
  const engine::HeaderFooterPicture *png = nullptr, *emf = nullptr, *jpeg = nullptr;
};
void ReadFixturePictures(const engine::HeaderFooter& hf, FixturePictures* out) {
  ASSERT_EQ(hf.pictures.size(), 3u);
  out->png =
      hf.PictureFor(false, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Center);
  ASSERT_NE(out->png, nullptr);
  EXPECT_EQ(out->png->format, engine::PictureFormat::Png);
  EXPECT_DOUBLE_EQ(out->png->width_pt, 60);
  EXPECT_DOUBLE_EQ(out->png->height_pt, 30);
  out->emf = hf.PictureFor(true, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Left);
  ASSERT_NE(out->emf, nullptr);
  EXPECT_EQ(out->emf->format, engine::PictureFormat::Other);
  out->jpeg =
      hf.PictureFor(true, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Right);
  ASSERT_NE(out->jpeg, nullptr);
  EXPECT_EQ(out->jpeg->format, engine::PictureFormat::Jpeg);
}

TEST(HeaderFooterPictures, TheReaderFindsThemWithTheirSectionSizeAndBytes) {
  auto book = engine::OpenBook(kFixture);
  FixturePictures p;
  ASSERT_NO_FATAL_FAILURE(ReadFixturePictures(book->Layout(0).header_footer, &p));
  EXPECT_EQ(p.png->bytes.substr(1, 3), "PNG");
  EXPECT_EQ(p.jpeg->part, "xl/media/image3.jpeg");
}

// Both fixtures print alike: the same pictures at the same places.
void ExpectFixturePrinted(const std::string& fixture) {
  auto book = engine::OpenBook(fixture);
  TempDir dir;
  const std::filesystem::path pdf = dir.path / "header_picture.pdf";
  RenderOptions options;
  options.file_name = std::filesystem::path(fixture).filename().string();
  ASSERT_EQ(RenderPdf({{book.get(), 0}}, pdf.string(), options), 1);

  std::vector<ListedImage> images = ListImages(pdf);
  ASSERT_EQ(images.size(), 2u) << "pdfimages listed nothing, or the EMF was drawn";
  EXPECT_EQ(images[0].page, 1);
  EXPECT_EQ(images[0].width, 40);
  EXPECT_EQ(images[0].height, 20);
  EXPECT_EQ(images[1].width, 16);
  EXPECT_EQ(images[1].height, 8);
  EXPECT_EQ(images[1].encoding, "jpeg") << "the JPEG goes into the PDF as it is";

  Raster page = FirstPage(pdf, dir.path);
  ASSERT_NEAR(page.width, 595, 1) << "pdftoppm gave no page";
  ASSERT_NEAR(page.height, 842, 1);
  // A4, header margin 0.3 in: the 60x30 pt picture spans x 267.6-327.6, y 21.6-51.6.
  EXPECT_TRUE(Red(page.At(297, 36)));
  EXPECT_TRUE(Red(page.At(270, 24)));
  EXPECT_TRUE(Red(page.At(325, 49)));
  EXPECT_FALSE(Red(page.At(264, 36)));
  EXPECT_FALSE(Red(page.At(331, 36)));
  EXPECT_FALSE(Red(page.At(297, 18)));
  EXPECT_FALSE(Red(page.At(297, 55)));
  // Footer margin 0.5 in, right margin 0.75 in: 24x12 pt ending at x 541.3, y 805.9.
  EXPECT_TRUE(Blue(page.At(529, 800)));
  EXPECT_FALSE(Blue(page.At(514, 800)));
  EXPECT_FALSE(Blue(page.At(529, 790)));
}

TEST(HeaderFooterPictures, PngAndJpegAreDrawnAtTheirPlaceAndSizeAndEmfIsSkipped) {
  ExpectFixturePrinted(kFixture);
}

TEST(HeaderFooterPictures, XlsReaderFindsThemWithTheirSectionSizeAndBytes) {
  auto book = engine::OpenBook(kXlsFixture);
  FixturePictures p;
  ASSERT_NO_FATAL_FAILURE(ReadFixturePictures(book->Layout(0).header_footer, &p));
  const engine::HeaderFooterPicture *png = p.png, *emf = p.emf, *jpeg = p.jpeg;
  EXPECT_EQ(png->bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png->bytes.substr(png->bytes.size() - 8, 4), "IEND") << "the file ends with it";
  EXPECT_EQ(png->part, "HFPicture blip 2");
  EXPECT_EQ(emf->bytes.size(), 88u) << "the EMF without the picture record's own header";
  EXPECT_EQ(emf->part, "HFPicture blip 1");
  EXPECT_DOUBLE_EQ(jpeg->width_pt, 24);
  EXPECT_DOUBLE_EQ(jpeg->height_pt, 12);
  EXPECT_EQ(jpeg->bytes.substr(jpeg->bytes.size() - 2), "\xFF\xD9");
  EXPECT_EQ(jpeg->part, "HFPicture blip 3");
  // The same images as the .xlsx holds.
  auto xlsx = engine::OpenBook(kFixture);
  const engine::HeaderFooter& twin = xlsx->Layout(0).header_footer;
  ASSERT_EQ(twin.pictures.size(), 3u);
  EXPECT_EQ(png->bytes, twin.PictureFor(false, engine::HeaderFooterPage::Odd,
                                        engine::HeaderFooterSection::Center)
                            ->bytes);
  EXPECT_EQ(emf->bytes,
            twin.PictureFor(true, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Left)
                ->bytes);
}

TEST(HeaderFooterPictures, XlsPngAndJpegAreDrawnAtTheirPlaceAndSizeAndEmfIsSkipped) {
  ExpectFixturePrinted(kXlsFixture);
}

// Excel's own HFPicture records: a 208x181 PNG logo in the right header of one sheet, shown at
// 83x72 pixels; the image store in the globals, the drawing in the sheet after its charts.
TEST(HeaderFooterPicturesCorpus, AnExcelHeaderLogoIsReadAndDrawn) {
  const std::filesystem::path corpus = ledgerix::testing::CorpusDir() / "xls";
  if (!std::filesystem::is_directory(corpus))
    GTEST_SKIP() << "no corpus beside the checkout at " << corpus;
  auto book = engine::OpenBook((corpus / "poi__test-data_spreadsheet_external_name.xls").string());
  int with_pictures = -1;
  for (int s = 0; s < static_cast<int>(book->sheets().size()); ++s) {
    if (book->Layout(s).header_footer.pictures.empty()) continue;
    EXPECT_EQ(with_pictures, -1) << "one sheet has HFPicture records";
    with_pictures = s;
  }
  ASSERT_GE(with_pictures, 0);
  const engine::HeaderFooter& hf = book->Layout(with_pictures).header_footer;
  EXPECT_NE(hf.odd_header.find("&R&G"), std::string::npos);
  ASSERT_EQ(hf.pictures.size(), 1u);
  const engine::HeaderFooterPicture& logo = hf.pictures[0];
  EXPECT_FALSE(logo.footer);
  EXPECT_EQ(logo.page, engine::HeaderFooterPage::Odd);
  EXPECT_EQ(logo.section, engine::HeaderFooterSection::Right);
  EXPECT_EQ(logo.format, engine::PictureFormat::Png);
  EXPECT_DOUBLE_EQ(logo.width_pt, 62.25);
  EXPECT_DOUBLE_EQ(logo.height_pt, 54);
  EXPECT_EQ(logo.part, "HFPicture blip 1");
  ASSERT_GT(logo.bytes.size(), 24u);
  EXPECT_EQ(logo.bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(logo.bytes.substr(16, 8), std::string("\0\0\0\xD0\0\0\0\xB5", 8)) << "208 x 181";
  EXPECT_EQ(logo.bytes.substr(logo.bytes.size() - 8, 4), "IEND");

  TempDir dir;
  const std::filesystem::path pdf = dir.path / "external_name.pdf";
  RenderOptions options;
  options.file_name = "external_name.xls";
  ASSERT_GE(RenderPdf({{book.get(), with_pictures}}, pdf.string(), options), 1);
  std::vector<ListedImage> images = ListImages(pdf);
  std::size_t logos = 0;
  for (const ListedImage& image : images) logos += image.width == 208 && image.height == 181;
  EXPECT_GE(logos, 1u) << "the logo is drawn on the pages of its sheet";
  EXPECT_EQ(images.empty() ? 0 : images[0].page, 1);

  // Workbooks whose globals carry a drawing group but whose sheets have no drawing print as
  // they did: without pictures.
  for (const char* name : {"calamine__tests_picture.xls",
                           "npoi__testcases_test-data_spreadsheet_test_FailAddingComment.xls",
                           "poi__test-data_spreadsheet_45538_classic_Header.xls"}) {
    auto other = engine::OpenBook((corpus / name).string());
    for (int s = 0; s < static_cast<int>(other->sheets().size()); ++s) {
      EXPECT_TRUE(other->Layout(s).header_footer.pictures.empty()) << name << " sheet " << s;
    }
  }
}

}  // namespace
}  // namespace ledgerix::print
