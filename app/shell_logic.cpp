#include "app/shell_logic.h"

namespace ledgerix {

ReportKind CurrentReportKind = 0;

ReportKind ReportKindForCommand(int commandId) {
  switch (commandId) {
    case kCmdSystemBalanceSheet:
      return 1;
    case kCmdSystemIncomeStatement:
      return 2;
    case kCmdStandardsBalanceSheet:
      return 3;
    case kCmdStandardsIncomeStatement:
      return 4;
    case kCmdLocalBalanceSheet:
      return 5;
    case kCmdLocalIncomeStatement:
      return 6;
    case kCmdSmallBalanceSheet:
      return 7;
    case kCmdSmallIncomeStatement:
      return 8;
    case kCmdIncomeTaxReturn:
      return 9;
    default:
      return 0;
  }
}

std::string HelpDocumentPath(const std::string& programFolder) {
  return programFolder + std::string(kProductName) + std::string(kDocumentExtension);
}

std::string LicenseDocumentPath(const std::string& programFolder) {
  return programFolder + "license" + std::string(kDocumentExtension);
}

}  // namespace ledgerix
