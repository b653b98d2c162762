// Helpers for the desktop program's logic tests: a private temporary folder and recorders.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/folder_layout.h"
#include "jobs/messages.h"

namespace ledgerix::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-app-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // The folder, without a trailing separator.
  std::string str() const { return path_.string(); }
  std::filesystem::path path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void Touch(const std::filesystem::path& file) { std::ofstream(file) << "x"; }

class MemoryStore : public SettingsStore {
 public:
  std::string Read(std::string_view name) override {
    auto it = values.find(std::string(name));
    return it == values.end() ? std::string() : it->second;
  }
  void Write(std::string_view name, const std::string& value) override {
    values[std::string(name)] = value;
    writes.emplace_back(name);
  }
  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
};

class RecordingSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon icon) override {
    shown.emplace_back(std::string(text), icon);
  }
  std::vector<std::pair<std::string, MessageIcon>> shown;
};

}  // namespace ledgerix::testing
