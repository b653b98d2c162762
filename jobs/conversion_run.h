// One file's conversion: a fresh server, the workbook opened, the report kind's converter
// called for the chosen sheets, everything closed again.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "bridges/run_scope.h"
#include "bridges/spreadsheet.h"
#include "convert/converters.h"
#include "jobs/messages.h"

namespace ledgerix {

// 1-9 in File-menu order; any other value selects no converter.
using ReportKind = int;

struct ConversionJob {
  ReportKind reportKind = 0;
  std::string sourceFolder;  // ends with a separator
  std::string fileName;      // name inside sourceFolder
  std::string saveFolder;    // ends with a separator
  SheetScope sheetScope = SheetScope::Active;
};

// The converter of a kind, in its form; monostate when the kind selects none.
using ConverterEntry =
    std::variant<std::monostate, WorksheetConverter, TemplateConverter, WorkbookConverter>;
ConverterEntry ConverterFor(ReportKind kind);
// The File menu caption of a kind ("国税资产负债表（制度版）"); empty outside 1-9.
std::string_view ReportKindCaption(ReportKind kind);

// Converts one workbook. Returns the last converter call's result, or 0 when the server could
// not be created (after the message), the kind selects no converter or no call took place.
// Errors from the server, the converters or the file layer propagate to the caller.
int RunConversion(const ConversionJob& job, MessageSink& messages);

// Calls convert for the active worksheet, or for every visible worksheet in workbook order;
// returns the last result (0 when none was called).
int ConvertWorksheets(SheetScope scope, Workbook& book,
                      const std::function<int(Worksheet&)>& convert);

}  // namespace ledgerix
