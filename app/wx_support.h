// Glue between the toolkit-free logic and wxWidgets: text conversion, message boxes, the
// settings store and the compiled-in resources.
#pragma once

#include <wx/accel.h>
#include <wx/string.h>
#include <wx/window.h>

#include <functional>
#include <string>
#include <string_view>

#include "app/folder_layout.h"
#include "jobs/messages.h"

namespace ledgerix {

// Every text the program hands the toolkit goes through ToWx: it is UTF-8 in the program. The
// toolkit's own conversion from char strings follows the C locale and gives an empty string
// for Chinese under "C"; the program is built with that conversion switched off.
inline wxString ToWx(std::string_view utf8) { return wxString::FromUTF8(utf8.data(), utf8.size()); }
inline std::string ToUtf8(const wxString& text) { return text.utf8_string(); }

// Message boxes titled "Ledgerix" with an OK button, over the given parent.
class WxMessageSink : public MessageSink {
 public:
  explicit WxMessageSink(wxWindow* parent = nullptr) : parent_(parent) {}
  void ShowMessage(std::string_view text, MessageIcon icon) override;

 private:
  wxWindow* parent_;
};

// The section "Ledgerix" of the application's wxConfig (an XDG file, or the registry).
class WxSettingsStore : public SettingsStore {
 public:
  std::string Read(std::string_view name) override;
  void Write(std::string_view name, const std::string& value) override;
};

// The locale from the environment and the toolkit's texts in Chinese (see ui_locale.h).
void InitUiLanguage();

// The name of a resource numbered n.
inline wxString ResourceName(int n) { return wxString::Format(L"%d", n); }

// A dialog's size as the user left it, kept in the settings beside the folders; the restored
// size is never below the dialog's minimum.
void RestoreDialogSize(wxWindow* dialog, std::string_view key);
void SaveDialogSize(wxWindow* dialog, std::string_view key);

// Centres a dialog on its parent (a window without one on the screen) the way the toolkit does
// it best: some window managers ignore a position asked for before the window is shown.
void CentreWhenMapped(wxWindow* window);

// Loads the menus, accelerators and dialogs compiled into the program.
void LoadLedgerixResources();
// The accelerator table named by number in the resources; empty when absent.
wxAcceleratorTable LoadAcceleratorTable(int resource);

}  // namespace ledgerix
