// The conversion dialog: source and save folders, the file list, filter and scope, and the
// batch its OK runs.
#pragma once

#include <wx/dialog.h>
#include <wx/stopwatch.h>
#include <wx/treebase.h>

#include <string>

#include "app/folder_layout.h"
#include "app/trans_logic.h"
#include "jobs/messages.h"

class wxTreeCtrl;
class wxTreeEvent;
class wxListBox;
class wxGauge;

namespace ledgerix {

class CTransSettingDlg : public wxDialog {
 public:
  // run converts one file (RunConversion in the program, a recorder in tests).
  CTransSettingDlg(wxWindow* parent, SettingsStore& store, MessageSink& messages, FileRunner run);

  const std::string& SourceFolder() const { return m_sourceFolder; }
  const std::string& SaveFolder() const { return m_saveFolder; }

 private:
  void OnInitDialog(wxInitDialogEvent& event);
  void OnItemExpanded(wxTreeEvent& event);
  void OnSourceSelChanged(wxTreeEvent& event);
  void OnSaveSelChanged(wxTreeEvent& event);
  void OnAllFiles(wxCommandEvent& event);
  void OnSelectedFiles(wxCommandEvent& event);
  void OnFilterXls(wxCommandEvent& event);
  void OnFilterXlsx(wxCommandEvent& event);
  void OnFilterAll(wxCommandEvent& event);
  void OnActiveSheet(wxCommandEvent& event);
  void OnAllSheets(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);

  void InitTree(wxTreeCtrl* tree, wxTreeItemId* root, const std::string& folder);
  void RefillList();
  void ShowProgress(int value);

  SettingsStore& m_store;
  MessageSink& m_messages;
  FileRunner m_run;

  wxTreeCtrl* m_sourceTree = nullptr;
  wxTreeCtrl* m_saveTree = nullptr;
  wxListBox* m_fileList = nullptr;
  wxGauge* m_progress = nullptr;
  wxTreeItemId m_sourceRoot;
  wxTreeItemId m_saveRoot;

  int m_fileChoice = 0;  // FileChoice
  int m_fileType = kFilterAllFiles;
  int m_sheetScope = 0;  // SheetScope
  std::string m_sourceFolder;
  std::string m_saveFolder;
  // Selecting the default nodes while the trees are built must not replace the folders.
  bool m_initialising = false;
  wxStopWatch m_sinceRepaint;  // since the progress bar was last given time to paint

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
