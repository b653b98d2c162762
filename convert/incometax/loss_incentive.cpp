// The loss carry-forward appendix (worksheet 5) and the tax incentive appendix (worksheet 6).
#include "convert/common/cell_rules.h"
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

// Loss carry-forward: the element belongs to the column, the same in every year group.
constexpr std::string_view kLossColumns = "DEFGHIJKLMN";
constexpr std::string_view kLossElements[] = {
    "nd",       "ylekse",   "hbflZrkmbkse", "dnkmbSde",   "qsnksmbe",   "qsannksmbe",
    "qenksmbe", "qynksmbe", "hjksmbe",      "bndmbyqkse", "kjzyhmbkse",
};
static_assert(std::size(kLossElements) == kLossColumns.size());

struct LossYear {
  std::string_view tag;
  int row;
  std::string_view marks;  // one per column D to N: 'x' read and written, '.' not read
};

constexpr LossYear kLossYears[] = {
    {"dyn", 10, "xxxxxxxxxx."},   //
    {"den", 11, "xxxx.xxxxxx"},   //
    {"dsn", 12, "xxxx..xxxxx"},   //
    {"dsin", 13, "xxxx...xxxx"},  //
    {"dwn", 14, "xxxx....xxx"},   //
    {"bn", 15, "xxxx.....xx"},    //
};

// Only the year is cut: "2006年度" files as 2006.
constexpr std::size_t kYearCharacters = 4;

constexpr RowElement kIncentives[] = {
    {6, "mssr"},         {7, "gzlxsr"},       {8, "qyxtzsy"},       {9, "fylzzsr"},
    {10, "qtMssr"},      {11, "jjsr"},        {12, "fhcyzcsr"},     {13, "qtJjsr"},
    {14, "jjkcehj"},     {15, "yjkffy"},      {16, "azcjgz"},       {17, "azqtgz"},
    {18, "qtJjkc"},      {19, "jmsdehj"},     {20, "mssd"},         {21, "scddzz"},
    {22, "nzwxpzxy"},    {23, "zyczz"},       {24, "lmpyzz"},       {25, "scjqsy"},
    {26, "lcpcj"},       {27, "ggdNlmyxm"},   {28, "yybl"},         {29, "qtMssd"},
    {30, "jssd"},        {31, "ylxlzwzz"},    {32, "hsnlyz"},       {33, "qtJssd"},
    {34, "zdfcJcssSd"},  {35, "hbjnjssd"},    {36, "jszrsd"},       {37, "qtJmsde"},
    {38, "jmshj"},       {39, "xxwlqy"},      {40, "gxjsqy"},       {41, "mzzzSydffx"},
    {42, "gdqssyh"},     {43, "qtJmsds"},     {44, "cytzdkYnssde"}, {45, "dmsdsehj"},
    {46, "hjbhTzedmse"}, {47, "jnjsTzedmse"}, {48, "aqscTzedmse"},  {49, "qtDmsds"},
    {50, "qycyrsQnpj"},  {51, "zczeQnpj"},
};
static_assert(std::size(kIncentives) == 46);

constexpr std::string_view kIndustrialEnterprise = "工业企业";

}  // namespace

void WriteLossCarryForward(XmlLineWriter& out, Worksheet& sheet) {
  StartTag(out, "sbbQysds2008NdAFb04");
  for (const LossYear& year : kLossYears) {
    StartTag(out, year.tag);
    for (std::size_t c = 0; c < kLossColumns.size(); ++c) {
      if (year.marks[c] != 'x') continue;
      std::string text = ReadCellText(sheet, CellAddress(kLossColumns[c], year.row));
      if (c == 0) text = FirstCharacters(text, kYearCharacters);
      out.ElementLine(kLossElements[c], text);
    }
    EndTag(out, year.tag);
  }
  WriteCellElement(out, sheet, 'N', 16, "kjzYhndmbKsehj");
  EndTag(out, "sbbQysds2008NdAFb04");
}

std::string_view IndustryCode(std::string_view industryText) {
  return industryText.find(kIndustrialEnterprise) != std::string_view::npos ? "01" : "02";
}

void WriteTaxIncentives(XmlLineWriter& out, Worksheet& sheet) {
  StartTag(out, "sbbQysds2008NdAFb05");
  for (const RowElement& r : kIncentives) WriteCellElement(out, sheet, 'D', r.row, r.element);
  out.ElementLine("sshyGyQt", IndustryCode(ReadCellText(sheet, "D52")));
  EndTag(out, "sbbQysds2008NdAFb05");
}

}  // namespace ledgerix::incometax
