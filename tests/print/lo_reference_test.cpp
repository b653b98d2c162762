// Pagination against LibreOffice: for every sheet of the reference files (written by
// scripts/lo_print_reference.py from the bundled examples, the printing fixtures and corpus
// workbooks with a print setup), our breaks from LibreOffice's own column widths, row heights
// and page style equal the breaks LibreOffice reports.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "print/paginate.h"

namespace ledgerix::print {
namespace {

constexpr double kPtPerHmm = 72.0 / 2540.0;  // LibreOffice lengths are in 1/100 mm

// LibreOffice keeps widths and heights in whole twips and reports them rounded to 1/100 mm; going
// back to its twips keeps the sums of many rows exact.
double Twips(long hmm) { return std::lround(hmm * 1440.0 / 2540.0) / 20.0; }

using Record = std::map<std::string, std::string>;

std::vector<Record> ReadReference(const std::string& name) {
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/print/" + name);
  std::vector<Record> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    Record r;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) {
      auto eq = field.find('=');
      if (eq != std::string::npos) r[field.substr(0, eq)] = field.substr(eq + 1);
    }
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<long> Numbers(const std::string& text, char sep = ',') {
  std::vector<long> out;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, sep)) {
    if (!item.empty()) out.push_back(std::stol(item));
  }
  return out;
}

struct Outcome {
  std::vector<std::uint32_t> rows, cols;  // ours
  std::vector<std::uint32_t> lo_rows, lo_cols;
  std::size_t pages = 0;   // ours
  long lo_pdf_pages = -1;  // pages of LibreOffice's PDF of the sheet, when recorded
  // LibreOffice's API and its own PDF can disagree (fit to pages with title rows); its PDF is
  // what it prints, so then the page count is compared.
  bool ApiContradictsPdf() const {
    return lo_pdf_pages >= 0 &&
           static_cast<long>((lo_rows.size() + 1) * (lo_cols.size() + 1)) != lo_pdf_pages;
  }
  bool Same() const {
    if (ApiContradictsPdf()) return static_cast<long>(pages) == lo_pdf_pages;
    return rows == lo_rows && cols == lo_cols;
  }
};

std::string Text(const std::vector<std::uint32_t>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size() && i < 12; ++i) s += (i ? "," : "") + std::to_string(v[i]);
  if (v.size() > 12) s += ",… (" + std::to_string(v.size()) + ")";
  return "[" + s + "]";
}

Outcome Compare(const Record& r) {
  SheetGeometry g;
  for (long w : Numbers(r.at("widths"))) g.col_width_pt.push_back(Twips(w));
  for (long h : Numbers(r.at("heights"))) g.row_height_pt.push_back(Twips(h));
  std::uint32_t max_row = static_cast<std::uint32_t>(g.row_height_pt.size()) - 1;
  std::uint32_t max_col = static_cast<std::uint32_t>(g.col_width_pt.size()) - 1;
  std::istringstream areas(r.at("areas"));
  std::string a;
  while (std::getline(areas, a, ';')) {
    std::vector<long> n = Numbers(a);
    if (n.size() == 4) {
      g.ranges.push_back({static_cast<std::uint32_t>(n[0]), static_cast<std::uint32_t>(n[1]),
                          static_cast<std::uint32_t>(n[2]), static_cast<std::uint32_t>(n[3])});
    }
  }
  bool print_area = !g.ranges.empty();
  if (!print_area) {
    g.ranges.push_back({0, 0, static_cast<std::uint32_t>(std::stol(r.at("last_row"))),
                        static_cast<std::uint32_t>(std::stol(r.at("last_col")))});
  }
  if (auto t = Numbers(r.at("title_rows")); t.size() == 2) {
    g.title_rows = {{static_cast<std::uint32_t>(t[0]), static_cast<std::uint32_t>(t[1])}};
  }
  if (auto t = Numbers(r.at("title_cols")); t.size() == 2) {
    g.title_cols = {{static_cast<std::uint32_t>(t[0]), static_cast<std::uint32_t>(t[1])}};
  }
  for (long b : Numbers(r.at("manual_rows")))
    g.manual_row_breaks.push_back(static_cast<std::uint32_t>(b));
  for (long b : Numbers(r.at("manual_cols")))
    g.manual_col_breaks.push_back(static_cast<std::uint32_t>(b));

  PageFrame f;
  std::vector<long> paper = Numbers(r.at("paper")), m = Numbers(r.at("margins"));
  std::vector<long> fit = Numbers(r.at("fit"));
  f.paper_width_pt = paper.at(0) * kPtPerHmm;
  f.paper_height_pt = paper.at(1) * kPtPerHmm;
  f.left = m.at(0) * kPtPerHmm;
  f.right = m.at(1) * kPtPerHmm;
  // The header and footer areas lie inside LibreOffice's margins, before the cells. A header of
  // dynamic height grows to its text (about 4.5 mm for one line) plus the spacing to the cells.
  std::vector<long> dynamic = Numbers(r.at("dynamic"));
  auto band = [&](const char* height, const char* distance, bool grows) {
    long h = std::stol(r.at(height));
    if (h == 0) return 0L;
    return grows ? std::max(h, 450 + std::stol(r.at(distance))) : h;
  };
  f.top = (m.at(2) + band("header", "header_dist", dynamic.at(0) != 0)) * kPtPerHmm;
  f.bottom = (m.at(3) + band("footer", "footer_dist", dynamic.at(1) != 0)) * kPtPerHmm;
  f.scale_percent = static_cast<int>(std::stol(r.at("scale")));
  f.fit = fit.at(0) > 0 || fit.at(1) > 0;
  f.fit_width = static_cast<int>(fit.at(0));
  f.fit_height = static_cast<int>(fit.at(1));
  f.over_then_down = r.at("down_first") == "0";

  Pagination p = Paginate(g, f);
  Outcome o;
  std::set<std::uint32_t> rows(p.row_breaks.begin(), p.row_breaks.end());
  std::set<std::uint32_t> cols(p.col_breaks.begin(), p.col_breaks.end());
  if (print_area) {
    // The start and the end of a print area are reported as breaks too.
    for (const engine::CellRange& range : g.ranges) {
      if (range.first_row > 0) rows.insert(range.first_row);
      if (range.first_col > 0) cols.insert(range.first_col);
      if (range.last_row + 1 <= max_row) rows.insert(range.last_row + 1);
      if (range.last_col + 1 <= max_col) cols.insert(range.last_col + 1);
    }
  }
  o.rows.assign(rows.begin(), rows.end());
  o.cols.assign(cols.begin(), cols.end());
  o.pages = p.pages.size();
  if (auto it = r.find("pdf_pages"); it != r.end()) o.lo_pdf_pages = std::stol(it->second);
  for (long b : Numbers(r.at("row_breaks"))) o.lo_rows.push_back(static_cast<std::uint32_t>(b));
  for (long b : Numbers(r.at("col_breaks"))) o.lo_cols.push_back(static_cast<std::uint32_t>(b));
  return o;
}

// Sheets where LibreOffice is known to break elsewhere, with the reason; file and sheet
// tab-separated.
std::map<std::string, std::string> Exceptions() {
  std::map<std::string, std::string> out;
  std::ifstream in(std::string(LEDGERIX_TEST_DATA) + "/print/lo_break_exceptions.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string file, sheet, reason;
    std::getline(fields, file, '\t');
    std::getline(fields, sheet, '\t');
    std::getline(fields, reason);
    out[file + "\t" + sheet] = reason;
  }
  return out;
}

// Runs reference files: every sheet not in the exceptions must match, every exception must
// still differ (a fixed one leaves the list), and at least `share` of all their sheets match.
enum class Sheets { Active, All, Other };

void Check(const std::vector<std::string>& names, double share, Sheets which = Sheets::All) {
  std::map<std::string, std::string> exceptions = Exceptions();
  std::size_t same = 0, total = 0;
  for (const std::string& name : names) {
    std::vector<Record> records = ReadReference(name);
    ASSERT_FALSE(records.empty()) << name << " is missing or empty";
    for (const Record& r : records) {
      bool active = r.count("active") && r.at("active") == "1";
      if ((which == Sheets::Active && !active) || (which == Sheets::Other && active)) continue;
      Outcome o = Compare(r);
      std::string key = r.at("file") + "\t" + r.at("sheet");
      bool listed = exceptions.count(key) > 0;
      ++total;
      if (o.Same()) {
        ++same;
        EXPECT_FALSE(listed) << key << " now matches LibreOffice: take it off the exceptions";
      } else {
        EXPECT_TRUE(listed) << key << ": rows ours " << Text(o.rows) << " LibreOffice "
                            << Text(o.lo_rows) << ", columns ours " << Text(o.cols)
                            << " LibreOffice " << Text(o.lo_cols) << ", pages ours " << o.pages
                            << " LibreOffice's PDF " << o.lo_pdf_pages;
      }
    }
  }
  EXPECT_GE(static_cast<double>(same), share * total) << same << " of " << total << " sheets match";
}

// The sheet each bundled example opens on, the one printed by default: all must match.
TEST(LibreOfficeBreaks, ActiveSheetOfEveryBundledExample) {
  Check({"lo_examples.txt"}, 1.0, Sheets::Active);
}
TEST(LibreOfficeBreaks, OtherExampleSheetsFixturesAndCorpusSheetsWithAPrintSetup) {
  Check({"lo_examples.txt"}, 0.0, Sheets::Other);
  Check({"lo_fixtures.txt", "lo_corpus.txt"}, 0.9);
}

}  // namespace
}  // namespace ledgerix::print
