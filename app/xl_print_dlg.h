// The print dialog: source folder and files, the printer, filter and scope, and the batch its OK
// prints; beyond the original, a preview, fit to page width and PDF files instead of a printer.
#pragma once

#include <wx/dialog.h>
#include <wx/stopwatch.h>
#include <wx/treebase.h>

#include <string>

#include "app/folder_layout.h"
#include "app/print_logic.h"
#include "jobs/messages.h"

class wxTreeCtrl;
class wxTreeEvent;
class wxListBox;
class wxGauge;

namespace ledgerix {

class CXlPrintDlg : public wxDialog {
 public:
  CXlPrintDlg(wxWindow* parent, SettingsStore& store, MessageSink& messages);

  const std::string& SourceFolder() const { return m_sourceFolder; }
  // The folder "打印到PDF文件" writes into; asked for at OK when not set beforehand.
  void SetPdfFolder(const std::string& folder) { m_pdfFolder = folder; }
  const std::string& PdfFolder() const { return m_pdfFolder; }
  // What the last batch sent, for the main window's status bar.
  const PrintBatchOutcome& LastOutcome() const { return m_outcome; }
  const PrinterListView& Printers() const { return m_printers; }

 private:
  void OnInitDialog(wxInitDialogEvent& event);
  void OnItemExpanded(wxTreeEvent& event);
  void OnSourceSelChanged(wxTreeEvent& event);
  void OnAllFiles(wxCommandEvent& event);
  void OnSelectedFiles(wxCommandEvent& event);
  void OnFilterXls(wxCommandEvent& event);
  void OnFilterXlsx(wxCommandEvent& event);
  void OnFilterAll(wxCommandEvent& event);
  void OnPrinterSelected(wxCommandEvent& event);
  void OnPrinterDoubleClick(wxCommandEvent& event);
  void OnPreview(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);

  void RefillList();
  void ShowProgress(int value);
  bool AskPdfFolder();

  SettingsStore& m_store;
  MessageSink& m_messages;

  wxTreeCtrl* m_sourceTree = nullptr;
  wxListBox* m_fileList = nullptr;
  wxListBox* m_printerList = nullptr;
  wxGauge* m_progress = nullptr;
  wxTreeItemId m_sourceRoot;

  int m_fileChoice = 0;
  int m_fileType = 2;  // FileTypeFilter
  std::string m_sourceFolder;
  std::string m_pdfFolder;
  PrinterListView m_printers;
  PrintBatchOutcome m_outcome;
  bool m_initialising = false;
  wxStopWatch m_sinceRepaint;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
