#include "app/trans_setting_dlg.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/stopwatch.h>
#include <wx/treectrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "app/companion_tree.h"
#include "app/folder_tree_logic.h"
#include "app/message_box.h"
#include "app/password_dlg.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"
#include "convert/common/program_folder.h"

namespace ledgerix {
namespace {
enum : int {
  kIdOK = 1,
  kIdCancel = 2,
  kIdSourceTree = 1002,
  kIdAllFiles = 1003,
  kIdSelectedFiles = 1004,
  kIdFileList = 1005,
  kIdSaveTree = 1012,
  kIdFilterXls = 1014,
  kIdFilterXlsx = 1015,
  kIdFilterAll = 1016,
  kIdActiveSheet = 1018,
  kIdAllSheets = 1019,
  kIdProgress = 1020,
};

constexpr std::string_view kTreeRootText = "我的电脑";
constexpr std::string_view kSizeKey = "conversion";

bool RadioIsSet(wxWindow* dialog, int id) {
  return wxDynamicCast(dialog->FindWindow(id), wxRadioButton)->GetValue();
}

}  // namespace

CTransSettingDlg::CTransSettingDlg(wxWindow* parent, SettingsStore& store, MessageSink& messages,
                                   FileRunner run)
    : m_store(store), m_messages(messages), m_run(std::move(run)) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kTransDialogResource));
  SetAffirmativeId(kIdOK);
  SetEscapeId(kIdCancel);
  m_sourceTree = wxDynamicCast(FindWindow(kIdSourceTree), wxTreeCtrl);
  m_saveTree = wxDynamicCast(FindWindow(kIdSaveTree), wxTreeCtrl);
  m_fileList = wxDynamicCast(FindWindow(kIdFileList), wxListBox);
  m_progress = wxDynamicCast(FindWindow(kIdProgress), wxGauge);
  Fit();
  SetMinSize(GetSize());
  RestoreDialogSize(this, kSizeKey);
  CentreOnParent();
  CentreWhenMapped(this);
}

CTransSettingDlg::~CTransSettingDlg() { SaveDialogSize(this, kSizeKey); }

void CTransSettingDlg::InitTree(wxTreeCtrl* tree, wxTreeItemId* root, const std::string& folder) {
  *root = tree->AddRoot(ToWx(kTreeRootText));
  fnAddTreeDrive(tree, *root);
  fnAddTreeDriveDir(tree, *root);
  tree->Expand(*root);
  fnSetTreeDefaultItem(tree, *root, folder);
}

void CTransSettingDlg::OnInitDialog(wxInitDialogEvent& event) {
  event.Skip();  // the radio buttons show their initial values from the resource
  const TransDialogStart start =
      PlanTransDialog(ReadDefaultFolders(m_store), CurrentReportKind, ProgramFolder());
  m_initialising = true;
  m_sourceFolder = start.sourceFolder;
  InitTree(m_sourceTree, &m_sourceRoot, start.sourceTreeFolder);
  m_fileList->Enable(false);
  RefillList();
  m_saveFolder = start.saveFolder;
  InitTree(m_saveTree, &m_saveRoot, start.saveTreeFolder);
  m_initialising = false;
  FindWindow(kIdActiveSheet)->Enable(start.scopeEnabled);
  FindWindow(kIdAllSheets)->Enable(start.scopeEnabled);
  // A tree scrolls only once it has its size on screen.
  CallAfter([this] { ScrollSelectionsIntoView(); });
}

void CTransSettingDlg::ScrollSelectionsIntoView() {
  for (wxTreeCtrl* tree : {m_sourceTree, m_saveTree}) {
    const wxTreeItemId selected = tree->GetSelection();
    if (!selected.IsOk()) continue;
    tree->EnsureVisible(selected);
    tree->ScrollTo(selected);
  }
}

void CTransSettingDlg::OnItemExpanded(wxTreeEvent& event) {
  auto* tree = wxDynamicCast(event.GetEventObject(), wxTreeCtrl);
  const wxTreeItemId root = tree == m_sourceTree ? m_sourceRoot : m_saveRoot;
  const wxTreeItemId item = event.GetItem();
  if (item == root) return;
  // One level ahead of what the user opened, so every child shows whether it can expand.
  wxTreeItemIdValue cookie;
  for (wxTreeItemId c = tree->GetFirstChild(item, cookie); c.IsOk();
       c = tree->GetNextChild(item, cookie)) {
    fnAddTreeNode(tree, root, c);
  }
}

void CTransSettingDlg::OnSourceSelChanged(wxTreeEvent& event) {
  if (m_initialising || event.GetItem() == m_sourceRoot) return;
  m_sourceFolder = WithSeparator(fnGetTreeFullPath(m_sourceTree, m_sourceRoot, event.GetItem()));
  RefillList();
}

void CTransSettingDlg::OnSaveSelChanged(wxTreeEvent& event) {
  if (m_initialising || event.GetItem() == m_saveRoot) return;
  // fnGetTreeFullPath ends folders with a separator, as the converters need.
  m_saveFolder = fnGetTreeFullPath(m_saveTree, m_saveRoot, event.GetItem());
}

void CTransSettingDlg::RefillList() {
  wxArrayString names;
  for (const std::string& name : FileListFor(m_sourceFolder, m_fileType)) names.Add(ToWx(name));
  m_fileList->Set(names);
}

void CTransSettingDlg::OnAllFiles(wxCommandEvent&) {
  m_fileChoice = static_cast<int>(FileChoice::All);
  m_fileList->Enable(false);
}

void CTransSettingDlg::OnSelectedFiles(wxCommandEvent&) {
  m_fileChoice = static_cast<int>(FileChoice::Selected);
  m_fileList->Enable(true);
}

void CTransSettingDlg::OnFilterXls(wxCommandEvent&) {
  m_fileType = kFilterXls;
  RefillList();
}

void CTransSettingDlg::OnFilterXlsx(wxCommandEvent&) {
  m_fileType = kFilterXlsx;
  RefillList();
}

void CTransSettingDlg::OnFilterAll(wxCommandEvent&) {
  m_fileType = kFilterAllFiles;
  RefillList();
}

void CTransSettingDlg::OnActiveSheet(wxCommandEvent&) {
  m_sheetScope = static_cast<int>(SheetScope::Active);
}

void CTransSettingDlg::OnAllSheets(wxCommandEvent&) {
  m_sheetScope = static_cast<int>(SheetScope::All);
}

void CTransSettingDlg::ShowProgress(int value) {
  m_progress->SetValue(value);
  // The toolkit paints on its frame clock, which a busy thread never reaches: hand it one
  // frame's time now and then. Every event is taken then, input included, so that nothing
  // typed during the batch waits to be replayed after it: the locked controls ignore it, and
  // 取消 or Escape asks whether to stop.
  constexpr long kRepaintEveryMs = 200, kFrameMs = 20;
  if (value != 100 && m_sinceRepaint.Time() < kRepaintEveryMs) {
    return;
  }
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  wxStopWatch frame;
  do {
    m_progress->Update();
    if (loop && !loop->IsYielding()) {
      loop->YieldFor(wxEVT_CATEGORY_ALL);
      // The toolkit posts some answers to input (Escape's 取消) rather than sending them.
      wxTheApp->ProcessPendingEvents();
    }
    wxMilliSleep(1);
  } while (frame.Time() < kFrameMs);
  m_sinceRepaint.Start();
}

void CTransSettingDlg::LockForBatch(bool lock) {
  if (!lock) {
    for (auto [window, enabled] : m_lockedControls) window->Enable(enabled);
    m_lockedControls.clear();
    return;
  }
  std::vector<wxWindow*> pending(GetChildren().begin(), GetChildren().end());
  while (!pending.empty()) {
    wxWindow* window = pending.back();
    pending.pop_back();
    for (wxWindow* child : window->GetChildren()) pending.push_back(child);
    const int id = window->GetId();
    if (id == kIdCancel || id == kIdProgress || window->GetChildren().size() > 0) continue;
    m_lockedControls.emplace_back(window, window->IsThisEnabled());
    window->Enable(false);
  }
  // Keys go to the focused control; a disabled one would leave Escape nowhere to go.
  FindWindow(kIdCancel)->SetFocus();
}

void CTransSettingDlg::OnClose(wxCloseEvent& event) {
  if (!m_batchRunning) {
    event.Skip();
    return;
  }
  // The window manager's close button during a batch is 取消: ask, do not close mid-file.
  event.Veto();
  wxCommandEvent cancel(wxEVT_BUTTON, kIdCancel);
  OnCancel(cancel);
}

void CTransSettingDlg::OnCancel(wxCommandEvent& event) {
  if (!m_batchRunning) {
    event.Skip();  // the dialog's own: close, nothing done
    return;
  }
  if (m_stopRequested) return;
  LedgerixMessageBox question(this, kStopQuestion, MessageBoxButtons::YesNo);
  if (question.ShowModal() == wxID_YES) m_stopRequested = true;
}

void CTransSettingDlg::OnOK(wxCommandEvent&) {
  DialogBatch batch;
  batch.reportKind = CurrentReportKind;
  batch.sourceFolder = m_sourceFolder;
  batch.saveFolder = m_saveFolder;
  batch.choice = RadioIsSet(this, kIdAllFiles) ? FileChoice::All : FileChoice::Selected;
  batch.sheetScope = RadioIsSet(this, kIdAllSheets) ? SheetScope::All : SheetScope::Active;
  for (const wxString& name : m_fileList->GetStrings()) batch.items.push_back(ToUtf8(name));
  wxArrayInt selections;
  m_fileList->GetSelections(selections);
  for (int i : selections) batch.selected.push_back(static_cast<std::size_t>(i));
  batch.askPassword = [this](const std::string& fileName) {
    return AskWorkbookPassword(this, fileName);
  };
  m_progress->SetRange(100);
  // Started a frame's interval ago, so that the first progress value is painted at once (a
  // negative start would hold every value back for the first second).
  m_sinceRepaint.Start(1000);

  DialogBatchEnd end;
  {
    // Not for the "nothing selected" answer, which comes before any work.
    const bool work = batch.choice == FileChoice::All || !batch.selected.empty();
    std::unique_ptr<wxBusyCursor> wait(work ? new wxBusyCursor : nullptr);
    if (work) {
      m_batchRunning = true;
      m_stopRequested = false;
      LockForBatch(true);
    }
    end = RunDialogBatch(
        batch, m_run, m_messages, [this](int v) { ShowProgress(v); },
        [this] { return m_stopRequested; }, &m_converted);
    m_batchRunning = false;
    if (work) LockForBatch(false);
  }
  if (end == DialogBatchEnd::Completed || end == DialogBatchEnd::Stopped) {
    m_batchRan = true;
    EndModal(kIdOK);
  }
}

// clang-format off
wxBEGIN_EVENT_TABLE(CTransSettingDlg, wxDialog)
  EVT_INIT_DIALOG(CTransSettingDlg::OnInitDialog)
  EVT_TREE_ITEM_EXPANDED(kIdSourceTree, CTransSettingDlg::OnItemExpanded)
  EVT_TREE_ITEM_EXPANDED(kIdSaveTree, CTransSettingDlg::OnItemExpanded)
  EVT_TREE_SEL_CHANGED(kIdSourceTree, CTransSettingDlg::OnSourceSelChanged)
  EVT_TREE_SEL_CHANGED(kIdSaveTree, CTransSettingDlg::OnSaveSelChanged)
  EVT_RADIOBUTTON(kIdAllFiles, CTransSettingDlg::OnAllFiles)
  EVT_RADIOBUTTON(kIdSelectedFiles, CTransSettingDlg::OnSelectedFiles)
  EVT_RADIOBUTTON(kIdFilterXls, CTransSettingDlg::OnFilterXls)
  EVT_RADIOBUTTON(kIdFilterXlsx, CTransSettingDlg::OnFilterXlsx)
  EVT_RADIOBUTTON(kIdFilterAll, CTransSettingDlg::OnFilterAll)
  EVT_RADIOBUTTON(kIdActiveSheet, CTransSettingDlg::OnActiveSheet)
  EVT_RADIOBUTTON(kIdAllSheets, CTransSettingDlg::OnAllSheets)
  EVT_BUTTON(kIdOK, CTransSettingDlg::OnOK)
  EVT_BUTTON(kIdCancel, CTransSettingDlg::OnCancel)
  EVT_CLOSE(CTransSettingDlg::OnClose)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
