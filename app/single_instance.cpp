#include "app/single_instance.h"

#include <wx/filename.h>
#include <wx/ipc.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

#include "app/wx_support.h"

#ifndef __WINDOWS__
#include <unistd.h>
#endif

namespace ledgerix {
namespace {

wxString InstanceName() { return ToWx("Ledgerix"); }
wxString RaiseTopic() { return ToWx("raise"); }

class RaiseConnection : public wxConnection {
 public:
  explicit RaiseConnection(std::function<void()> onRaise) : m_onRaise(std::move(onRaise)) {}
  bool OnExec(const wxString&, const wxString&) override {
    m_onRaise();
    return true;
  }

 private:
  std::function<void()> m_onRaise;
};

class RaiseServer : public wxServer {
 public:
  explicit RaiseServer(std::function<void()> onRaise) : m_onRaise(std::move(onRaise)) {}
  wxConnectionBase* OnAcceptConnection(const wxString& topic) override {
    return topic == RaiseTopic() ? new RaiseConnection(m_onRaise) : nullptr;
  }

 private:
  std::function<void()> m_onRaise;
};

}  // namespace

SingleInstance::SingleInstance() {
#ifdef __WINDOWS__
  m_service = InstanceName();  // a DDE service name
#else
  // Per user and per logon: the runtime folder when the session has one.
  wxString runtime;
  wxString name = InstanceName();
  if (wxGetEnv(ToWx("XDG_RUNTIME_DIR"), &runtime) && wxFileName::DirExists(runtime)) {
    m_folder = runtime;
  } else {
    m_folder = wxFileName::GetTempDir();
    name += ToWx("-") + wxGetUserId();
  }
  m_service = wxFileName(m_folder, name + ToWx(".ipc")).GetFullPath();
#endif
}

SingleInstance::~SingleInstance() {
  m_server.reset();
#ifndef __WINDOWS__
  if (m_checker && !m_checker->IsAnotherRunning()) ::unlink(m_service.fn_str());
#endif
}

bool SingleInstance::Create() {
  m_checker = std::make_unique<wxSingleInstanceChecker>();
#ifdef __WINDOWS__
  return m_checker->Create(InstanceName());
#else
  wxString name = wxFileName(m_service).GetName();
  return m_checker->Create(name, m_folder);
#endif
}

bool SingleInstance::AnotherIsRunning() const { return m_checker->IsAnotherRunning(); }

void SingleInstance::AskRunningToRaise() const {
  wxClient client;
  std::unique_ptr<wxConnectionBase> connection(
      client.MakeConnection(ToWx("localhost"), m_service, RaiseTopic()));
  if (!connection) return;
  connection->Execute(RaiseTopic());
  connection->Disconnect();
}

bool SingleInstance::Serve(std::function<void()> onRaise) {
#ifndef __WINDOWS__
  // We hold the lock, so a socket file left here belongs to an instance that died.
  ::unlink(m_service.fn_str());
#endif
  m_server = std::make_unique<RaiseServer>(std::move(onRaise));
  if (!m_server->Create(m_service)) {
    m_server.reset();
    return false;
  }
  return true;
}

}  // namespace ledgerix
