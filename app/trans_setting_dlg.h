// The conversion dialog: source and save folders, the file list, filter and scope, and the
// batch its OK runs.
#pragma once

#include <wx/dialog.h>
#include <wx/stopwatch.h>
#include <wx/treebase.h>

#include <string>
#include <utility>
#include <vector>

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

  ~CTransSettingDlg() override;

  const std::string& SourceFolder() const { return m_sourceFolder; }
  const std::string& SaveFolder() const { return m_saveFolder; }
  // After the dialog closed: whether a batch ran, and how many files it converted.
  bool BatchRan() const { return m_batchRan; }
  std::size_t ConvertedCount() const { return m_converted; }
  bool BatchRunning() const { return m_batchRunning; }

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
  void OnCancel(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void ScrollSelectionsIntoView();
  // Every control but 取消 and the progress bar is disabled while a batch runs; the previous
  // states come back when the batch leaves the dialog open.
  void LockForBatch(bool lock);

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
  bool m_batchRunning = false;
  bool m_stopRequested = false;
  bool m_batchRan = false;
  std::size_t m_converted = 0;
  std::vector<std::pair<wxWindow*, bool>> m_lockedControls;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
