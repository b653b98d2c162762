// Kind 2: the system-edition income statement as the SCHEMA document "LRB".
#include <string>

#include "bridges/companion.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"
#include "convert/national/system_common.h"

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

  national::WriteSchemaHead(out, "LRB", "利润表", fileName, taxpayerId, period.start, period.end,
                            [] { return TodayStamp(); });
  out.WriteLine("<SB_LRB COUNT=\"16\">");
  WriteItemRows(out, sheet, kIncomeItems);
  out.WriteLine("</SB_LRB>");
  out.WriteLine("<SB_LRB_BCZL COUNT=\"6\">");
  WriteItemRows(out, sheet, kSupplementItems);
  out.WriteLine("</SB_LRB_BCZL>");
  national::WriteSchemaEnd(out);
  out.Close();
  return 1;
}

}  // namespace ledgerix
