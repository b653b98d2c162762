// The three appendices written from constant text: financial assets (sbbQysds2008NdAFb07),
// impairment provisions (sbbQysds2008NdAFb10) and investment income (sbbQysds2008NdAFb11).
// "0" and "0.00" are distinct texts and stay as the tables give them.
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

// A fixed grid: one container per column, each holding the rows that have a value there
// (nullptr: the row is absent from that container).
template <std::size_t Columns>
struct FixedGridRow {
  std::string_view element;
  const char* values[Columns];
};

template <std::size_t Columns>
void WriteFixedGrid(XmlLineWriter& out, const std::string_view (&columns)[Columns],
                    std::span<const FixedGridRow<Columns>> rows) {
  for (std::size_t c = 0; c < Columns; ++c) {
    StartTag(out, columns[c]);
    for (const FixedGridRow<Columns>& r : rows) {
      if (r.values[c] != nullptr) out.ElementLine(r.element, r.values[c]);
    }
    EndTag(out, columns[c]);
  }
}

constexpr std::string_view kFinancialColumns[] = {"qcjeZzje", "qcjeJsjc", "qmjeZzje", "qmjeJsjc",
                                                  "nstze"};
constexpr FixedGridRow<5> kFinancialRows[] = {
    {"jrzc", {"0.00", "0.00", "0.00", "0.00", "0.00"}},
    {"jrzcJyxjrzc", {"0", "0", "0", "0", "0.00"}},
    {"jrzcYsjrgj", {"0", "0", "0", "0", "0.00"}},
    {"jrzcQtjrzc", {"0", "0", "0", "0", "0.00"}},
    {"jrfz", {"0.00", "0.00", "0.00", "0.00", "0.00"}},
    {"jrfzJyxjrfz", {"0", "0", "0", "0", "0.00"}},
    {"jrfzYsjrgj", {"0", "0", "0", "0", "0.00"}},
    {"jrfzQtjrfz", {"0", "0", "0", "0", "0.00"}},
    {"tzxfdc", {"0", "0", "0", "0", "0.00"}},
    {"hj", {"0.00", "0.00", "0.00", "0.00", "0.00"}},
};

constexpr std::string_view kImpairmentColumns[] = {"qcye", "bqzhe", "bqjte", "qmye", "nstze"};
constexpr FixedGridRow<5> kImpairmentRows[] = {
    {"hdzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"chDjzb", {"0", "0", "0", "0.00", "0.00"}},
    {"qzXhxswzcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"cyzdqtzJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"kgcsjrZcjz", {"0", nullptr, "0", "0.00", "0.00"}},
    {"dqtzDjzb", {"0", "0", "0", "0.00", "0.00"}},
    {"cqgqtzJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"tzxfdcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"gdzcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"zjgcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"scxswzcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"wxzcJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"syJzzb", {"0", "0", "0", "0.00", "0.00"}},
    {"dkSszb", {"0", "0", "0", "0.00", "0.00"}},
    {"kqqyjz", {"0", "0", "0", "0.00", "0.00"}},
    {"qt", {"0", "0", "0", "0.00", "0.00"}},
    {"hj", {"0.00", "0.00", "0.00", "0.00", "0.00"}},
};

constexpr std::string_view kInvestmentTotals[] = {
    "qcTze",    "bndzjTze",     "csTzcb",         "qyfhsCstzcbtzCssy", "kjhsTzsy",
    "kjtzsy",   "ssqrgxhlMssr", "ssqrgxhlQezssr", "gxhlKjysscy",       "tzzrJsr",
    "tzzrKjcb", "tzzrSscb",     "kjqrZrsdhss",    "assjsTzzrsdhss",    "tzzrsdssKjysscy",
};

// The loss years of the investment appendix are constants, not the period's years.
struct FixedYear {
  std::string_view tag;
  std::string_view year;
};
constexpr FixedYear kInvestmentYears[] = {
    {"dynNdxx", "2006"},  {"denNdxx", "2007"}, {"dsnNdxx", "2008"},
    {"dsinNdxx", "2009"}, {"dwnNdxx", "2010"},
};

}  // namespace

void WriteFinancialAssets(XmlLineWriter& out) {
  StartTag(out, "sbbQysds2008NdAFb07");
  WriteFixedGrid<5>(out, kFinancialColumns, kFinancialRows);
  EndTag(out, "sbbQysds2008NdAFb07");
}

void WriteImpairmentProvisions(XmlLineWriter& out) {
  StartTag(out, "sbbQysds2008NdAFb10");
  WriteFixedGrid<5>(out, kImpairmentColumns, kImpairmentRows);
  EndTag(out, "sbbQysds2008NdAFb10");
}

void WriteInvestmentIncome(XmlLineWriter& out) {
  StartTag(out, "sbbQysds2008NdAFb11");
  StartTag(out, "hjxx");
  for (std::string_view element : kInvestmentTotals) out.ElementLine(element, "0.00");
  EndTag(out, "hjxx");
  StartTag(out, "tzssbczl");
  for (const FixedYear& y : kInvestmentYears) {
    StartTag(out, y.tag);
    out.ElementLine("nd", y.year);
    out.ElementLine("dndJzje", "0");
    out.ElementLine("ymbje", "0");
    out.ElementLine("bndMbje", "0");
    out.ElementLine("jzyhndDmbje", "0.00");
    EndTag(out, y.tag);
  }
  out.ElementLine("yqndjzBndsqkcGqtzzrss", "0.00");
  out.ElementLine("beizhu", "");
  EndTag(out, "tzssbczl");
  EndTag(out, "sbbQysds2008NdAFb11");
}

}  // namespace ledgerix::incometax
