// Glue between the toolkit-free logic and wxWidgets: text conversion, message boxes, the
// settings store and the compiled-in resources.
#pragma once

#include <wx/accel.h>
#include <wx/string.h>
#include <wx/window.h>

#include <string>
#include <string_view>

#include "app/folder_layout.h"
#include "jobs/messages.h"

namespace ledgerix {

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

// Loads the menus, accelerators and dialogs compiled into the program.
void LoadLedgerixResources();
// The accelerator table named by number in the resources; empty when absent.
wxAcceleratorTable LoadAcceleratorTable(int resource);

}  // namespace ledgerix
