// Reading our PDFs back with poppler's tools, run with a fixed locale.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

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

}  // namespace ledgerix::print::testing
