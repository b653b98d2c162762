// The income tax return converter's sections and the element tables they are written from.
// Private to convert/incometax: each section unit owns its tables; the frame calls the writers
// in document order.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"
#include "convert/common/xml_line_writer.h"

namespace ledgerix::incometax {

// One element fed by one cell of a column the enclosing table fixes.
struct RowElement {
  int row;
  std::string_view element;
};

// A container whose elements all come from one column.
struct ColumnGroup {
  std::string_view tag;
  char column;
  std::span<const RowElement> rows;
};

// An element that belongs to a row and is written in some of a grid's column groups: marks
// holds one character per group of the grid, 'x' where the row is written, '.' where not.
struct GridRow {
  int row;
  std::string_view element;
  std::string_view marks;
};

// A grid's column group: its container tag and the column its cells are read from.
struct GridColumn {
  std::string_view tag;
  char column;
};

// How many rows of a grid are written in the group at index group.
constexpr std::size_t CountMarked(std::span<const GridRow> rows, std::size_t group) {
  std::size_t n = 0;
  for (const GridRow& r : rows) n += (group < r.marks.size() && r.marks[group] == 'x') ? 1 : 0;
  return n;
}

// The address of a cell: column letter and decimal row ("H7").
std::string CellAddress(char column, int row);

// "<tag>" and "</tag>" lines.
void StartTag(XmlLineWriter& out, std::string_view tag);
void EndTag(XmlLineWriter& out, std::string_view tag);

// Reads the cell and writes it as the element, unchanged but for escaping.
void WriteCellElement(XmlLineWriter& out, Worksheet& sheet, char column, int row,
                      std::string_view element);
// Writes tag with one element per row of column, in table order.
void WriteColumnSection(XmlLineWriter& out, Worksheet& sheet, std::string_view tag, char column,
                        std::span<const RowElement> rows);
void WriteColumnGroup(XmlLineWriter& out, Worksheet& sheet, const ColumnGroup& group);
// Writes one container per grid column, each holding the rows marked for it, in row order.
void WriteGridGroups(XmlLineWriter& out, Worksheet& sheet, std::span<const GridColumn> columns,
                     std::span<const GridRow> rows);

// The first count characters (code points) of UTF-8 text; all of it when shorter.
std::string FirstCharacters(std::string_view text, std::size_t count);

// The worksheet at a 1-based position; a workbook without it fails with an AutomationError
// naming the position.
std::shared_ptr<Worksheet> SelectWorksheet(Worksheets& sheets, int position);

// The header values of worksheet 1.
struct ReturnHeader {
  std::string taxpayerNumber;
  std::string taxpayerName;
  std::string periodStart;
  std::string periodEnd;
};

// The taxpayer number from the text of B5: colons made full-width, the text after the first
// "：" (all of it without one) less its leading spaces, cut at its first space when one follows.
std::string TaxpayerNumberFromText(std::string_view text);
ReturnHeader ReadReturnHeader(Worksheet& first);
// "QYSDS_<start>_<end>_<number>_V10.xml", each part made safe for a file name.
std::string ReturnFileName(const ReturnHeader& header);
// The whole document, selecting worksheets by position as the sections come due.
void WriteReturnDocument(XmlLineWriter& out, Worksheets& sheets, Worksheet& first,
                         const ReturnHeader& header);

// Sections, in document order. Worksheet 1.
void WriteMainTable(XmlLineWriter& out, Worksheet& sheet);
// Worksheets 2 and 3.
void WriteIncomeDetail(XmlLineWriter& out, Worksheet& sheet);
void WriteCostDetail(XmlLineWriter& out, Worksheet& sheet);
// Worksheet 4.
void WriteTaxAdjustment(XmlLineWriter& out, Worksheet& sheet);
// Worksheets 5 and 6.
void WriteLossCarryForward(XmlLineWriter& out, Worksheet& sheet);
void WriteTaxIncentives(XmlLineWriter& out, Worksheet& sheet);
// "01" when the industry text names an industrial enterprise anywhere, "02" otherwise.
std::string_view IndustryCode(std::string_view industryText);
// Fixed, no worksheet.
void WriteFinancialAssets(XmlLineWriter& out);
// Worksheets 9 and 10.
void WriteAdvertisingExpenses(XmlLineWriter& out, Worksheet& sheet);
void WriteDepreciation(XmlLineWriter& out, Worksheet& sheet);
// Fixed, no worksheet.
void WriteImpairmentProvisions(XmlLineWriter& out);
void WriteInvestmentIncome(XmlLineWriter& out);

}  // namespace ledgerix::incometax
