// Every report kind's converter, in the three fixed forms. Each reads fixed cells through the
// spreadsheet interface, writes one output into saveFolder (which ends with a separator) and
// returns 1, or 0 when it wrote nothing; every other failure is a thrown error.
#pragma once

#include <string>

#include "bridges/spreadsheet.h"

namespace ledgerix {

using WorksheetConverter = int (*)(const std::string& saveFolder, Worksheet& sheet);
using TemplateConverter = int (*)(const std::string& saveFolder, Application& app,
                                  Worksheet& sheet);
using WorkbookConverter = int (*)(const std::string& saveFolder, Workbook& book);

// National-tax XML (kinds 1-4).
int ConvertSystemBalanceSheet(const std::string& saveFolder, Worksheet& sheet);
int ConvertSystemIncomeStatement(const std::string& saveFolder, Worksheet& sheet);
int ConvertStandardsBalanceSheet(const std::string& saveFolder, Worksheet& sheet);
int ConvertStandardsIncomeStatement(const std::string& saveFolder, Worksheet& sheet);

// Local-tax filing workbooks (kinds 5-8).
int ConvertLocalBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet);
int ConvertLocalIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet);
int ConvertSmallBalanceSheet(const std::string& saveFolder, Application& app, Worksheet& sheet);
int ConvertSmallIncomeStatement(const std::string& saveFolder, Application& app, Worksheet& sheet);

// The enterprise income tax annual return (kind 9).
int ConvertIncomeTaxReturn(const std::string& saveFolder, Workbook& book);

}  // namespace ledgerix
