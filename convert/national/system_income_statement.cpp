// Kind 2: the system-edition income statement as the SCHEMA document "LRB".
#include <string>

#include "bridges/companion.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"

namespace ledgerix {
namespace {

// One repeated ITEM block: the rows scanned, the key column and the two amount columns with
// their element names.
struct ItemBlock {
  int firstRow;
  int lastRow;
  const char* keyColumn;
  const char* keyElement;
  const char* firstColumn;
  const char* firstElement;
  const char* secondColumn;
  const char* secondElement;
};

constexpr ItemBlock kIncomeItems = {7, 22, "C", "FBLC", "D", "BYS", "E", "BNLJS"};
// The profit-distribution supplement; its amounts stand in D and E, so C is never read.
constexpr ItemBlock kSupplementItems = {25, 30, "B", "XM", "D", "BNLJS", "E", "SNSJS"};

// A row is written when its key cell holds more than spaces; each value is read again just
// before its own line.
void WriteItemRows(XmlLineWriter& out, Worksheet& sheet, const ItemBlock& block) {
  for (int row = block.firstRow; row <= block.lastRow; ++row) {
    const std::string number = fnIntToCString(row);
    if (ReadSpaceFreeText(sheet, block.keyColumn + number).empty()) continue;
    out.WriteLine("<ITEM>");
    out.ElementLine(block.keyElement, ReadCellText(sheet, block.keyColumn + number));
    out.AmountLine(block.firstElement, ReadCellText(sheet, block.firstColumn + number));
    out.AmountLine(block.secondElement, ReadCellText(sheet, block.secondColumn + number));
    out.WriteLine("</ITEM>");
  }
}

}  // namespace

int ConvertSystemIncomeStatement(const std::string& saveFolder, Worksheet& sheet) {
  const std::string taxpayerId = ReadHeaderValue(sheet, "B4");
  const PeriodDates period = ReadPeriodDates(sheet, "B3");

  const std::string fileName = StatementFileName("LRB_", period.start, period.end, taxpayerId);
  CheckFileNameLength(sheet, fileName, {{"B4", taxpayerId}});
  XmlLineWriter out = XmlLineWriter::Create(OutputPath(saveFolder, fileName));

  out.WriteLine("<?xml version=\"1.0\" encoding=\"GBK\"?>");
  out.WriteLine("<!--DOCTYPE SCHEMA SYSTEM 'LRB.DTD'-->");
  out.WriteLine("<SCHEMA NAME=\"LRB\" CNNAME=\"利润表\" Version=\"1.0\" CRC=\"" +
                XmlEscape(fileName, true) + "\">");
  out.WriteLine("<HEAD>");
  out.ElementLine("NSRSBH", taxpayerId);
  out.WriteLine("<!--纳税人识别号-->");
  out.ElementLine("SSSQ_Q", period.start);
  out.WriteLine("<!--所属期起-->");
  out.ElementLine("SSSQ_Z", period.end);
  out.WriteLine("<!--所属期止-->");
  out.ElementLine("TBRQ", TodayStamp());
  out.WriteLine("<!--填表日期-->");
  out.WriteLine("<BZDW></BZDW>");
  out.WriteLine("<!--编制单位-->");
  out.WriteLine("</HEAD>");
  out.WriteLine("<HEAD_AFFIX></HEAD_AFFIX>");
  out.WriteLine("<BODY>");
  out.WriteLine("<SB_LRB COUNT=\"16\">");
  WriteItemRows(out, sheet, kIncomeItems);
  out.WriteLine("</SB_LRB>");
  out.WriteLine("<SB_LRB_BCZL COUNT=\"6\">");
  WriteItemRows(out, sheet, kSupplementItems);
  out.WriteLine("</SB_LRB_BCZL>");
  out.WriteLine("</BODY>");
  out.WriteLine("<BODY_AFFIX></BODY_AFFIX>");
  out.WriteLine("</SCHEMA>");
  out.Close();
  return 1;
}

}  // namespace ledgerix
