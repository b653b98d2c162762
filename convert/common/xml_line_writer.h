// Writes an output document line by line in GBK, atomically, and the element-line rules.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bridges/spreadsheet.h"

namespace ledgerix {

// Escapes a value taken from a cell for element content (& < >) or, with attribute, for a
// double-quoted attribute (also ").
std::string XmlEscape(std::string_view value, bool attribute = false);
void AppendXmlEscaped(std::string& out, std::string_view value, bool attribute);

// Where the lines go: a file, or memory in tests.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Write(std::string_view bytes) = 0;
  // Makes the written bytes the finished output.
  virtual void Commit() = 0;
};

// Collects everything and renames it into place on Commit: a conversion that fails part way
// leaves no partial file and keeps an earlier file of that name. A file that cannot be
// created raises its error at the first Write, as the writer reports nothing on Create.
std::unique_ptr<LineSink> CreateFileSink(const std::string& path);

class XmlLineWriter {
 public:
  explicit XmlLineWriter(std::unique_ptr<LineSink> sink) : sink_(std::move(sink)) {}
  // A writer on the file at path (created or replaced on Close).
  static XmlLineWriter Create(const std::string& path);

  // Writes text (UTF-8: one line or a fixed block), GBK-encoded, followed by a line feed.
  void WriteLine(std::string_view text);
  // "<tag>" + escaped value + "</tag>".
  void ElementLine(std::string_view tag, std::string_view value);
  // As ElementLine, but the empty text gives "0".
  void AmountLine(std::string_view tag, std::string_view value);
  // Finishes the file; reports it to the output recorder.
  void Close();

 private:
  std::unique_ptr<LineSink> sink_;
  std::string line_;     // reused for each element line
  std::string encoded_;  // reused for each line's GBK bytes
};

// Output files written during a conversion, for the caller's report. Converters call
// NoteOutputWritten once per finished output; a recorder in scope collects them.
void NoteOutputWritten(const std::string& path);
class OutputRecorder {
 public:
  OutputRecorder();
  ~OutputRecorder();
  OutputRecorder(const OutputRecorder&) = delete;
  OutputRecorder& operator=(const OutputRecorder&) = delete;
  const std::vector<std::string>& outputs() const { return outputs_; }

 private:
  friend void NoteOutputWritten(const std::string& path);
  std::vector<std::string> outputs_;
  OutputRecorder* previous_;
};

}  // namespace ledgerix
