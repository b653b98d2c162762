// The embedded spreadsheet server: the automation objects over engine::Book.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix::engine {

// A new server instance (what creating "Excel.Application" gives).
std::shared_ptr<Application> CreateEmbeddedApplication();
// Registers CreateEmbeddedApplication under kSpreadsheetProgId.
void RegisterEmbeddedServer();

class Book;

// What Worksheet.PrintOut does with one sheet: the program installs the printing code at start-up
// (the engine does not draw or talk to printers itself). path is the workbook's path as opened.
// Failures are thrown as AutomationError with the user's message.
using PrintHandler =
    std::function<void(Book& book, int sheet, const std::string& path, std::string_view printer)>;
// Replaces the handler (an empty one makes PrintOut refuse, as it does before any is installed).
void SetPrintHandler(PrintHandler handler);

}  // namespace ledgerix::engine
