#include "app/wx_support.h"

#include <wx/config.h>
#include <wx/msgdlg.h>
#include <wx/mstream.h>
#include <wx/utils.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <memory>
#include <vector>

#include "app/shell_logic.h"

// Generated: the bytes of resources/ledgerix.xrc.
extern const unsigned char kLedgerixXrc[];
extern const std::size_t kLedgerixXrc_size;

namespace ledgerix {

void WxMessageSink::ShowMessage(std::string_view text, MessageIcon icon) {
  long style = wxOK;
  switch (icon) {
    case MessageIcon::Information:
      style |= wxICON_INFORMATION;
      break;
    case MessageIcon::Exclamation:
      style |= wxICON_EXCLAMATION;
      break;
    case MessageIcon::Stop:
      style |= wxICON_ERROR;
      break;
  }
  // A batch shows the wait cursor; the user answers the box with the ordinary one.
  int busyLevels = 0;
  while (wxIsBusy()) {
    wxEndBusyCursor();
    ++busyLevels;
  }
  wxMessageBox(ToWx(text), "Ledgerix", style, parent_);
  while (busyLevels-- > 0) wxBeginBusyCursor();
}

namespace {
wxString SettingKey(std::string_view name) {
  return "/" + ToWx(kSettingsSection) + "/" + ToWx(name);
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

// <object class="wxAcceleratorTable" name="N"> with <accel id="COMMAND">KEY</accel> children:
// accelerators kept with the menus they belong to.
class AcceleratorTableXmlHandler : public wxXmlResourceHandler {
 public:
  bool CanHandle(wxXmlNode* node) override { return IsOfClass(node, "wxAcceleratorTable"); }

  wxObject* DoCreateResource() override {
    std::vector<wxAcceleratorEntry> entries;
    for (wxXmlNode* child = m_node->GetChildren(); child; child = child->GetNext()) {
      if (child->GetType() != wxXML_ELEMENT_NODE || child->GetName() != "accel") continue;
      long command = 0;
      if (!child->GetAttribute("id").ToLong(&command)) continue;
      std::unique_ptr<wxAcceleratorEntry> key(
          wxAcceleratorEntry::Create("\t" + child->GetNodeContent().Strip(wxString::both)));
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
    if (node->GetName() == "object" && node->GetAttribute("class") == "wxMenuItem" &&
        node->GetAttribute("name").ToLong(&number)) {
      node->DeleteAttribute("name");
      node->AddAttribute("name",
                         wxString::Format("%d", ToolkitCommandId(static_cast<int>(number))));
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
  resources->LoadDocument(document.release(), "ledgerix.xrc");
}

wxAcceleratorTable LoadAcceleratorTable(int resource) {
  std::unique_ptr<wxObject> object(wxXmlResource::Get()->LoadObject(
      nullptr, wxString::Format("%d", resource), "wxAcceleratorTable"));
  auto* table = wxDynamicCast(object.get(), wxAcceleratorTable);
  return table ? *table : wxAcceleratorTable();
}

}  // namespace ledgerix
