// A print server of the tests' own: cupsd on a free loopback port with its configuration, spool
// and logs in a temporary folder, started on first use and stopped at exit. CUPS_SERVER and HOME
// point at it, so nothing reaches the machine's printers or the user's options file.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "print/cups_printer.h"

extern char** environ;

namespace ledgerix::testing {

inline constexpr const char* kCupsd = "/usr/sbin/cupsd";
inline constexpr const char* kPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

// Runs a program with LC_ALL=C.UTF-8; returns its exit status and, when wanted, its output.
inline int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr) {
  std::string command = "LC_ALL=C.UTF-8";
  for (const std::string& a : argv) {
    command += " '";
    for (char c : a) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  command += " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  std::string text;
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    throw std::runtime_error("no free loopback port");
  }
  int port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

inline bool PortAnswers(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

class PrivateCupsd {
 public:
  static bool Available() {
    return access(kCupsd, X_OK) == 0 && access(kPdfPpd, R_OK) == 0 &&
           access("/usr/sbin/lpadmin", X_OK) == 0;
  }

  PrivateCupsd() {
    char pattern[] = "/tmp/ledgerix-cupsd-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    // The server runs its filters as another user, who must reach the driver and the spool.
    std::filesystem::permissions(
        dir_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                  std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                  std::filesystem::perms::others_exec);
    for (const char* sub : {"spool/temp", "log", "cache", "state", "ppd", "ssl", "home", "out"}) {
      std::filesystem::create_directories(dir_ / sub);
    }
    port_ = FreeLoopbackPort();
    std::ofstream(dir_ / "cupsd.conf") << "Listen localhost:" << port_ << "\n"
                                       << "Browsing Off\nWebInterface No\nLogLevel warn\n"
                                       << "DefaultAuthType None\nMaxJobs 0\n"
                                       << "<Location />\n  Order allow,deny\n  Allow all\n"
                                       << "</Location>\n<Policy default>\n  <Limit All>\n"
                                       << "    Order deny,allow\n  </Limit>\n</Policy>\n";
    const std::string d = dir_.string();
    std::ofstream(dir_ / "cups-files.conf")
        << "FileDevice Yes\nPrintcap " << d << "/printcap\nServerRoot " << d << "\nStateDir " << d
        << "/state\nCacheDir " << d << "/cache\nRequestRoot " << d << "/spool\nTempDir " << d
        << "/spool/temp\nAccessLog " << d << "/log/access_log\nErrorLog " << d
        << "/log/error_log\nPageLog " << d << "/log/page_log\nServerKeychain " << d
        << "/ssl\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n";
    Start();
    setenv("HOME", (dir_ / "home").c_str(), 1);
    unsetenv("PRINTER");
    unsetenv("LPDEST");
    PointClientsHere();
  }
  ~PrivateCupsd() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  // Every test binary shares one server; tests set up the queues they need.
  static PrivateCupsd& Shared() {
    static PrivateCupsd server;
    return server;
  }

  int port() const { return port_; }
  const std::filesystem::path& dir() const { return dir_; }
  std::string Server() const { return "localhost:" + std::to_string(port_); }
  std::filesystem::path OutputOf(const std::string& queue) const {
    return dir_ / "out" / (queue + ".pdf");
  }

  void PointClientsHere() {
    setenv("CUPS_SERVER", Server().c_str(), 1);
    print::ReloadServerFromEnvironment();
  }
  // A server address where nothing listens, as when the print server is down.
  void PointClientsNowhere() {
    setenv("CUPS_SERVER", ("localhost:" + std::to_string(FreeLoopbackPort())).c_str(), 1);
    print::ReloadServerFromEnvironment();
  }

  // A queue that writes each job's PDF to OutputOf(name).
  void AddPdfQueue(const std::string& name) {
    Admin({"-p", name, "-v", "file://" + OutputOf(name).string(), "-P", kPdfPpd, "-E"});
  }
  void SetDefault(const std::string& name) { Admin({"-d", name}); }
  void RemoveQueue(const std::string& name) {
    std::string out;
    RunTool({"/usr/sbin/lpadmin", "-h", Server(), "-x", name}, &out);
  }
  void RemoveAllQueues() {
    for (const std::string& q : print::ListPrinters().names) RemoveQueue(q.substr(0, q.find('/')));
  }
  // Queues exactly these, the first the default when makeDefault.
  void UseQueues(const std::vector<std::string>& names, const std::string& defaultName) {
    RemoveAllQueues();
    std::filesystem::remove(dir_ / "home" / ".cups" / "lpoptions");
    for (const std::string& n : names) AddPdfQueue(n);
    if (!defaultName.empty()) SetDefault(defaultName);
  }

  // Waits until `count` jobs of the queue have completed; returns them.
  std::vector<print::QueuedJob> WaitForCompleted(
      const std::string& queue, std::size_t count,
      std::chrono::seconds timeout = std::chrono::seconds(60)) {
    auto end = std::chrono::steady_clock::now() + timeout;
    std::vector<print::QueuedJob> done;
    while (std::chrono::steady_clock::now() < end) {
      done = print::ListJobs(queue, true);
      if (done.size() >= count && print::ListJobs(queue, false).empty()) return done;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done;
  }
  std::string PageLog() const {
    std::ifstream in(dir_ / "log" / "page_log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  void Start() {
    const std::string conf = (dir_ / "cupsd.conf").string();
    const std::string files = (dir_ / "cups-files.conf").string();
    std::vector<std::string> args = {kCupsd, "-f", "-c", conf, "-s", files};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_storage = {"LC_ALL=C.UTF-8", "PATH=/usr/sbin:/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& e : env_storage) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, kCupsd, nullptr, nullptr, argv.data(), envp.data()) != 0) {
      throw std::runtime_error("cannot start cupsd");
    }
    for (int i = 0; i < 200 && !PortAnswers(port_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!PortAnswers(port_)) throw std::runtime_error("cupsd did not start on " + Server());
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = 0;
    }
  }
  void Admin(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/sbin/lpadmin", "-h", Server()});
    std::string out;
    if (RunTool(args, &out) != 0) throw std::runtime_error("lpadmin failed: " + out);
  }

  std::filesystem::path dir_;
  int port_ = 0;
  pid_t pid_ = 0;
};

// A small PDF with one line of text per page, for submitting without the page renderer.
inline std::string MinimalPdf(const std::vector<std::string>& pages) {
  std::vector<std::string> objects;
  const std::size_t n = pages.size();
  std::string kids;
  for (std::size_t i = 0; i < n; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (std::size_t i = 0; i < n; ++i) {
    objects.push_back(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font "
        "<< /F1 3 0 R >> >> /Contents " +
        std::to_string(5 + 2 * i) + " 0 R >>");
    std::string content = "BT /F1 24 Tf 72 720 Td (" + pages[i] + ") Tj ET";
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "\nendstream");
  }
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t off : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

inline std::string PdfText(const std::filesystem::path& pdf) {
  std::string out;
  RunTool({"/usr/bin/pdftotext", "-layout", pdf.string(), "-"}, &out);
  return out;
}

inline int PdfPages(const std::filesystem::path& pdf) {
  std::string out;
  RunTool({"/usr/bin/pdfinfo", pdf.string()}, &out);
  auto at = out.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 6);
}

}  // namespace ledgerix::testing
