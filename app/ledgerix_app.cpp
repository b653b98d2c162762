#include "app/ledgerix_app.h"

#include <wx/config.h>
#include <wx/socket.h>
#include <wx/stdpaths.h>

#include <exception>
#include <string>

#include "app/main_frame.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"
#include "bridges/process_settings.h"
#include "convert/common/program_folder.h"
#include "engine/server.h"
#include "print/sheet_printer.h"

namespace ledgerix {
namespace {

void ShowExclamation(std::string_view text) {
  WxMessageSink().ShowMessage(text, MessageIcon::Exclamation);
}

// The description of the exception being handled, for the stop box.
std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    if (*e.what()) return e.what();
  } catch (...) {
  }
  return std::string(kInternalError);
}

}  // namespace

bool CLedgerixApp::OnInit() {
  SetAppName(ToWx(kSettingsApp));
  SetVendorName(ToWx(kSettingsVendor));
  InitUiLanguage();

  m_instance = std::make_unique<SingleInstance>();
  if (!m_instance->Create()) return false;
  if (m_instance->AnotherIsRunning()) {
    m_instance->AskRunningToRaise();
    m_handedOver = true;
    return true;
  }

  if (!wxSocketBase::Initialize()) {
    ShowExclamation(kSocketInitFailed);
    return false;
  }
  KeepFreedHeapForReuse();
  try {
    engine::RegisterEmbeddedServer();
    print::InstallSheetPrinter();
  } catch (const std::exception&) {
    ShowExclamation(kOleInitFailed);
    return false;
  }

#ifdef __UNIX__
  wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
#endif
  wxConfigBase::Set(new wxConfig(ToWx(kSettingsApp), ToWx(kSettingsVendor)));
  LoadLedgerixResources();

  m_mainFrame = new CMainFrame;
  m_mainFrame->Show(true);
  m_mainFrame->Update();
  SetTopWindow(m_mainFrame);

  std::string folder = ExecutableFolder();
  if (folder.empty()) {
    ShowExclamation(kNoProgramPath);
    m_mainFrame->Destroy();
    return false;
  }
  SetProgramFolder(std::move(folder));

  // Without the IPC service a second start finds no one to raise and ends quietly; this one
  // still works.
  m_instance->Serve([this] {
    CallAfter([this] {
      if (m_mainFrame) m_mainFrame->RestoreAndRaise();
    });
  });
  return true;
}

int CLedgerixApp::OnRun() {
  if (m_handedOver) return 0;
  return wxApp::OnRun();
}

int CLedgerixApp::OnExit() {
  m_instance.reset();
  delete wxConfigBase::Set(nullptr);
  return wxApp::OnExit();
}

bool CLedgerixApp::OnExceptionInMainLoop() {
  // The one place errors raised by commands end up: shown, and the program goes on.
  WxMessageSink(GetTopWindow()).ShowMessage(CurrentExceptionText(), MessageIcon::Stop);
  return true;
}

void CLedgerixApp::OnUnhandledException() {
  WxMessageSink().ShowMessage(CurrentExceptionText(), MessageIcon::Stop);
}

}  // namespace ledgerix
