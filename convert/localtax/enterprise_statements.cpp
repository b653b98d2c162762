// Kinds 5 and 6: the enterprise accounting system's balance sheet (with the public
// information table) and income statement, into copies of the enterprise template.
#include "convert/converters.h"
#include "convert/localtax/filing_workbook.h"

namespace ledgerix {
namespace {

constexpr std::string_view kTemplate = "地税目标企业会计制度报表.xls";

// Left side C, D -> D, E first, then right side G, H -> H, I.
constexpr localtax::TransferBlock kBalanceSheet[] = {
    {"CD", "DE", 6, 18, 0},  {"CD", "DE", 21, 22, 1}, {"CD", "DE", 25, 26, 1},
    {"CD", "DE", 28, 28, 1}, {"CD", "DE", 30, 32, 1}, {"CD", "DE", 35, 37, 3},
    {"CD", "DE", 41, 41, 2}, {"GH", "HI", 6, 19, 0},  {"GH", "HI", 23, 27, -1},
    {"GH", "HI", 30, 30, 0}, {"GH", "HI", 34, 35, 1}, {"GH", "HI", 37, 40, 1},
};

// Column E of the target is never written.
constexpr localtax::TransferBlock kIncomeStatement[] = {
    {"CD", "DF", 5, 7, 0},   {"CD", "DF", 9, 12, 0},  {"CD", "DF", 14, 17, 0},
    {"CD", "DF", 19, 19, 0}, {"CD", "DF", 24, 29, 0},
};

}  // namespace

int ConvertLocalBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet) {
  return localtax::ConvertBalanceSheet(saveFolder, app, sheet,
                                       {kTemplate, kBalanceSheet, /*footerRow=*/43});
}

int ConvertLocalIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet) {
  return localtax::ConvertIncomeStatement(saveFolder, app, sheet, {kTemplate, kIncomeStatement});
}

}  // namespace ledgerix
