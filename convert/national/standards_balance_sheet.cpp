// Kind 3: the standards-edition balance sheet as the taxML request slCwbbcj2007ZcfzbRequest.
#include <string>

#include "bridges/companion.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"
#include "convert/national/standards_common.h"

namespace ledgerix {
namespace {

struct ElementRow {
  const char* element;
  int row;
};

// Assets: closing balance in D, start of year in E.
constexpr ElementRow kAssets[] = {
    {"ldzc", 7},        {"hbzj", 8},     {"jyxjrzc", 9}, {"yspj", 10},    {"yszk", 11},
    {"yufkx", 12},      {"yslx", 13},    {"ysgl", 14},   {"qtYsk", 15},   {"ch", 16},
    {"ynndqFldzc", 17}, {"qtLdzc", 18},  {"ldzcHj", 19}, {"fldzc", 20},   {"kgcsJrzc", 21},
    {"cyzdqtz", 22},    {"cqysk", 23},   {"cqgqtz", 24}, {"tzxfdc", 25},  {"gdzc", 26},
    {"zjgc", 27},       {"gcwz", 28},    {"gdzcql", 29}, {"scxswzc", 30}, {"yqzc", 31},
    {"wxzc", 32},       {"kfzc", 33},    {"sy", 34},     {"cqdtfy", 35},  {"dysdszc", 36},
    {"qtFldzc", 37},    {"fldzcHj", 38}, {"zcZj", 39},
};

// Liabilities and owners' equity: closing balance in H, start of year in I. The right-hand
// side has one line fewer; its grand total stands level with the asset total, so row 38 is
// not part of the statement.
constexpr ElementRow kLiabilitiesAndEquity[] = {
    {"ldfz", 7},     {"dqjk", 8},        {"jyxJrfz", 9},  {"yfpj", 10},   {"yfzk", 11},
    {"yuskx", 12},   {"yfzgxc", 13},     {"yjsf", 14},    {"yflx", 15},   {"yfgl", 16},
    {"qtYfk", 17},   {"ynndqFldfz", 18}, {"qtLdfz", 19},  {"ldfzHj", 20}, {"fldfz", 21},
    {"cqjk", 22},    {"yfzq", 23},       {"cqyfk", 24},   {"zxyfk", 25},  {"yjfz", 26},
    {"dysdsfz", 27}, {"qtFldfz", 28},    {"fldfzHj", 29}, {"fzHj", 30},   {"syzqy", 31},
    {"sszb", 32},    {"zbgj", 33},       {"jKcg", 34},    {"yygj", 35},   {"wfplr", 36},
    {"syzqyHj", 37}, {"fzhSyzZj", 39},
};

template <std::size_t N>
void WriteColumn(XmlLineWriter& out, Worksheet& sheet, const ElementRow (&rows)[N],
                 const char* column) {
  for (const ElementRow& r : rows) {
    out.ElementLine(r.element, ReadCellText(sheet, column + fnIntToCString(r.row)));
  }
}

// One side of the sheet: its container holding the closing balances (qmye) and the balances at
// the start of the year (ncye), each from its own column.
template <std::size_t N>
void WriteSide(XmlLineWriter& out, Worksheet& sheet, const char* tag, const ElementRow (&rows)[N],
               const char* closingColumn, const char* openingColumn) {
  out.WriteLine(std::string("<") + tag + ">");
  out.WriteLine("<qmye>");
  WriteColumn(out, sheet, rows, closingColumn);
  out.WriteLine("</qmye>");
  out.WriteLine("<ncye>");
  WriteColumn(out, sheet, rows, openingColumn);
  out.WriteLine("</ncye>");
  out.WriteLine(std::string("</") + tag + ">");
}

}  // namespace

int ConvertStandardsBalanceSheet(const std::string& saveFolder, Worksheet& sheet) {
  const std::string taxpayerId = ReadHeaderValue(sheet, "B4");
  const std::string taxpayerName = ReadHeaderValue(sheet, "B5");
  const PeriodDates period = ReadPeriodDates(sheet, "B3");
  const std::string preparationDate = national::PreparationDate(period.end);

  const std::string fileName = StatementFileName("ZZFZB_", period.start, period.end, taxpayerId);
  CheckFileNameLength(sheet, fileName, {{"B4", taxpayerId}});
  XmlLineWriter out = XmlLineWriter::Create(OutputPath(saveFolder, fileName));

  national::WriteTaxmlStart(out, "slCwbbcj2007ZcfzbRequest", "2007年企业财务报表资产负债表",
                            "cwbb2007Zcfzb", taxpayerId, taxpayerName);
  out.ElementLine("bzrq", preparationDate);
  out.WriteLine("</head>");
  out.WriteLine("<body>");

  WriteSide(out, sheet, "zc", kAssets, "D", "E");
  WriteSide(out, sheet, "fzhsyzqy", kLiabilitiesAndEquity, "H", "I");

  national::WriteTaxmlEnd(out, "cwbb2007Zcfzb", period, preparationDate);
  out.Close();
  return 1;
}

}  // namespace ledgerix
