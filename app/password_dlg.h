// The prompt for the password of an encrypted workbook that the default password does not
// open: one per file, "确定" opens with what was typed, "跳过" gives up on the file (which then
// ends the batch as an unreadable file does). Nothing typed is kept.
#pragma once

#include <wx/window.h>

#include <optional>
#include <string>

namespace ledgerix {

// The password typed for fileName (UTF-8); nullopt for "跳过" or closing the window.
std::optional<std::string> AskWorkbookPassword(wxWindow* parent, const std::string& fileName);

}  // namespace ledgerix
