#include "app/xl_print_dlg.h"

#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/treectrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "app/companion_tree.h"
#include "app/folder_tree_logic.h"
#include "app/password_dlg.h"
#include "app/print_preview_dlg.h"
#include "app/printer_props_dlg.h"
#include "app/shell_logic.h"
#include "app/trans_logic.h"
#include "app/wx_support.h"
#include "convert/common/program_folder.h"

namespace ledgerix {
namespace {
enum : int {
  kIdOK = 1,
  kIdCancel = 2,
  kIdSourceTree = 1056,
  kIdAllFiles = 1057,
  kIdSelectedFiles = 1058,
  kIdFileList = 1059,
  kIdPrinterList = 1061,
  kIdFilterXls = 1063,
  kIdFilterXlsx = 1064,
  kIdFilterAll = 1065,
  kIdActiveSheet = 1067,
  kIdAllSheets = 1068,
  kIdProgress = 1069,
  kIdPreview = 1070,
  kIdFitWidth = 1071,
};

constexpr const char* kTreeRootText = "我的电脑";

bool RadioIsSet(wxWindow* dialog, int id) {
  return wxDynamicCast(dialog->FindWindow(id), wxRadioButton)->GetValue();
}

}  // namespace

CXlPrintDlg::CXlPrintDlg(wxWindow* parent, SettingsStore& store, MessageSink& messages)
    : m_store(store), m_messages(messages) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kPrintDialogResource));
  SetAffirmativeId(kIdOK);
  SetEscapeId(kIdCancel);
  m_sourceTree = wxDynamicCast(FindWindow(kIdSourceTree), wxTreeCtrl);
  m_fileList = wxDynamicCast(FindWindow(kIdFileList), wxListBox);
  m_printerList = wxDynamicCast(FindWindow(kIdPrinterList), wxListBox);
  m_progress = wxDynamicCast(FindWindow(kIdProgress), wxGauge);
  Fit();
  CentreOnParent();
}

void CXlPrintDlg::OnInitDialog(wxInitDialogEvent& event) {
  event.Skip();  // the radio buttons show their initial values from the resource
  const PrintDialogStart start = PlanPrintDialog(ReadDefaultFolders(m_store), ProgramFolder());
  m_initialising = true;
  m_sourceRoot = m_sourceTree->AddRoot(ToWx(kTreeRootText));
  fnAddTreeDrive(m_sourceTree, m_sourceRoot);
  fnAddTreeDriveDir(m_sourceTree, m_sourceRoot);
  m_sourceTree->Expand(m_sourceRoot);
  m_sourceFolder = start.sourceFolder;
  fnSetTreeDefaultItem(m_sourceTree, m_sourceRoot, start.sourceTreeFolder);
  m_initialising = false;
  m_fileList->Enable(false);
  RefillList();

  m_printers = PrinterListFor(print::ListPrinters(), ProcessPrinterName());
  wxArrayString entries;
  for (const std::string& e : m_printers.entries) entries.Add(ToWx(e));
  m_printerList->Set(entries);
  if (m_printers.selected >= 0) m_printerList->SetSelection(m_printers.selected);
  ProcessPrinterName() = m_printers.printerName;
  FindWindow(kIdOK)->Enable(m_printers.okEnabled);
}

void CXlPrintDlg::OnItemExpanded(wxTreeEvent& event) {
  const wxTreeItemId item = event.GetItem();
  if (item == m_sourceRoot) return;
  wxTreeItemIdValue cookie;
  for (wxTreeItemId c = m_sourceTree->GetFirstChild(item, cookie); c.IsOk();
       c = m_sourceTree->GetNextChild(item, cookie)) {
    fnAddTreeNode(m_sourceTree, m_sourceRoot, c);
  }
}

void CXlPrintDlg::OnSourceSelChanged(wxTreeEvent& event) {
  if (m_initialising || event.GetItem() == m_sourceRoot) return;
  m_sourceFolder = WithSeparator(fnGetTreeFullPath(m_sourceTree, m_sourceRoot, event.GetItem()));
  RefillList();
}

void CXlPrintDlg::RefillList() {
  wxArrayString names;
  for (const std::string& name : FileListFor(m_sourceFolder, m_fileType)) names.Add(ToWx(name));
  m_fileList->Set(names);
}

void CXlPrintDlg::OnAllFiles(wxCommandEvent&) {
  m_fileChoice = 0;
  m_fileList->Enable(false);
}

void CXlPrintDlg::OnSelectedFiles(wxCommandEvent&) {
  m_fileChoice = 1;
  m_fileList->Enable(true);
}

void CXlPrintDlg::OnFilterXls(wxCommandEvent&) {
  m_fileType = kFilterXls;
  RefillList();
}

void CXlPrintDlg::OnFilterXlsx(wxCommandEvent&) {
  m_fileType = kFilterXlsx;
  RefillList();
}

void CXlPrintDlg::OnFilterAll(wxCommandEvent&) {
  m_fileType = kFilterAllFiles;
  RefillList();
}

void CXlPrintDlg::OnPrinterSelected(wxCommandEvent&) {
  const PrinterSelection s = SelectPrinterEntry(m_printers, m_printerList->GetSelection());
  ProcessPrinterName() = s.printerName;
  FindWindow(kIdOK)->Enable(s.okEnabled);
}

void CXlPrintDlg::OnPrinterDoubleClick(wxCommandEvent&) {
  const std::string name = ProcessPrinterName();
  if (IsPdfEntry(name)) return;  // no printer behind it
  std::optional<print::PrinterInfo> info = print::QueryPrinter(name);
  if (!info) {
    m_messages.ShowMessage(kPrinterError, MessageIcon::Exclamation);
    return;
  }
  CPrinterPropsDlg dialog(this, *info, m_messages);
  dialog.ShowModal();
}

void CXlPrintDlg::OnPreview(wxCommandEvent&) {
  wxArrayInt selections;
  m_fileList->GetSelections(selections);
  const int index = selections.empty() ? 0 : selections[0];
  if (index >= static_cast<int>(m_fileList->GetCount())) {
    m_messages.ShowMessage("没有可预览的文件", MessageIcon::Exclamation);
    return;
  }
  const SheetScope scope = RadioIsSet(this, kIdAllSheets) ? SheetScope::All : SheetScope::Active;
  const bool fit = wxDynamicCast(FindWindow(kIdFitWidth), wxCheckBox)->GetValue();
  CPrintPreviewDlg dialog(this, m_messages);
  if (dialog.Load(scope, m_sourceFolder, ToUtf8(m_fileList->GetString(index)), fit)) {
    dialog.ShowModal();
  }
}

void CXlPrintDlg::ShowProgress(int value) {
  m_progress->SetValue(value);
  // As in the conversion dialog: a frame's time for painting now and then, no input.
  constexpr long kRepaintEveryMs = 200, kFrameMs = 20;
  if (value != 100 && m_sinceRepaint.Time() < kRepaintEveryMs) return;
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  wxStopWatch frame;
  do {
    m_progress->Update();
    if (loop) loop->YieldFor(wxEVT_CATEGORY_UI);
    wxMilliSleep(1);
  } while (frame.Time() < kFrameMs);
  m_sinceRepaint.Start();
}

bool CXlPrintDlg::AskPdfFolder() {
  if (!m_pdfFolder.empty()) return true;
  std::string start = ReadDefaultFolders(m_store).save;
  if (start.empty() || !FolderExists(start)) start = m_sourceFolder;
  wxDirDialog picker(this, ToWx("选择保存PDF文件的文件夹"), ToWx(start),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (picker.ShowModal() != wxID_OK) return false;
  m_pdfFolder = WithSeparator(ToUtf8(picker.GetPath()));
  return true;
}

void CXlPrintDlg::OnOK(wxCommandEvent&) {
  PrintBatch batch;
  batch.allFiles = RadioIsSet(this, kIdAllFiles);
  batch.sheetScope = RadioIsSet(this, kIdAllSheets) ? SheetScope::All : SheetScope::Active;
  batch.sourceFolder = m_sourceFolder;
  batch.printerName = ProcessPrinterName();
  for (const wxString& name : m_fileList->GetStrings()) batch.items.push_back(ToUtf8(name));
  wxArrayInt selections;
  m_fileList->GetSelections(selections);
  for (int i : selections) batch.selected.push_back(static_cast<std::size_t>(i));
  batch.askPassword = [this](const std::string& fileName) {
    return AskWorkbookPassword(this, fileName);
  };
  m_progress->SetRange(100);
  m_sinceRepaint.Start(-1000);

  const bool work = batch.allFiles || !batch.selected.empty();
  if (work && IsPdfEntry(batch.printerName) && !AskPdfFolder()) return;
  const bool fit = wxDynamicCast(FindWindow(kIdFitWidth), wxCheckBox)->GetValue();
  {
    std::unique_ptr<wxBusyCursor> wait(work ? new wxBusyCursor : nullptr);
    m_outcome = RunPrintBatch(batch, PrintRunnerFor(batch, m_pdfFolder, fit), m_messages,
                              [this](int v) { ShowProgress(v); });
  }
  if (m_outcome.end == PrintBatchEnd::Completed) EndModal(kIdOK);
}

// clang-format off
wxBEGIN_EVENT_TABLE(CXlPrintDlg, wxDialog)
  EVT_INIT_DIALOG(CXlPrintDlg::OnInitDialog)
  EVT_TREE_ITEM_EXPANDED(kIdSourceTree, CXlPrintDlg::OnItemExpanded)
  EVT_TREE_SEL_CHANGED(kIdSourceTree, CXlPrintDlg::OnSourceSelChanged)
  EVT_RADIOBUTTON(kIdAllFiles, CXlPrintDlg::OnAllFiles)
  EVT_RADIOBUTTON(kIdSelectedFiles, CXlPrintDlg::OnSelectedFiles)
  EVT_RADIOBUTTON(kIdFilterXls, CXlPrintDlg::OnFilterXls)
  EVT_RADIOBUTTON(kIdFilterXlsx, CXlPrintDlg::OnFilterXlsx)
  EVT_RADIOBUTTON(kIdFilterAll, CXlPrintDlg::OnFilterAll)
  EVT_LISTBOX(kIdPrinterList, CXlPrintDlg::OnPrinterSelected)
  EVT_LISTBOX_DCLICK(kIdPrinterList, CXlPrintDlg::OnPrinterDoubleClick)
  EVT_BUTTON(kIdPreview, CXlPrintDlg::OnPreview)
  EVT_BUTTON(kIdOK, CXlPrintDlg::OnOK)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
