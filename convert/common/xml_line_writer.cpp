#include "convert/common/xml_line_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridges/companion.h"

namespace ledgerix {
namespace {

thread_local OutputRecorder* current_recorder = nullptr;

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode() {
  static const mode_t mode = [] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// Writes into a temporary file beside the target and renames it into place on Commit.
class AtomicFileSink : public LineSink {
 public:
  explicit AtomicFileSink(std::string path) : path_(std::move(path)) {
    temp_ = FolderOf(path_) + "/.ledgerix-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
      open_errno_ = errno;
    } else {
      ::fchmod(fd_, NewFileMode());
    }
  }
  ~AtomicFileSink() override {
    if (fd_ >= 0) {
      ::close(fd_);
      ::unlink(temp_.c_str());
    }
  }

  void Write(std::string_view bytes) override {
    if (fd_ < 0) Fail(open_errno_ ? open_errno_ : EBADF);
    buffer_.append(bytes);
    // Keep memory flat for large documents.
    if (buffer_.size() >= (1u << 16)) Flush();
  }

  void Commit() override {
    if (fd_ < 0) Fail(open_errno_ ? open_errno_ : EBADF);
    Flush();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      int e = errno;
      ::unlink(temp_.c_str());
      Fail(e);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
      int e = errno;
      ::unlink(temp_.c_str());
      Fail(e);
    }
    NoteOutputWritten(path_);
  }

 private:
  void Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
      ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail(errno);
      }
      done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
  }
  [[noreturn]] void Fail(int error) const {
    throw AutomationError("无法写入文件 " + path_ + "：" + std::strerror(error));
  }

  std::string path_;
  std::string temp_;
  std::string buffer_;
  int fd_ = -1;
  int open_errno_ = 0;
};

}  // namespace

void AppendXmlEscaped(std::string& out, std::string_view value, bool attribute) {
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      default:
        out.push_back(c);
    }
  }
}

std::string XmlEscape(std::string_view value, bool attribute) {
  std::string out;
  out.reserve(value.size());
  AppendXmlEscaped(out, value, attribute);
  return out;
}

std::unique_ptr<LineSink> CreateFileSink(const std::string& path) {
  return std::make_unique<AtomicFileSink>(path);
}

XmlLineWriter XmlLineWriter::Create(const std::string& path) {
  return XmlLineWriter(CreateFileSink(path));
}

void XmlLineWriter::WriteLine(std::string_view text) {
  encoded_.clear();
  AppendAnsi(encoded_, text);
  encoded_.push_back('\n');
  sink_->Write(encoded_);
}

void XmlLineWriter::ElementLine(std::string_view tag, std::string_view value) {
  line_.clear();
  line_.append("<").append(tag).append(">");
  AppendXmlEscaped(line_, value, false);
  line_.append("</").append(tag).append(">");
  WriteLine(line_);
}

void XmlLineWriter::AmountLine(std::string_view tag, std::string_view value) {
  ElementLine(tag, value.empty() ? std::string_view("0") : value);
}

void XmlLineWriter::Close() { sink_->Commit(); }

void NoteOutputWritten(const std::string& path) {
  if (current_recorder) current_recorder->outputs_.push_back(path);
}

OutputRecorder::OutputRecorder() : previous_(current_recorder) { current_recorder = this; }
OutputRecorder::~OutputRecorder() { current_recorder = previous_; }

}  // namespace ledgerix
