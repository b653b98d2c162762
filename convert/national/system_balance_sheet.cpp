// Kind 1: the system-edition balance sheet as the "ZCFZB" SCHEMA document.
#include "bridges/companion.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"

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

  out.WriteLine("<?xml version=\"1.0\" encoding=\"GBK\"?>");
  out.WriteLine("<!--DOCTYPE SCHEMA SYSTEM 'ZCFZB.DTD'-->");
  out.WriteLine("<SCHEMA NAME=\"ZCFZB\" CNNAME=\"资产负债表\" Version=\"1.0\" CRC=\"" +
                XmlEscape(fileName, true) + "\">");
  out.WriteLine("<HEAD>");
  out.ElementLine("NSRSBH", taxpayer);
  out.WriteLine("<!--纳税人识别号-->");
  out.ElementLine("SSSQ_Q", periodStart);
  out.WriteLine("<!--所属期起-->");
  out.ElementLine("SSSQ_Z", periodEnd);
  out.WriteLine("<!--所属期止-->");
  out.ElementLine("TBRQ", prepared);
  out.WriteLine("<!--填表日期-->");
  out.WriteLine("<BZDW></BZDW>");
  out.WriteLine("<!--编制单位-->");
  out.WriteLine("</HEAD>");
  out.WriteLine("<HEAD_AFFIX></HEAD_AFFIX>");
  out.WriteLine("<BODY>");
  WriteItems(out, sheet, kAssets);
  WriteItems(out, sheet, kLiabilities);
  out.WriteLine("</BODY>");
  out.WriteLine("<BODY_AFFIX></BODY_AFFIX>");
  out.WriteLine("</SCHEMA>");
  out.Close();
  return 1;
}

}  // namespace ledgerix
