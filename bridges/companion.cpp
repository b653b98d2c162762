#include "bridges/companion.h"

#include <iconv.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "bridges/output_files.h"
#include "bridges/utf8.h"

namespace ledgerix {
namespace {

char32_t FoldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  // Latin-1, Greek and Cyrillic capitals: the ranges where file names have case.
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F)) {
    return c + 32;
  }
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) out.push_back(NextCodePoint(s, i));
  return out;
}

bool Match(const std::u32string& p, std::size_t pi, const std::u32string& n, std::size_t ni) {
  // Iterative glob with single backtrack point: linear enough for file names.
  std::size_t star = std::u32string::npos, star_n = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == U'?' || FoldCase(p[pi]) == FoldCase(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == U'*') {
      star = pi++;
      star_n = ni;
    } else if (star != std::u32string::npos) {
      pi = star + 1;
      ni = ++star_n;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string_view* pattern) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  if (ec) return names;
  std::u32string pat = pattern ? Decode(*pattern) : std::u32string();
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    std::string name = it->path().filename().string();
    if (IsOurTemporaryFileName(name)) continue;  // a run's unfinished output, never a workbook
    if (pattern && !Match(pat, 0, Decode(name), 0)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return FileNameLess(a, b); });
  return names;
}

}  // namespace

namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

// Chinese collation: Han characters by pinyin, before Latin letters, as a file manager shows
// them under a Chinese desktop; case left to the tie-break. Fixed here rather than taken from
// the process locale, so that every program and every environment runs a folder in one order.
// One per thread: a collator is not meant to be shared between threads.
const UCollator* ChineseCollator() {
  thread_local const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("zh", &status);
    if (U_FAILURE(status)) {
      if (c) ucol_close(c);
      return std::unique_ptr<UCollator, CollatorCloser>();
    }
    ucol_setStrength(c, UCOL_SECONDARY);
    return std::unique_ptr<UCollator, CollatorCloser>(c);
  }();
  return collator.get();
}

bool CodePointLess(std::string_view a, std::string_view b) {
  std::u32string x = Decode(a), y = Decode(b);
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
    char32_t fx = FoldCase(x[i]), fy = FoldCase(y[i]);
    if (fx != fy) return fx < fy;
  }
  if (x.size() != y.size()) return x.size() < y.size();
  return x < y;
}

}  // namespace

bool FileNameLess(std::string_view a, std::string_view b) {
  if (const UCollator* collator = ChineseCollator()) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult order =
        ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && order != UCOL_EQUAL) return order == UCOL_LESS;
  }
  return CodePointLess(a, b);
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  return Match(Decode(pattern), 0, Decode(name), 0);
}

std::vector<std::string> fnAddListItem(const std::string& folder) {
  return ListFiles(folder, nullptr);
}

std::vector<std::string> fnAddListItemFilter(const std::string& folder, std::string_view pattern) {
  return ListFiles(folder, &pattern);
}

std::string fnGetTransFileType(int index) {
  switch (index) {
    case 0:
      return "*.xls";
    case 1:
      return "*.xlsx";
    default:
      return "*";
  }
}

std::string fnCStringToAnsi(std::string_view utf8) {
  std::string out;
  AppendAnsi(out, utf8);
  return out;
}

void AppendAnsi(std::string& out, std::string_view utf8) {
  // One converter per thread: iconv_t carries shift state and is not thread-safe.
  struct Converter {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    ~Converter() {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  thread_local Converter conv;
  out.reserve(out.size() + utf8.size() + 8);
  std::size_t i = 0;
  while (i < utf8.size()) {
    // ASCII is the same in GBK: copy it without iconv.
    std::size_t ascii_end = i;
    while (ascii_end < utf8.size() && static_cast<unsigned char>(utf8[ascii_end]) < 0x80) {
      ++ascii_end;
    }
    out.append(utf8.substr(i, ascii_end - i));
    i = ascii_end;
    if (i >= utf8.size()) break;
    // A run of non-ASCII characters in one call; stop at the first one GBK lacks.
    std::size_t run_end = i;
    while (run_end < utf8.size() && static_cast<unsigned char>(utf8[run_end]) >= 0x80) ++run_end;
    std::size_t base = out.size();
    out.resize(base + 2 * (run_end - i) + 4);
    char* in_ptr = const_cast<char*>(utf8.data() + i);
    std::size_t in_left = run_end - i;
    char* out_ptr = out.data() + base;
    std::size_t out_left = out.size() - base;
    bool ok = conv.cd != reinterpret_cast<iconv_t>(-1);
    if (ok) {
      iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
      ok = iconv(conv.cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1);
    }
    out.resize(static_cast<std::size_t>(out_ptr - out.data()));
    i = run_end - in_left;
    if (ok || i >= run_end) continue;
    // The character at i could not be converted: a reference keeps it, a broken byte is "?".
    std::size_t start = i;
    char32_t cp = NextCodePoint(utf8, i);
    bool malformed = cp == 0xFFFD && utf8.substr(start, 3) != "\xEF\xBF\xBD";
    if (malformed) {
      out.push_back('?');
    } else {
      out += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ";";
    }
  }
}

std::string fnIntToCString(long long value) { return std::to_string(value); }

}  // namespace ledgerix
