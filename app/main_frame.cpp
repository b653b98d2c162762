#include "app/main_frame.h"

#include <wx/display.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/setting_dlg.h"
#include "app/shell_logic.h"
#include "app/trans_setting_dlg.h"
#include "app/window_placement.h"
#include "app/xl_print_dlg.h"
#include "convert/common/program_folder.h"

#if defined(__WXGTK__)
#include <gtk/gtk.h>
#endif

#include <algorithm>
#include <vector>

namespace ledgerix {
namespace {

// Status bar panes after the message pane.
constexpr std::string_view kIndicatorText[] = {"CAP", "NUM", "SCRL"};
#if !defined(__WXGTK__)
constexpr wxKeyCode kIndicatorKey[] = {WXK_CAPITAL, WXK_NUMLOCK, WXK_SCROLL};
#endif

// Whether the lock key of indicator i is on. GTK knows the lock states of every display;
// wxGetKeyState tells only whether Scroll Lock is held down.
bool IndicatorOn(int i) {
#if defined(__WXGTK__)
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
  if (!keymap) return false;
  switch (i) {
    case 0:
      return gdk_keymap_get_caps_lock_state(keymap);
    case 1:
      return gdk_keymap_get_num_lock_state(keymap);
    default:
      return gdk_keymap_get_scroll_lock_state(keymap);
  }
#else
  return wxGetKeyState(kIndicatorKey[i]);
#endif
}

}  // namespace

CChildView::CChildView(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
  SetCursor(wxCursor(wxCURSOR_ARROW));
}

CMainFrame::CMainFrame()
    : wxFrame(nullptr, wxID_ANY, ToWx(kProductName), wxDefaultPosition, wxSize(800, 560)),
      m_messages(this),
      m_run(RunConversion),
      m_launch([](const std::string& path) { return wxLaunchDefaultApplication(ToWx(path)); }) {
  SetIcons(ProgramIcons());
  SetMenuBar(wxXmlResource::Get()->LoadMenuBar(this, ResourceName(kMainMenuResource)));
  SetAcceleratorTable(LoadAcceleratorTable(kMainMenuResource));

  wxStatusBar* bar = CreateStatusBar(4);
  const int indicatorWidth = bar->GetTextExtent(ToWx(kIndicatorText[2])).GetWidth() + 16;
  const int widths[] = {-1, indicatorWidth, indicatorWidth, indicatorWidth};
  bar->SetStatusWidths(4, widths);
  // Drawn as panes, so that the indicators have their place while their keys are off.
  const int styles[] = {wxSB_SUNKEN, wxSB_SUNKEN, wxSB_SUNKEN, wxSB_SUNKEN};
  bar->SetStatusStyles(4, styles);
  SetStatusText(ToWx(kReadyText), 0);

  m_wndView = new CChildView(this);
  PlaceOnScreen();
  UpdateIndicators();
}

void CMainFrame::PlaceOnScreen() {
  std::vector<WindowRect> areas;
  for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
    const wxRect a = wxDisplay(i).GetClientArea();
    // The primary display first: the first start centres there.
    areas.insert(wxDisplay(i).IsPrimary() ? areas.begin() : areas.end(),
                 {a.x, a.y, a.width, a.height});
  }
  const wxSize minimum = GetMinSize();
  const MainWindowGeometry g =
      PlanMainWindow(ReadMainWindowGeometry(m_settings), areas, {0, 0, 800, 560},
                     {0, 0, std::max(minimum.x, 320), std::max(minimum.y, 200)});
  m_normalRect = wxRect(g.rect.x, g.rect.y, g.rect.width, g.rect.height);
  SetSize(m_normalRect);
  if (g.maximized) Maximize(true);
  // Some window managers (openbox) place a new window by their own rule whatever position it
  // asks for before it is shown; once it is on the screen they honour a move.
  if (!g.maximized) m_wantedPosition = m_normalRect.GetPosition();
}

// Called for the moves the window manager reports: the first is its own placement.
void CMainFrame::MoveToWantedPosition() {
  if (!m_wantedPosition || !IsShown()) return;
  if (GetPosition() == *m_wantedPosition || m_placeAttempts >= 3) {
    m_wantedPosition.reset();
    return;
  }
  ++m_placeAttempts;
  const wxPoint wanted = *m_wantedPosition;
  CallAfter([this, wanted] { Move(wanted); });
}

void CMainFrame::RememberNormalRect() {
  if (IsShown() && !IsMaximized() && !IsIconized() && !IsFullScreen()) m_normalRect = GetRect();
}

void CMainFrame::OnMove(wxMoveEvent& event) {
  event.Skip();
  RememberNormalRect();
  MoveToWantedPosition();
}

void CMainFrame::OnSize(wxSizeEvent& event) {
  event.Skip();
  RememberNormalRect();
}

void CMainFrame::OnClose(wxCloseEvent& event) {
  RememberNormalRect();
  SaveMainWindowGeometry(
      m_settings,
      {{m_normalRect.x, m_normalRect.y, m_normalRect.width, m_normalRect.height}, IsMaximized()});
  event.Skip();
}

void CMainFrame::RestoreAndRaise() {
  if (IsIconized()) Iconize(false);
  if (IsMaximized()) Maximize(false);
  Show(true);
  Raise();
}

void CMainFrame::OnReport(wxCommandEvent& event) {
  CurrentReportKind = ReportKindForCommand(CommandFromToolkitId(event.GetId()));
  CTransSettingDlg dialog(this, m_settings, *m_sink, m_run);
  dialog.ShowModal();
  if (dialog.BatchRan()) {
    m_lastSaveFolder = dialog.SaveFolder();
    SetStatusText(ToWx(BatchStatusText(dialog.ConvertedCount(), m_lastSaveFolder)), 0);
  }
  TakeFocusBack();
}

void CMainFrame::TakeFocusBack() {
  Raise();
  SetFocus();
}

void CMainFrame::OnOpenOutputFolder(wxCommandEvent&) {
  if (m_lastSaveFolder.empty()) return;
  if (!wxFileName::DirExists(ToWx(m_lastSaveFolder))) {
    m_sink->ShowMessage("未找到输出文件夹：" + m_lastSaveFolder, MessageIcon::Exclamation);
    return;
  }
  m_launch(m_lastSaveFolder);
}

void CMainFrame::OnUpdateOpenOutputFolder(wxUpdateUIEvent& event) {
  event.Enable(!m_lastSaveFolder.empty());
}

void CMainFrame::OnPrintBatch(wxCommandEvent&) {
  CXlPrintDlg dialog(this, m_settings, *m_sink);
  dialog.ShowModal();
  const PrintBatchOutcome& outcome = dialog.LastOutcome();
  if (outcome.tally.workbooks > 0) {
    SetStatusText(ToWx(PrintSummary(outcome.tally, ProcessPrinterName(), dialog.PdfFolder())), 0);
  }
}

void CMainFrame::OnExit(wxCommandEvent&) { Close(); }

void CMainFrame::OnViewStatusBar(wxCommandEvent&) {
  wxStatusBar* bar = GetStatusBar();
  bar->Show(!bar->IsShown());
  SendSizeEvent();
}

void CMainFrame::OnUpdateViewStatusBar(wxUpdateUIEvent& event) {
  event.Check(GetStatusBar()->IsShown());
}

void CMainFrame::OnSettings(wxCommandEvent&) {
  CSettingDlg dialog(this, m_settings);
  dialog.ShowModal();
  TakeFocusBack();
}

void CMainFrame::OpenDocument(const std::string& path, std::string_view missingMessage) {
  if (!wxFileName::FileExists(ToWx(path))) {
    m_sink->ShowMessage(missingMessage, MessageIcon::Exclamation);
    return;
  }
  m_launch(path);
}

void CMainFrame::OnHelp(wxCommandEvent&) {
  OpenDocument(HelpDocumentPath(ProgramFolder()), kHelpMissing);
}

void CMainFrame::OnLicense(wxCommandEvent&) {
  OpenDocument(LicenseDocumentPath(ProgramFolder()), kLicenseMissing);
}

void CMainFrame::OnAbout(wxCommandEvent&) {
  CAboutDlg dialog(this);
  dialog.ShowModal();
  TakeFocusBack();
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
  event.Skip();
  UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
  for (int i = 0; i < 3; ++i) {
    const int on = IndicatorOn(i) ? 1 : 0;
    if (on == m_indicatorState[i]) continue;
    m_indicatorState[i] = on;
    SetStatusText(on ? ToWx(kIndicatorText[i]) : wxString(), i + 1);
  }
}

// clang-format off
wxBEGIN_EVENT_TABLE(CMainFrame, wxFrame)
  EVT_MENU(ToolkitCommandId(kCmdSystemBalanceSheet), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdSystemIncomeStatement), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdStandardsBalanceSheet), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdStandardsIncomeStatement), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdLocalBalanceSheet), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdLocalIncomeStatement), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdSmallBalanceSheet), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdSmallIncomeStatement), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdIncomeTaxReturn), CMainFrame::OnReport)
  EVT_MENU(ToolkitCommandId(kCmdPrintBatch), CMainFrame::OnPrintBatch)
  EVT_MENU(ToolkitCommandId(kCmdExit), CMainFrame::OnExit)
  EVT_MENU(ToolkitCommandId(kCmdViewStatusBar), CMainFrame::OnViewStatusBar)
  EVT_UPDATE_UI(ToolkitCommandId(kCmdViewStatusBar), CMainFrame::OnUpdateViewStatusBar)
  EVT_MENU(ToolkitCommandId(kCmdSettings), CMainFrame::OnSettings)
  EVT_MENU(ToolkitCommandId(kCmdHelp), CMainFrame::OnHelp)
  EVT_MENU(ToolkitCommandId(kCmdLicense), CMainFrame::OnLicense)
  EVT_MENU(ToolkitCommandId(kCmdAbout), CMainFrame::OnAbout)
  EVT_MENU(ToolkitCommandId(kCmdOpenOutputFolder), CMainFrame::OnOpenOutputFolder)
  EVT_UPDATE_UI(ToolkitCommandId(kCmdOpenOutputFolder), CMainFrame::OnUpdateOpenOutputFolder)
  EVT_IDLE(CMainFrame::OnIdle)
  EVT_MOVE(CMainFrame::OnMove)
  EVT_SIZE(CMainFrame::OnSize)
  EVT_CLOSE(CMainFrame::OnClose)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
