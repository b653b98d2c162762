// The settings dialog: the two default folders, stored and laid out on OK.
#pragma once

#include <wx/dialog.h>

#include "app/folder_layout.h"

namespace ledgerix {

class CSettingDlg : public wxDialog {
 public:
  CSettingDlg(wxWindow* parent, SettingsStore& store);
  ~CSettingDlg() override;

 private:
  void OnBrowseSource(wxCommandEvent& event);
  void OnBrowseSave(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);

  SettingsStore& m_store;
  wxString m_sourcePath;  // exchanged with edit box 1027
  wxString m_savePath;    // exchanged with edit box 1033

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
