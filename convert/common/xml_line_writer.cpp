#include "convert/common/xml_line_writer.h"

#include <optional>

#include "bridges/companion.h"
#include "bridges/output_files.h"

namespace ledgerix {
namespace {

thread_local OutputRecorder* current_recorder = nullptr;

// Streams into an AtomicFile, in blocks so that memory stays flat for large documents.
class AtomicFileSink : public LineSink {
 public:
  // Nothing is created until the first line, so a writer is made without error.
  explicit AtomicFileSink(std::string path) : path_(std::move(path)) {}

  void Write(std::string_view bytes) override {
    File();
    buffer_.append(bytes);
    if (buffer_.size() >= (1u << 16)) Flush();
  }

  void Commit() override {
    Flush();
    File().Commit();
    NoteOutputWritten(path_);
  }

 private:
  AtomicFile& File() {
    if (!file_) file_.emplace(path_);
    return *file_;
  }
  void Flush() {
    File().Write(buffer_);
    buffer_.clear();
  }

  std::string path_;
  std::optional<AtomicFile> file_;
  std::string buffer_;
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
