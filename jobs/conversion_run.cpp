#include "jobs/conversion_run.h"

#include "convert/common/converter_messages.h"

namespace ledgerix {

ConverterEntry ConverterFor(ReportKind kind) {
  switch (kind) {
    case 1:
      return WorksheetConverter{&ConvertSystemBalanceSheet};
    case 2:
      return WorksheetConverter{&ConvertSystemIncomeStatement};
    case 3:
      return WorksheetConverter{&ConvertStandardsBalanceSheet};
    case 4:
      return WorksheetConverter{&ConvertStandardsIncomeStatement};
    case 5:
      return TemplateConverter{&ConvertLocalBalanceSheet};
    case 6:
      return TemplateConverter{&ConvertLocalIncomeStatement};
    case 7:
      return TemplateConverter{&ConvertSmallBalanceSheet};
    case 8:
      return TemplateConverter{&ConvertSmallIncomeStatement};
    case 9:
      return WorkbookConverter{&ConvertIncomeTaxReturn};
    default:
      return std::monostate{};
  }
}

std::string_view ReportKindCaption(ReportKind kind) {
  static constexpr std::string_view kCaptions[] = {
      "国税资产负债表（制度版）",
      "国税利润表（制度版）",
      "国税资产负债表（准则版）",
      "国税利润表（准则版）",
      "地税资产负债表（含公共信息表",
      "地税利润表",
      "地税资产负债表（小企业）（含公共信息表",
      "地税利润表（小企业）",
      "企业所得税申报表",
  };
  if (kind < 1 || kind > 9) return {};
  return kCaptions[kind - 1];
}

int ConvertWorksheets(SheetScope scope, Workbook& book,
                      const std::function<int(Worksheet&)>& convert) {
  if (scope == SheetScope::Active) {
    std::shared_ptr<Worksheet> sheet = book.GetActiveSheet();
    return convert(*sheet);
  }
  std::shared_ptr<Worksheets> sheets = book.GetWorksheets();
  std::int32_t count = sheets->GetCount();
  int result = 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    std::shared_ptr<Worksheet> sheet = sheets->GetItem(i);
    if (sheet->GetVisible() == xlSheetVisible) result = convert(*sheet);
  }
  return result;
}

int RunConversion(const ConversionJob& job, MessageSink& messages) {
  std::shared_ptr<Application> app = CreateApplication(kSpreadsheetProgId);
  if (!app) {
    messages.ShowMessage(kCannotCreateServer, MessageIcon::Stop);
    return 0;
  }
  ScopedConverterMessages converter_messages(
      [&messages](std::string_view text) { messages.ShowMessage(text, MessageIcon::Exclamation); });
  app->PutDisplayAlerts(false);
  std::shared_ptr<Workbooks> workbooks = app->GetWorkbooks();
  // The run adds no separator: the job's folder text ends with one.
  std::shared_ptr<Workbook> book = workbooks->Open(job.sourceFolder + job.fileName);

  const std::string& save = job.saveFolder;
  int result = 0;
  ConverterEntry entry = ConverterFor(job.reportKind);
  if (auto* ws = std::get_if<WorksheetConverter>(&entry)) {
    result = ConvertWorksheets(job.sheetScope, *book,
                               [&](Worksheet& sheet) { return (*ws)(save, sheet); });
  } else if (auto* tc = std::get_if<TemplateConverter>(&entry)) {
    result = ConvertWorksheets(job.sheetScope, *book,
                               [&](Worksheet& sheet) { return (*tc)(save, *app, sheet); });
  } else if (auto* wb = std::get_if<WorkbookConverter>(&entry)) {
    result = (*wb)(save, *book);
  }

  book->Close(false, job.fileName);
  workbooks->Close();
  app->Quit();
  return result;
}

}  // namespace ledgerix
