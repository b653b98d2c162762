// The main window: the menu of report commands, the status bar and a blank child view.
#pragma once

#include <wx/frame.h>

#include <functional>
#include <optional>
#include <string>

#include "app/trans_logic.h"
#include "app/wx_support.h"

namespace ledgerix {

// The client area: a sunken blank view that draws nothing.
class CChildView : public wxWindow {
 public:
  explicit CChildView(wxWindow* parent);
};

class CMainFrame : public wxFrame {
 public:
  CMainFrame();

  // Brings the window back to normal size and in front (a second start asks for this).
  void RestoreAndRaise();
  // Where the commands' messages go; message boxes over this window unless replaced.
  void SetMessageSink(MessageSink& sink) { m_sink = &sink; }
  // What converts one file of a batch (RunConversion unless replaced).
  void SetFileRunner(FileRunner run) { m_run = std::move(run); }
  // What opens a folder or document with the desktop's handler.
  void SetLauncher(std::function<bool(const std::string&)> launch) { m_launch = std::move(launch); }
  // The save folder of the last batch; empty before one ran.
  const std::string& LastSaveFolder() const { return m_lastSaveFolder; }

 private:
  void OnReport(wxCommandEvent& event);
  void OnPrintBatch(wxCommandEvent& event);
  void OnExit(wxCommandEvent& event);
  void OnViewStatusBar(wxCommandEvent& event);
  void OnUpdateViewStatusBar(wxUpdateUIEvent& event);
  void OnSettings(wxCommandEvent& event);
  void OnHelp(wxCommandEvent& event);
  void OnLicense(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  void OnOpenOutputFolder(wxCommandEvent& event);
  void OnUpdateOpenOutputFolder(wxUpdateUIEvent& event);
  // Back to this window after a dialog: the window manager does not always give it back.
  void TakeFocusBack();
  void OnIdle(wxIdleEvent& event);
  // The first start centres the window on the screen; later ones open it as it was left.
  void PlaceOnScreen();
  void RememberNormalRect();
  void OnMove(wxMoveEvent& event);
  // Moves the window where PlaceOnScreen wanted it when the window manager put it elsewhere.
  void MoveToWantedPosition();
  void OnSize(wxSizeEvent& event);
  void OnClose(wxCloseEvent& event);

  void OpenDocument(const std::string& path, std::string_view missingMessage);
  void UpdateIndicators();

  CChildView* m_wndView = nullptr;
  WxSettingsStore m_settings;
  WxMessageSink m_messages;
  MessageSink* m_sink = &m_messages;
  FileRunner m_run;
  std::function<bool(const std::string&)> m_launch;
  std::string m_lastSaveFolder;
  wxRect m_normalRect;  // the frame's rectangle when last neither maximised nor minimised
  // Where PlaceOnScreen put the window, until the window manager has it there.
  std::optional<wxPoint> m_wantedPosition;
  int m_placeAttempts = 0;
  int m_indicatorState[3] = {-1, -1, -1};  // shown state of CAP, NUM, SCRL; -1 not yet

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
