#include "bridges/spreadsheet.h"

#include <map>
#include <mutex>

namespace ledgerix {
namespace {

struct ErrorName {
  CellError code;
  std::string_view text;
};
constexpr ErrorName kErrorNames[] = {
    {CellError::Null, "#NULL!"},       {CellError::Div0, "#DIV/0!"},
    {CellError::Value, "#VALUE!"},     {CellError::Ref, "#REF!"},
    {CellError::Name, "#NAME?"},       {CellError::Num, "#NUM!"},
    {CellError::NA, "#N/A"},           {CellError::GettingData, "#GETTING_DATA"},
    {CellError::Spill, "#SPILL!"},     {CellError::Connect, "#CONNECT!"},
    {CellError::Blocked, "#BLOCKED!"}, {CellError::Unknown, "#UNKNOWN!"},
    {CellError::Field, "#FIELD!"},     {CellError::Calc, "#CALC!"},
    {CellError::Busy, "#BUSY!"},
};

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, ServerFactory, std::less<>>& Registry() {
  static std::map<std::string, ServerFactory, std::less<>> r;
  return r;
}

}  // namespace

std::string CellErrorText(CellError e) {
  for (const auto& n : kErrorNames) {
    if (n.code == e) return std::string(n.text);
  }
  return "#ERR" + std::to_string(static_cast<std::int32_t>(e));
}

bool CellErrorFromText(std::string_view text, CellError* out) {
  for (const auto& n : kErrorNames) {
    if (n.text == text) {
      *out = n.code;
      return true;
    }
  }
  return false;
}

std::shared_ptr<Application> CreateApplication(std::string_view progId) {
  ServerFactory factory;
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(progId);
    if (it == Registry().end()) return nullptr;
    factory = it->second;
  }
  try {
    return factory();
  } catch (const std::exception&) {
    return nullptr;
  }
}

void RegisterServer(std::string_view progId, ServerFactory factory) {
  std::lock_guard lock(RegistryMutex());
  if (factory) {
    Registry().insert_or_assign(std::string(progId), std::move(factory));
  } else if (auto it = Registry().find(progId); it != Registry().end()) {
    Registry().erase(it);
  }
}

}  // namespace ledgerix
