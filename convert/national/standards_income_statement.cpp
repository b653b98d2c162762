// Kind 4: the standards-edition income statement as the taxML request slCwbbcj2007LrbRequest.
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

// Current period in D, prior period in E.
constexpr ElementRow kStatementLines[] = {
    {"yysr", 7},    {"jYycb", 8},   {"yysjjfj", 9},    {"xsfy", 10},        {"glfy", 11},
    {"cwfy", 12},   {"zcjzss", 13}, {"jGyjzbdsy", 14}, {"tzsy", 15},        {"qzLyhyqytzsy", 16},
    {"yylr", 17},   {"jYywsr", 18}, {"jYywzc", 19},    {"qzFldzcczss", 20}, {"lrze", 21},
    {"jSdsfy", 22}, {"jlr", 23},    {"mgsy", 24},      {"jbmgsy", 25},      {"xsmgsy", 26},
};

void WriteColumn(XmlLineWriter& out, Worksheet& sheet, const char* column) {
  for (const ElementRow& r : kStatementLines) {
    out.ElementLine(r.element, ReadCellText(sheet, column + fnIntToCString(r.row)));
  }
}

}  // namespace

int ConvertStandardsIncomeStatement(const std::string& saveFolder, Worksheet& sheet) {
  const std::string taxpayerId = ReadHeaderValue(sheet, "B4");
  const std::string taxpayerName = ReadHeaderValue(sheet, "B5");
  const PeriodDates period = ReadPeriodDates(sheet, "B3");
  const std::string year = national::CharacterSlice(period.end, 0, 4);
  const std::string preparationDate = national::PreparationDate(period.end);

  // The same prefix as the system edition's: both editions name a taxpayer's period alike.
  const std::string fileName = StatementFileName("LRB_", period.start, period.end, taxpayerId);
  CheckFileNameLength(sheet, fileName, {{"B4", taxpayerId}});
  XmlLineWriter out = XmlLineWriter::Create(OutputPath(saveFolder, fileName));

  national::WriteTaxmlStart(out, "slCwbbcj2007LrbRequest", "2007年企业财务报表利润表",
                            "cwbb2007Lrb", taxpayerId, taxpayerName);
  out.ElementLine("nd", year);
  out.WriteLine("</head>");
  out.WriteLine("<body>");
  out.WriteLine("<bqje>");
  WriteColumn(out, sheet, "D");
  out.WriteLine("</bqje>");
  out.WriteLine("<sqje>");
  WriteColumn(out, sheet, "E");
  out.WriteLine("</sqje>");
  national::WriteTaxmlEnd(out, "cwbb2007Lrb", period, preparationDate);
  out.Close();
  return 1;
}

}  // namespace ledgerix
