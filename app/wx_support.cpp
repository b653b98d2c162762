#include "app/wx_support.h"

#include <wx/config.h>
#include <wx/display.h>
#include <wx/mstream.h>
#include <wx/translation.h>
#include <wx/uilocale.h>
#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif
#include <wx/utils.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/message_box.h"
#include "app/shell_logic.h"
#include "app/ui_locale.h"

// Generated: the bytes of resources/ledgerix.xrc.
extern const unsigned char kLedgerixXrc[];
extern const std::size_t kLedgerixXrc_size;

namespace ledgerix {

void WxMessageSink::ShowMessage(std::string_view text, MessageIcon icon) {
  // A batch shows the wait cursor; the user answers the box with the ordinary one.
  int busyLevels = 0;
  while (wxIsBusy()) {
    wxEndBusyCursor();
    ++busyLevels;
  }
  LedgerixMessageBox box(MessageParent(parent_), text, icon);
  box.ShowModal();
  while (busyLevels-- > 0) wxBeginBusyCursor();
}

void InitUiLanguage() {
  wxUILocale::UseDefault();
  const UiLocalePlan plan = ApplyUiLocale();
  auto* translations = new wxTranslations;
  translations->SetLanguage(ToWx(plan.language));
  translations->AddStdCatalog();
  wxTranslations::Set(translations);
}

namespace {
wxString SettingKey(std::string_view name) {
  return ToWx("/") + ToWx(kSettingsSection) + ToWx("/") + ToWx(name);
}
}  // namespace

std::string WxSettingsStore::Read(std::string_view name) {
  wxString value;
  wxConfigBase::Get()->Read(SettingKey(name), &value);
  return ToUtf8(value);
}

void WxSettingsStore::Write(std::string_view name, const std::string& value) {
  wxConfigBase* config = wxConfigBase::Get();
  config->Write(SettingKey(name), ToWx(value));
  config->Flush();
}

namespace {
wxString SizeKey(std::string_view key, const char* what) {
  return ToWx("/Windows/") + ToWx(key) + ToWx(what);
}
}  // namespace

void CentreWhenMapped(wxWindow* window) {
#ifdef __WXGTK__
  // GTK centres the dialog over its parent itself, with the size it has when it is mapped; a
  // position set before showing is ignored by some window managers.
  if (window->GetParent()) {
    gtk_window_set_position(GTK_WINDOW(window->GetHandle()), GTK_WIN_POS_CENTER_ON_PARENT);
    return;
  }
#endif
  window->CentreOnParent();
}

void RestoreDialogSize(wxWindow* dialog, std::string_view key) {
  wxConfigBase* config = wxConfigBase::Get(false);
  if (!config) return;
  long width = 0, height = 0;
  if (!config->Read(SizeKey(key, "/Width"), &width) ||
      !config->Read(SizeKey(key, "/Height"), &height)) {
    return;
  }
  const wxSize minimum = dialog->GetMinSize();
  dialog->SetSize(std::max<int>(static_cast<int>(width), minimum.x),
                  std::max<int>(static_cast<int>(height), minimum.y));
}

void SaveDialogSize(wxWindow* dialog, std::string_view key) {
  wxConfigBase* config = wxConfigBase::Get(false);
  if (!config) return;
  const wxSize size = dialog->GetSize();
  config->Write(SizeKey(key, "/Width"), static_cast<long>(size.x));
  config->Write(SizeKey(key, "/Height"), static_cast<long>(size.y));
  config->Flush();
}

namespace {

// <object class="wxAcceleratorTable" name="N"> with <accel id="COMMAND">KEY</accel> children:
// accelerators kept with the menus they belong to.
class AcceleratorTableXmlHandler : public wxXmlResourceHandler {
 public:
  bool CanHandle(wxXmlNode* node) override { return IsOfClass(node, ToWx("wxAcceleratorTable")); }

  wxObject* DoCreateResource() override {
    std::vector<wxAcceleratorEntry> entries;
    for (wxXmlNode* child = m_node->GetChildren(); child; child = child->GetNext()) {
      if (child->GetType() != wxXML_ELEMENT_NODE || child->GetName() != ToWx("accel")) continue;
      long command = 0;
      if (!child->GetAttribute(ToWx("id")).ToLong(&command)) continue;
      std::unique_ptr<wxAcceleratorEntry> key(
          wxAcceleratorEntry::Create(ToWx("\t") + child->GetNodeContent().Strip(wxString::both)));
      if (!key) continue;
      entries.emplace_back(key->GetFlags(), key->GetKeyCode(),
                           ToolkitCommandId(static_cast<int>(command)));
    }
    return new wxAcceleratorTable(static_cast<int>(entries.size()), entries.data());
  }
};

// Menu items carry their command numbers; the toolkit gets them as ToolkitCommandId gives.
void MapCommandIds(wxXmlNode* node) {
  for (; node; node = node->GetNext()) {
    long number = 0;
    if (node->GetName() == ToWx("object") &&
        node->GetAttribute(ToWx("class")) == ToWx("wxMenuItem") &&
        node->GetAttribute(ToWx("name")).ToLong(&number)) {
      node->DeleteAttribute(ToWx("name"));
      node->AddAttribute(ToWx("name"), ResourceName(ToolkitCommandId(static_cast<int>(number))));
    }
    MapCommandIds(node->GetChildren());
  }
}

}  // namespace

void LoadLedgerixResources() {
  wxXmlResource* resources = wxXmlResource::Get();
  resources->InitAllHandlers();
  resources->AddHandler(new AcceleratorTableXmlHandler);
  wxMemoryInputStream bytes(kLedgerixXrc, kLedgerixXrc_size);
  auto document = std::make_unique<wxXmlDocument>(bytes);
  if (!document->IsOk()) return;
  MapCommandIds(document->GetRoot());
  resources->LoadDocument(document.release(), ToWx("ledgerix.xrc"));
}

wxAcceleratorTable LoadAcceleratorTable(int resource) {
  std::unique_ptr<wxObject> object(wxXmlResource::Get()->LoadObject(nullptr, ResourceName(resource),
                                                                    ToWx("wxAcceleratorTable")));
  auto* table = wxDynamicCast(object.get(), wxAcceleratorTable);
  return table ? *table : wxAcceleratorTable();
}

}  // namespace ledgerix
