// One running program per user: a lock named "Ledgerix" and a local IPC request with which a
// second start asks the first to come forward.
#pragma once

#include <wx/ipc.h>
#include <wx/string.h>

#include <functional>
#include <memory>

class wxSingleInstanceChecker;

namespace ledgerix {

class SingleInstance {
 public:
  SingleInstance();
  ~SingleInstance();

  // Takes the lock. False when it cannot be had at all.
  bool Create();
  bool AnotherIsRunning() const;
  // Asks the running instance to restore and raise its window; a failed request is ignored.
  void AskRunningToRaise() const;
  // Starts answering raise requests with onRaise; false when the IPC service could not start.
  bool Serve(std::function<void()> onRaise);

 private:
  wxString m_folder;   // where the lock and the IPC socket live
  wxString m_service;  // the IPC service name
  std::unique_ptr<wxSingleInstanceChecker> m_checker;
  std::unique_ptr<wxServer> m_server;
};

}  // namespace ledgerix
