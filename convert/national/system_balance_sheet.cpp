// Kind 1: the system-edition balance sheet as the "ZCFZB" SCHEMA document.
#include "bridges/companion.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"
#include "convert/national/system_common.h"

namespace ledgerix {
namespace {

constexpr int kFirstRow = 6;
constexpr int kLastRow = 42;

struct ItemBlock {
  const char* open;
  const char* close;
  const char* key;        // column of the row key and FBLC
  const char* beginning;  // column of NCS
  const char* ending;     // column of QMS
};

constexpr ItemBlock kAssets{"<SB_ZCFZB_ZC COUNT=\"32\">", "</SB_ZCFZB_ZC>", "B", "C", "D"};
constexpr ItemBlock kLiabilities{"<SB_ZCFZB_FZHSYZQY COUNT=\"32\">", "</SB_ZCFZB_FZHSYZQY>", "F",
                                 "G", "H"};

// Each keyed row gives one ITEM group; every value is read just before its own line.
void WriteItems(XmlLineWriter& out, Worksheet& sheet, const ItemBlock& block) {
  out.WriteLine(block.open);
  for (int row = kFirstRow; row <= kLastRow; ++row) {
    std::string r = fnIntToCString(row);
    if (ReadSpaceFreeText(sheet, block.key + r).empty()) continue;
    out.WriteLine("<ITEM>");
    out.ElementLine("FBLC", ReadCellText(sheet, block.key + r));
    out.AmountLine("NCS", ReadCellText(sheet, block.beginning + r));
    out.AmountLine("QMS", ReadCellText(sheet, block.ending + r));
    out.WriteLine("</ITEM>");
  }
  out.WriteLine(block.close);
}

}  // namespace

int ConvertSystemBalanceSheet(const std::string& saveFolder, Worksheet& sheet) {
  std::string taxpayer = ReadHeaderValue(sheet, "A1");
  std::string periodStart = ReadCellText(sheet, "B2");
  std::string periodEnd = ReadCellText(sheet, "E2");
  std::string prepared = ReadCellText(sheet, "E1");

  std::string fileName = StatementFileName("ZCFZB_", periodStart, periodEnd, taxpayer);
  CheckFileNameLength(sheet, fileName, {{"A1", taxpayer}, {"B2", periodStart}, {"E2", periodEnd}});
  XmlLineWriter out = XmlLineWriter::Create(OutputPath(saveFolder, fileName));

  national::WriteSchemaHead(out, "ZCFZB", "资产负债表", fileName, taxpayer, periodStart, periodEnd,
                            [&prepared] { return prepared; });
  WriteItems(out, sheet, kAssets);
  WriteItems(out, sheet, kLiabilities);
  national::WriteSchemaEnd(out);
  out.Close();
  return 1;
}

}  // namespace ledgerix
