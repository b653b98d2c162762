#include "app/main_frame.h"

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
#include "app/xl_print_dlg.h"
#include "convert/common/program_folder.h"

#if defined(__WXGTK__)
#include <wx/display.h>
#endif

namespace ledgerix {
namespace {

// Status bar panes after the message pane.
constexpr const char* kIndicatorText[] = {"CAP", "NUM", "SCRL"};
constexpr wxKeyCode kIndicatorKey[] = {WXK_CAPITAL, WXK_NUMLOCK, WXK_SCROLL};

bool IndicatorKeysReadable() {
#if defined(__WXGTK__)
  // wxGetKeyState reads toggle keys through X11 only.
  return wxGetDisplayInfo().type == wxDisplayX11;
#else
  return true;
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
      m_messages(this) {
  SetIcons(ProgramIcons());
  SetMenuBar(wxXmlResource::Get()->LoadMenuBar(this, wxString::Format("%d", kMainMenuResource)));
  SetAcceleratorTable(LoadAcceleratorTable(kMainMenuResource));

  wxStatusBar* bar = CreateStatusBar(4);
  const int indicatorWidth = bar->GetTextExtent("SCRL").GetWidth() + 16;
  const int widths[] = {-1, indicatorWidth, indicatorWidth, indicatorWidth};
  bar->SetStatusWidths(4, widths);
  SetStatusText(ToWx(kReadyText), 0);

  m_wndView = new CChildView(this);
  Centre();
  UpdateIndicators();
}

void CMainFrame::RestoreAndRaise() {
  if (IsIconized()) Iconize(false);
  if (IsMaximized()) Maximize(false);
  Show(true);
  Raise();
}

void CMainFrame::OnReport(wxCommandEvent& event) {
  CurrentReportKind = ReportKindForCommand(CommandFromToolkitId(event.GetId()));
  CTransSettingDlg dialog(this, m_settings, *m_sink, RunConversion);
  dialog.ShowModal();
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
}

void CMainFrame::OpenDocument(const std::string& path, std::string_view missingMessage) {
  if (!wxFileName::FileExists(ToWx(path))) {
    m_sink->ShowMessage(missingMessage, MessageIcon::Exclamation);
    return;
  }
  wxLaunchDefaultApplication(ToWx(path));
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
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
  event.Skip();
  UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
  static const bool readable = IndicatorKeysReadable();
  for (int i = 0; i < 3; ++i) {
    const int on = readable && wxGetKeyState(kIndicatorKey[i]) ? 1 : 0;
    if (on == m_indicatorState[i]) continue;
    m_indicatorState[i] = on;
    SetStatusText(on ? kIndicatorText[i] : "", i + 1);
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
  EVT_IDLE(CMainFrame::OnIdle)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
