// The application object: single instance, platform start-up, the main window and the
// program folder.
#pragma once

#include <wx/app.h>
#include <wx/weakref.h>

#include <memory>

#include "app/main_frame.h"
#include "app/single_instance.h"

namespace ledgerix {

class CLedgerixApp : public wxApp {
 public:
  bool OnInit() override;
  int OnRun() override;
  int OnExit() override;
  bool OnExceptionInMainLoop() override;
  void OnUnhandledException() override;

 protected:
  CMainFrame* MainFrame() const { return m_mainFrame.get(); }

 private:
  std::unique_ptr<SingleInstance> m_instance;
  wxWeakRef<CMainFrame> m_mainFrame;  // cleared when the window is destroyed
  bool m_handedOver = false;          // a second start that asked the first to come forward
};

}  // namespace ledgerix
