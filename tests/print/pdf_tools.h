// Reading our PDFs back with poppler's tools, run with a fixed locale.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/outside_tools.h"

namespace ledgerix::print::testing {

inline std::string Run(const std::string& command) {
  std::string out;
  FILE* p = ::popen(("LC_ALL=C.UTF-8 " + command + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = ::pclose(p);
  if (status != 0) out.clear();
  return out;
}

// The text of every page, split at form feeds; empty when pdftotext fails.
inline std::vector<std::string> PageTexts(const std::string& pdf) {
  std::string text = Run("pdftotext -layout '" + pdf + "' -");
  std::vector<std::string> pages;
  std::string page;
  for (char c : text) {
    if (c == '\f') {
      pages.push_back(page);
      page.clear();
    } else {
      page += c;
    }
  }
  return pages;
}

// "Page size" lines of pdfinfo for every page: width and height in points.
inline std::vector<std::pair<double, double>> PageSizes(const std::string& pdf) {
  std::string info = Run("pdfinfo -f 1 -l 9999 '" + pdf + "'");
  std::vector<std::pair<double, double>> sizes;
  std::istringstream in(info);
  std::string line;
  while (std::getline(in, line)) {
    auto at = line.find(" size:");
    if (line.rfind("Page", 0) != 0 || at == std::string::npos) continue;
    double w = 0, h = 0;
    if (std::sscanf(line.c_str() + at + 6, " %lf x %lf", &w, &h) == 2) sizes.emplace_back(w, h);
  }
  return sizes;
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

inline Raster FirstPage(const std::filesystem::path& pdf, const std::filesystem::path& dir) {
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

}  // namespace ledgerix::print::testing
