// What the four local-tax converters share: the transfer tables, the choice between an
// existing filing workbook and the template, and the two statement shapes.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix::localtax {

// Rows firstRow..lastRow: for each row r, sourceColumns[i] r goes to targetColumns[i]
// (r + offset), column pairs in order.
struct TransferBlock {
  std::string_view sourceColumns;
  std::string_view targetColumns;
  int firstRow;
  int lastRow;
  int offset;
};

// Runs every block in order, each transfer reading its source cell just before it writes
// its target cell.
void RunTransfers(Worksheet& source, Worksheet& target, std::span<const TransferBlock> blocks);

// The layout of one balance-sheet kind: its template, the transfers into worksheet 2 and the
// first of the two footer rows that give public-information cells B9 to B12.
struct BalanceSheetLayout {
  std::string_view templateName;
  std::span<const TransferBlock> transfers;
  int footerRow;
};

// The layout of one income-statement kind: its template and the transfers into worksheet 3.
struct IncomeStatementLayout {
  std::string_view templateName;
  std::span<const TransferBlock> transfers;
};

// Kinds 5 and 7: header A1, B2, D2, F1, H1, F2, H2; balance sheet into worksheet 2, then the
// public information table into worksheet 1. 1 when saved, 0 when the template is missing.
int ConvertBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet,
                        const BalanceSheetLayout& layout);
// Kinds 6 and 8: header B1, B2, C1, C2; income statement into worksheet 3.
int ConvertIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet,
                           const IncomeStatementLayout& layout);

// taxpayer + "_" + name + "_" + third + fourth + ".xls", each part made safe for a file name.
std::string FilingWorkbookName(std::string_view taxpayer, std::string_view name,
                               std::string_view third, std::string_view fourth);

}  // namespace ledgerix::localtax
