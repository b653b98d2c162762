#include "app/setting_dlg.h"

#include <wx/textctrl.h>
#include <wx/valgen.h>
#include <wx/xrc/xmlres.h>

#include "app/companion_tree.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"

namespace ledgerix {
namespace {
enum : int {
  kIdSourceEdit = 1027,
  kIdSourceBrowse = 1028,
  kIdSaveEdit = 1033,
  kIdSaveBrowse = 1034,
  kIdOK = 1,
  kIdCancel = 2,
};
constexpr std::string_view kSizeKey = "settings";
}  // namespace

CSettingDlg::CSettingDlg(wxWindow* parent, SettingsStore& store) : m_store(store) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kSettingDialogResource));
  SetAffirmativeId(kIdOK);
  SetEscapeId(kIdCancel);
  const DefaultFolders folders = ReadDefaultFolders(m_store);
  m_sourcePath = ToWx(folders.source);
  m_savePath = ToWx(folders.save);
  for (auto [id, member] : {std::pair{kIdSourceEdit, &m_sourcePath}, {kIdSaveEdit, &m_savePath}}) {
    auto* edit = wxDynamicCast(FindWindow(id), wxTextCtrl);
    edit->SetMaxLength(kMaxSettingLength);
    edit->SetValidator(wxGenericValidator(member));
  }
  Fit();
  SetMinSize(GetSize());
  RestoreDialogSize(this, kSizeKey);
  CentreOnParent();
  CentreWhenMapped(this);
}

CSettingDlg::~CSettingDlg() { SaveDialogSize(this, kSizeKey); }

void CSettingDlg::OnBrowseSource(wxCommandEvent&) {
  fnBrowseFolder(this, "请选择默认数据源路径:", kIdSourceEdit);
}

void CSettingDlg::OnBrowseSave(wxCommandEvent&) {
  fnBrowseFolder(this, "请选择默认保存路径:", kIdSaveEdit);
}

void CSettingDlg::OnOK(wxCommandEvent&) {
  TransferDataFromWindow();
  ApplyDefaultFolders(m_store, {ToUtf8(m_sourcePath), ToUtf8(m_savePath)});
  EndModal(kIdOK);
}

// clang-format off
wxBEGIN_EVENT_TABLE(CSettingDlg, wxDialog)
  EVT_BUTTON(kIdSourceBrowse, CSettingDlg::OnBrowseSource)
  EVT_BUTTON(kIdSaveBrowse, CSettingDlg::OnBrowseSave)
  EVT_BUTTON(kIdOK, CSettingDlg::OnOK)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
