// The income tax return as a whole: worksheet selection, the three header cells, the file name,
// the document frame with its fixed head and closing blocks, and the element value rule that
// every section shares.
#include <algorithm>
#include <string>
#include <string_view>

#include "bridges/companion.h"
#include "bridges/utf8.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"
#include "convert/converters.h"
#include "convert/incometax/return_sections.h"

namespace ledgerix {
namespace incometax {
namespace {

constexpr std::string_view kFullWidthColon = "：";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="GB2312"?>)";

// The root start tag spans three lines, written as one block.
constexpr std::string_view kRootStart =
    "<taxML version=\"1.0\" cnName=\"2008版企业所得税年度A类申报表报文\" "
    "name=\"slSbbtjQysds2008NdARequest\"\n"
    "xsi:type=\"slSbbtjQysds2008NdARequest\" xmlns=\"http://www.chinatax.gov.cn/dataspec/\"\n"
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";

constexpr std::string_view kPrivateHeadElements[] = {
    "fddbr",  "fddbrQzrq", "jbr",      "dlsbZjjg",    "dlsbZjjgJbr", "dlsbZjjgJbrZyzjhm",
    "dlSbrq", "slSwjgDm",  "slSwjgMc", "slSwjgSlrDm", "slSwjgSlrMc", "slrq",
};

struct FixedElement {
  std::string_view element;
  std::string_view value;
};

// The filing date and the report year are constants of the format, whatever the period read.
constexpr FixedElement kHeadAffix[] = {
    {"sbfsDm", "32"}, {"zsxmDm", "04"}, {"pzzlDm", "303"}, {"lsbBz", "F"}, {"sbrq", "20120217"},
};

constexpr FixedElement kSummaryInfo[] = {{"hzsbms", "0"}, {"qylx", "0"}};

constexpr FixedElement kInitData[] = {
    {"kyrq", "2008-10-05"}, {"gsylb", "01"},    {"nsrlb", "1"},    {"sykjzd", "1"},
    {"hznsqylb", "0"},      {"zsfs", "1"},      {"bbnd", "2011"},  {"jwsddkff", "1"},
    {"sfcsgjxzhjzhy", "0"}, {"hjqylx", "1"},    {"ndjdyjbl", "0"}, {"kdqsyzyqy", "0"},
    {"jmzlDm", "4"},        {"xxwlqyTkl", "0"}, {"ybqyTkl", "0"},
};

constexpr std::string_view kMakerComment =
    "<!-- 本文件由 Ledgerix 生成；使用帮助见程序文件夹中的 Ledgerix.html -->";

void WriteFixedContainer(XmlLineWriter& out, std::string_view tag,
                         std::span<const FixedElement> elements) {
  StartTag(out, tag);
  for (const FixedElement& e : elements) out.ElementLine(e.element, e.value);
  EndTag(out, tag);
}

void WriteHead(XmlLineWriter& out, const ReturnHeader& header) {
  StartTag(out, "head");
  StartTag(out, "publicHead");
  out.ElementLine("nsrsbh", header.taxpayerNumber);
  out.ElementLine("nsrmc", header.taxpayerName);
  out.ElementLine("tbrq", "");
  StartTag(out, "sssq");
  out.ElementLine("rqQ", header.periodStart);
  out.ElementLine("rqZ", header.periodEnd);
  EndTag(out, "sssq");
  EndTag(out, "publicHead");
  StartTag(out, "privateHead");
  for (std::string_view element : kPrivateHeadElements) out.ElementLine(element, "");
  EndTag(out, "privateHead");
  EndTag(out, "head");
}

}  // namespace

std::string CellAddress(char column, int row) {
  return std::string(1, column) + fnIntToCString(row);
}

void StartTag(XmlLineWriter& out, std::string_view tag) {
  out.WriteLine("<" + std::string(tag) + ">");
}

void EndTag(XmlLineWriter& out, std::string_view tag) {
  out.WriteLine("</" + std::string(tag) + ">");
}

void WriteCellElement(XmlLineWriter& out, Worksheet& sheet, char column, int row,
                      std::string_view element) {
  out.ElementLine(element, ReadCellText(sheet, CellAddress(column, row)));
}

void WriteColumnSection(XmlLineWriter& out, Worksheet& sheet, std::string_view tag, char column,
                        std::span<const RowElement> rows) {
  StartTag(out, tag);
  for (const RowElement& r : rows) WriteCellElement(out, sheet, column, r.row, r.element);
  EndTag(out, tag);
}

void WriteColumnGroup(XmlLineWriter& out, Worksheet& sheet, const ColumnGroup& group) {
  WriteColumnSection(out, sheet, group.tag, group.column, group.rows);
}

void WriteGridGroups(XmlLineWriter& out, Worksheet& sheet, std::span<const GridColumn> columns,
                     std::span<const GridRow> rows) {
  for (std::size_t g = 0; g < columns.size(); ++g) {
    StartTag(out, columns[g].tag);
    for (const GridRow& r : rows) {
      if (g < r.marks.size() && r.marks[g] == 'x') {
        WriteCellElement(out, sheet, columns[g].column, r.row, r.element);
      }
    }
    EndTag(out, columns[g].tag);
  }
}

std::string FirstCharacters(std::string_view text, std::size_t count) {
  return std::string(FirstUtf8Characters(text, count));
}

std::shared_ptr<Worksheet> SelectWorksheet(Worksheets& sheets, int position) {
  const std::int32_t count = sheets.GetCount();
  if (position > count) {
    throw AutomationError("企业所得税申报表缺少第" + fnIntToCString(position) +
                          "个工作表：工作簿只有" + fnIntToCString(count) + "个工作表");
  }
  return sheets.GetItem(position);
}

std::string TaxpayerNumberFromText(std::string_view text) {
  std::string value(text);
  ReplaceAll(value, ":", kFullWidthColon);
  const std::size_t colon = value.find(kFullWidthColon);
  if (colon != std::string::npos) value.erase(0, colon + kFullWidthColon.size());
  // Spaces between the colon and the number are layout, not a cut: dropping them keeps a
  // number typed as "识别号： 4401..." instead of losing it.
  value.erase(0, std::min(value.find_first_not_of(' '), value.size()));
  // Cut at the first space; with none the whole remainder is the number.
  const std::size_t space = value.find(' ');
  if (space != std::string::npos) value.erase(space);
  return value;
}

ReturnHeader ReadReturnHeader(Worksheet& first) {
  ReturnHeader header;
  header.taxpayerNumber = TaxpayerNumberFromText(ReadCellText(first, "B5"));
  header.taxpayerName = ReadHeaderValue(first, "B4");
  // The label goes first, then the period splits as a period cell does.
  const PeriodDates period = SplitPeriod(ReadHeaderValue(first, "B3"));
  header.periodStart = period.start;
  header.periodEnd = period.end;
  return header;
}

std::string ReturnFileName(const ReturnHeader& header) {
  return "QYSDS_" + SafeFileNamePart(header.periodStart) + "_" +
         SafeFileNamePart(header.periodEnd) + "_" + SafeFileNamePart(header.taxpayerNumber) +
         "_V10.xml";
}

void WriteReturnDocument(XmlLineWriter& out, Worksheets& sheets, Worksheet& first,
                         const ReturnHeader& header) {
  out.WriteLine(kDeclaration);
  out.WriteLine(kRootStart);
  StartTag(out, "sbbQysds2008NdA");
  WriteHead(out, header);
  StartTag(out, "body");
  WriteMainTable(out, first);
  // Each worksheet is selected right after the previous section's end tag.
  WriteIncomeDetail(out, *SelectWorksheet(sheets, 2));
  WriteCostDetail(out, *SelectWorksheet(sheets, 3));
  WriteTaxAdjustment(out, *SelectWorksheet(sheets, 4));
  WriteLossCarryForward(out, *SelectWorksheet(sheets, 5));
  WriteTaxIncentives(out, *SelectWorksheet(sheets, 6));
  WriteFinancialAssets(out);
  WriteAdvertisingExpenses(out, *SelectWorksheet(sheets, 9));
  WriteDepreciation(out, *SelectWorksheet(sheets, 10));
  WriteImpairmentProvisions(out);
  WriteInvestmentIncome(out);
  EndTag(out, "body");
  out.ElementLine("bodyAffix", "");
  EndTag(out, "sbbQysds2008NdA");
  WriteFixedContainer(out, "headAffix", kHeadAffix);
  WriteFixedContainer(out, "sbbQysds2008NdATjSzxxx", kSummaryInfo);
  WriteFixedContainer(out, "initData", kInitData);
  out.WriteLine(kMakerComment);
  EndTag(out, "taxML");
}

}  // namespace incometax

int ConvertIncomeTaxReturn(const std::string& saveFolder, Workbook& book) {
  const std::shared_ptr<Worksheets> sheets = book.GetWorksheets();
  const std::shared_ptr<Worksheet> first = incometax::SelectWorksheet(*sheets, 1);
  // Every header cell is read before the file exists.
  const incometax::ReturnHeader header = incometax::ReadReturnHeader(*first);
  XmlLineWriter out =
      XmlLineWriter::Create(OutputPath(saveFolder, incometax::ReturnFileName(header)));
  incometax::WriteReturnDocument(out, *sheets, *first, header);
  out.Close();
  return 1;
}

}  // namespace ledgerix
