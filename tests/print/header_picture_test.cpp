// Header and footer pictures of an .xlsx made by tests/data/print/make_fixtures.py: the PNG in
// the centre header and the JPEG in the right footer are in the PDF at their stated size and
// place, the EMF in the left footer is skipped without an error.
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

namespace ledgerix::print {
namespace {

const std::string kFixture =
    std::string(LEDGERIX_TEST_DATA) + "/header_picture/header_picture.xlsx";

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

// The first page drawn at 72 dpi, so that a pixel is a point.
struct Raster {
  int width = 0, height = 0;
  std::string rgb;
  std::array<int, 3> At(int x, int y) const {
    std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
            static_cast<unsigned char>(rgb[i + 2])};
  }
};

Raster FirstPage(const std::filesystem::path& pdf, const std::filesystem::path& dir) {
  Raster r;
  const std::filesystem::path stem = dir / "page";
  if (ledgerix::testing::RunTool("pdftoppm -r 72 -f 1 -l 1 -singlefile '" + pdf.string() + "' '" +
                                 stem.string() + "'") != 0) {
    return r;
  }
  std::ifstream in(stem.string() + ".ppm", std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic >> r.width >> r.height >> max;
  in.get();
  if (magic != "P6" || max != 255) return {};
  r.rgb.resize(static_cast<std::size_t>(r.width) * r.height * 3);
  in.read(r.rgb.data(), static_cast<std::streamsize>(r.rgb.size()));
  if (!in) return {};
  return r;
}

bool Red(std::array<int, 3> c) { return c[0] > 200 && c[1] < 60 && c[2] < 60; }
bool Blue(std::array<int, 3> c) { return c[2] > 200 && c[0] < 60 && c[1] < 60; }

TEST(HeaderFooterPictures, TheReaderFindsThemWithTheirSectionSizeAndBytes) {
  auto book = engine::OpenBook(kFixture);
  const engine::HeaderFooter& hf = book->Layout(0).header_footer;
  ASSERT_EQ(hf.pictures.size(), 3u);
  const auto* png =
      hf.PictureFor(false, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Center);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->format, engine::PictureFormat::Png);
  EXPECT_DOUBLE_EQ(png->width_pt, 60);
  EXPECT_DOUBLE_EQ(png->height_pt, 30);
  EXPECT_EQ(png->bytes.substr(1, 3), "PNG");
  const auto* emf =
      hf.PictureFor(true, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Left);
  ASSERT_NE(emf, nullptr);
  EXPECT_EQ(emf->format, engine::PictureFormat::Other);
  const auto* jpeg =
      hf.PictureFor(true, engine::HeaderFooterPage::Odd, engine::HeaderFooterSection::Right);
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->format, engine::PictureFormat::Jpeg);
  EXPECT_EQ(jpeg->part, "xl/media/image3.jpeg");
}

TEST(HeaderFooterPictures, PngAndJpegAreDrawnAtTheirPlaceAndSizeAndEmfIsSkipped) {
  auto book = engine::OpenBook(kFixture);
  TempDir dir;
  const std::filesystem::path pdf = dir.path / "header_picture.pdf";
  RenderOptions options;
  options.file_name = "header_picture.xlsx";
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

}  // namespace
}  // namespace ledgerix::print
