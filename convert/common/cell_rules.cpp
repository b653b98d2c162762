#include "convert/common/cell_rules.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <mutex>
#include <vector>

#include "bridges/utf8.h"

namespace ledgerix {
namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos)).append(to);
  }
  out.append(text.substr(pos));
  return out;
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}
TodayClock& Clock() {
  static TodayClock clock;
  return clock;
}

}  // namespace

std::string CellText(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::Empty:
      return {};
    case Variant::Type::String:
      return value.string();
    case Variant::Type::Boolean:
      return value.boolean() ? "-1" : "0";
    case Variant::Type::Number: {
      double v = value.number();
      if (v == 0) return "0";  // also -0
      char buffer[64];
      // Whole amounts and amounts in cents, most of every statement, without the general
      // shortest-digits search; both are exact below 1e13, so the text is the same.
      if (std::fabs(v) < 1e13) {
        double cents = v * 100;
        if (cents == std::nearbyint(cents)) {
          auto c = static_cast<long long>(cents);
          auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, c / 100);
          std::string text(buffer, end);
          if (c < 0 && c > -100) text.insert(0, "-");
          long long frac = c < 0 ? -(c % 100) : c % 100;
          if (frac != 0) {
            text.push_back('.');
            text.push_back(static_cast<char>('0' + frac / 10));
            if (frac % 10 != 0) text.push_back(static_cast<char>('0' + frac % 10));
          }
          return text;
        }
      }
      auto [end, ec] =
          std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15);
      std::string text(buffer, ec == std::errc() ? end : buffer);
      // Exponent forms read like the automation server's ("1.5E+16").
      for (char& c : text) {
        if (c == 'e') c = 'E';
      }
      return text;
    }
    case Variant::Type::Error:
      break;
  }
  throw AutomationError("单元格含有错误值 " + CellErrorText(value.error()) + "，无法转换为文本");
}

std::string SpaceFreeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != ' ') out.push_back(c);
  }
  return out;
}

std::string HeaderValue(std::string_view text) {
  static constexpr std::string_view kFullColon = "：";
  std::string t = SpaceFreeText(ReplaceAll(text, ":", kFullColon));
  std::size_t colon = t.find(kFullColon);
  return colon == std::string::npos ? t : t.substr(colon + kFullColon.size());
}

std::string CompactDate(std::string_view text) {
  std::vector<std::string_view> chars = Utf8Characters(text);
  std::string result;
  for (auto [first, last] : {std::pair{1u, 4u}, std::pair{6u, 7u}, std::pair{9u, 10u}}) {
    for (unsigned i = first; i <= last && i <= chars.size(); ++i) result.append(chars[i - 1]);
  }
  bool eight_digits = result.size() == 8;
  for (char c : result) eight_digits = eight_digits && IsAsciiDigit(c);
  if (eight_digits) return result;

  // Unpadded dates ("2008-1-1", "2008年1月1日") would otherwise give "20081-" and the like.
  std::vector<std::string_view> runs;
  for (std::size_t i = 0; i < text.size();) {
    if (!IsAsciiDigit(text[i])) {
      ++i;
      continue;
    }
    std::size_t start = i;
    while (i < text.size() && IsAsciiDigit(text[i])) ++i;
    runs.push_back(text.substr(start, i - start));
  }
  if (runs.size() == 3 && runs[0].size() == 4 && runs[1].size() <= 2 && runs[2].size() <= 2) {
    std::string padded(runs[0]);
    for (std::string_view part : {runs[1], runs[2]}) {
      if (part.size() == 1) padded.push_back('0');
      padded.append(part);
    }
    return padded;
  }
  return result;
}

PeriodDates SplitPeriod(std::string_view text) {
  static constexpr std::string_view kTo = "至";
  std::string t = SpaceFreeText(text);
  std::size_t to = t.find(kTo);
  if (to == std::string::npos) return {"", CompactDate(t)};
  return {CompactDate(std::string_view(t).substr(0, to)),
          CompactDate(std::string_view(t).substr(to + kTo.size()))};
}

Variant ReadCellValue(Worksheet& sheet, std::string_view address) {
  return sheet.GetRange(address, address)->GetValue2();
}

std::string ReadCellText(Worksheet& sheet, std::string_view address) {
  Variant value = ReadCellValue(sheet, address);
  if (value.type() == Variant::Type::Error) {
    throw AutomationError("工作表“" + sheet.GetName() + "”的单元格 " + std::string(address) +
                          " 含有错误值 " + CellErrorText(value.error()) + "，无法转换为文本");
  }
  return CellText(value);
}

std::string ReadSpaceFreeText(Worksheet& sheet, std::string_view address) {
  return SpaceFreeText(ReadCellText(sheet, address));
}

std::string ReadHeaderValue(Worksheet& sheet, std::string_view address) {
  return HeaderValue(ReadCellText(sheet, address));
}

PeriodDates ReadPeriodDates(Worksheet& sheet, std::string_view address) {
  return SplitPeriod(ReadCellText(sheet, address));
}

std::string TodayStamp() {
  std::chrono::system_clock::time_point now;
  {
    std::lock_guard lock(ClockMutex());
    now = Clock() ? Clock()() : std::chrono::system_clock::now();
  }
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%Y%m%d", &local);
  return buffer;
}

void SetTodayClock(TodayClock clock) {
  std::lock_guard lock(ClockMutex());
  Clock() = std::move(clock);
}

std::string OutputPath(std::string_view saveFolder, std::string_view fileName) {
  std::string path(saveFolder);
  path.append(fileName);
  return path;
}

void CheckFileNameLength(Worksheet& sheet, std::string_view fileName,
                         std::initializer_list<FileNamePart> parts) {
  constexpr std::size_t kMaxName = 255;  // bytes, on every file system the program writes to
  if (fileName.size() <= kMaxName || parts.size() == 0) return;
  const FileNamePart* longest = parts.begin();
  for (const FileNamePart& part : parts) {
    if (part.text.size() > longest->text.size()) longest = &part;
  }
  throw AutomationError("工作表“" + sheet.GetName() + "”的单元格 " + std::string(longest->address) +
                        " 的内容太长（" + std::to_string(longest->text.size()) +
                        " 字节），用它组成的文件名有 " + std::to_string(fileName.size()) +
                        " 字节，超过了文件名最长的 255 字节");
}

std::string SafeFileNamePart(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::string_view ch : Utf8Characters(text)) {
    auto b = static_cast<unsigned char>(ch[0]);
    bool control = b < 0x20 || b == 0x7F ||
                   (ch.size() == 2 && b == 0xC2 && static_cast<unsigned char>(ch[1]) < 0xA0);
    bool reserved =
        ch.size() == 1 && std::string_view("/\\:*?\"<>|").find(ch[0]) != std::string_view::npos;
    if (control || reserved) {
      out.push_back('_');
    } else {
      out.append(ch);
    }
  }
  return out;
}

std::string StatementFileName(std::string_view prefix, std::string_view periodStart,
                              std::string_view periodEnd, std::string_view taxpayer) {
  return std::string(prefix) + SafeFileNamePart(periodStart) + "_" + SafeFileNamePart(periodEnd) +
         "_" + SafeFileNamePart(taxpayer) + "_CRC.xml";
}

}  // namespace ledgerix
