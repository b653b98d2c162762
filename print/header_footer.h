// Header and footer texts with their &-codes turned into three sections of styled runs, fields
// filled in. No drawing library here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sheet_layout.h"

namespace ledgerix::print {

// What the fields stand for on one page.
struct HeaderFooterContext {
  int page = 1;        // &P
  int pages = 1;       // &N
  std::string date;    // &D
  std::string time;    // &T
  std::string file;    // &F
  std::string sheet;   // &A
  std::string folder;  // &Z
};

struct HeaderFooterRun {
  std::string text;
  engine::FontStyle font;
  bool picture = false;  // where &G puts the section's picture; no text
};

struct HeaderFooterSections {
  std::vector<HeaderFooterRun> left, center, right;
  bool empty() const { return left.empty() && center.empty() && right.empty(); }
};

// Text outside &L, &C or &R goes to the centre. Unknown codes are dropped; a lone trailing "&"
// too. The first &G of a section is a picture run, later ones are dropped (a section has one
// picture). `base` is the font runs start with.
HeaderFooterSections ParseHeaderFooter(std::string_view text, const HeaderFooterContext& context,
                                       const engine::FontStyle& base);

// The text of a section's runs joined.
std::string SectionText(const std::vector<HeaderFooterRun>& runs);

}  // namespace ledgerix::print
