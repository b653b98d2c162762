// The application object: single instance, platform start-up, the main window and the
// program folder.
#pragma once

#include <wx/app.h>

#include <memory>

#include "app/single_instance.h"

namespace ledgerix {

class CMainFrame;

class CLedgerixApp : public wxApp {
 public:
  bool OnInit() override;
  int OnRun() override;
  int OnExit() override;
  bool OnExceptionInMainLoop() override;
  void OnUnhandledException() override;

 protected:
  CMainFrame* MainFrame() const { return m_mainFrame; }

 private:
  std::unique_ptr<SingleInstance> m_instance;
  CMainFrame* m_mainFrame = nullptr;
  bool m_handedOver = false;  // a second start that asked the first to come forward
};

}  // namespace ledgerix
