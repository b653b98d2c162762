#include "app/printer_props_dlg.h"

#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "app/print_logic.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"
#include "bridges/spreadsheet.h"

namespace ledgerix {
namespace {
enum : int {
  kIdOK = 1,
  kIdCancel = 2,
  kIdModel = 1101,
  kIdLocation = 1102,
  kIdState = 1103,
  kIdReasons = 1104,
  kIdJobs = 1105,
  kIdMedia = 1106,
  kIdSides = 1107,
  kIdColor = 1108,
  kIdQuality = 1109,
  kIdCopies = 1110,
};

const char* OptionForControl(int id) {
  switch (id) {
    case kIdMedia:
      return print::kOptMedia;
    case kIdSides:
      return print::kOptSides;
    case kIdColor:
      return print::kOptColorMode;
    default:
      return print::kOptQuality;
  }
}

}  // namespace

std::string OptionValueLabel(const std::string& option, const std::string& value) {
  if (option == print::kOptMedia) return print::MediaLabel(value);
  static const std::map<std::string, std::string> kLabels = {
      {"one-sided", "单面"},
      {"two-sided-long-edge", "双面（长边翻转）"},
      {"two-sided-short-edge", "双面（短边翻转）"},
      {"monochrome", "黑白"},
      {"color", "彩色"},
      {"auto-monochrome", "自动（黑白优先）"},
      {"bi-level", "纯黑白（无灰度）"},
      {"process-monochrome", "黑白（复合）"},
  };
  if (option == print::kOptQuality) {
    if (value == "3") return "草稿";
    if (value == "4") return "普通";
    if (value == "5") return "高质量";
  }
  auto it = kLabels.find(value);
  return it == kLabels.end() ? value : it->second;
}

CPrinterPropsDlg::CPrinterPropsDlg(wxWindow* parent, const print::PrinterInfo& info,
                                   MessageSink& messages)
    : m_info(info), m_messages(messages) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kPrinterPropsResource));
  SetTitle(ToWx("打印机属性 - " + info.name));
  SetAffirmativeId(kIdOK);
  SetEscapeId(kIdCancel);
  auto set = [this](int id, const std::string& text) {
    wxDynamicCast(FindWindow(id), wxStaticText)->SetLabel(ToWx(text.empty() ? "-" : text));
  };
  set(kIdModel, info.makeAndModel);
  set(kIdLocation, info.location);
  set(kIdState, info.state + (info.stateMessage.empty() ? "" : "（" + info.stateMessage + "）"));
  set(kIdReasons, info.stateReasons.empty() ? "无" : info.stateReasons);
  auto* jobs = wxDynamicCast(FindWindow(kIdJobs), wxListBox);
  for (const print::QueuedJob& j : info.jobs) {
    jobs->Append(ToWx(std::to_string(j.id) + "  " + j.title + "  " + j.user + "  " + j.state));
  }
  if (info.jobs.empty()) jobs->Append(ToWx("（没有作业）"));
  for (int id : {kIdMedia, kIdSides, kIdColor, kIdQuality}) {
    const char* option = OptionForControl(id);
    auto* choice = wxDynamicCast(FindWindow(id), wxChoice);
    std::vector<std::string>& values = m_values[id];
    const auto found = info.choices.find(option);
    const print::PrinterChoices none;
    const print::PrinterChoices& c = found == info.choices.end() ? none : found->second;
    std::string printerDefault = "打印机默认";
    if (!c.printerDefault.empty()) {
      printerDefault += "（" + OptionValueLabel(option, c.printerDefault) + "）";
    }
    choice->Append(ToWx(printerDefault));
    values.push_back("");
    for (const std::string& v : c.supported) {
      choice->Append(ToWx(OptionValueLabel(option, v)));
      values.push_back(v);
    }
    int selected = 0;
    auto user = info.userDefaults.find(option);
    if (user != info.userDefaults.end()) {
      auto at = std::find(values.begin(), values.end(), user->second);
      if (at != values.end()) selected = static_cast<int>(at - values.begin());
    }
    choice->SetSelection(selected);
    choice->Enable(!c.supported.empty());
  }
  auto* copies = wxDynamicCast(FindWindow(kIdCopies), wxSpinCtrl);
  copies->SetRange(1, std::max(1, info.maxCopies));
  copies->SetValue(CopiesShown(info.userDefaults, info.maxCopies));
  Fit();
  CentreOnParent();
}

void CPrinterPropsDlg::OnOK(wxCommandEvent&) {
  std::map<std::string, std::string> values;
  for (const auto& [id, options] : m_values) {
    const int at = wxDynamicCast(FindWindow(id), wxChoice)->GetSelection();
    values[OptionForControl(id)] = at > 0 ? options[static_cast<std::size_t>(at)] : "";
  }
  const int copies = wxDynamicCast(FindWindow(kIdCopies), wxSpinCtrl)->GetValue();
  values[print::kOptCopies] =
      CopiesToSave(copies, m_info.userDefaults.count(print::kOptCopies) > 0);
  try {
    print::SaveUserDefaults(m_info.name, values);
  } catch (const AutomationError& e) {
    m_messages.ShowMessage(e.what(), MessageIcon::Exclamation);
    return;
  }
  EndModal(kIdOK);
}

// clang-format off
wxBEGIN_EVENT_TABLE(CPrinterPropsDlg, wxDialog)
  EVT_BUTTON(kIdOK, CPrinterPropsDlg::OnOK)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
