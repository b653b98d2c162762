// The embedded spreadsheet server: the automation objects over engine::Book.
#pragma once

#include <memory>

#include "bridges/spreadsheet.h"

namespace ledgerix::engine {

// A new server instance (what creating "Excel.Application" gives).
std::shared_ptr<Application> CreateEmbeddedApplication();
// Registers CreateEmbeddedApplication under kSpreadsheetProgId.
void RegisterEmbeddedServer();

}  // namespace ledgerix::engine
