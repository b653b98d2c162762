// Kinds 7 and 8: the small-enterprise accounting system's balance sheet (with the public
// information table) and income statement, into copies of the small-enterprise template.
#include "convert/converters.h"
#include "convert/localtax/filing_workbook.h"

namespace ledgerix {
namespace {

constexpr std::string_view kTemplate = "地税目标小企业会计制度报表.xls";

// Row for row; left side C, D -> D, E first, then right side G, H -> H, I.
constexpr localtax::TransferBlock kBalanceSheet[] = {
    {"CD", "DE", 6, 15, 0},  {"CD", "DE", 18, 19, 0}, {"CD", "DE", 22, 23, 0},
    {"CD", "DE", 25, 27, 0}, {"CD", "DE", 30, 32, 0}, {"GH", "HI", 6, 17, 0},
    {"GH", "HI", 20, 22, 0}, {"GH", "HI", 28, 32, 0},
};

// Column E of the target is never written.
constexpr localtax::TransferBlock kIncomeStatement[] = {
    {"CD", "DF", 5, 7, 0},
    {"CD", "DF", 9, 12, 0},
    {"CD", "DF", 14, 16, 0},
    {"CD", "DF", 18, 18, 0},
};

}  // namespace

int ConvertSmallBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet) {
  return localtax::ConvertBalanceSheet(saveFolder, app, sheet,
                                       {kTemplate, kBalanceSheet, /*footerRow=*/35});
}

int ConvertSmallIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet) {
  return localtax::ConvertIncomeStatement(saveFolder, app, sheet, {kTemplate, kIncomeStatement});
}

}  // namespace ledgerix
