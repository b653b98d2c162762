// The companion library: file lists, folder trees, folder browsing and text conversion for the
// dialogs and the converters. The tree and browse functions need the GUI toolkit and are
// declared by the desktop program (app/companion_tree.h); everything here is toolkit-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ledgerix {

// The one order of file names in every list, the program's and the command line's alike:
// Chinese collation (Han characters by pinyin, before Latin letters; case ignored), whatever the
// process locale; names it finds equal are ordered case-insensitively by code point, then by
// the exact code points, so the order is total.
bool FileNameLess(std::string_view a, std::string_view b);

// Wildcard match of the whole name ("*" any run, "?" one character), case-insensitive.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The names (no folder part) of the regular files in folder, in FileNameLess order. An
// unreadable folder gives an empty list.
std::vector<std::string> fnAddListItem(const std::string& folder);
// The same, keeping the names that match pattern.
std::vector<std::string> fnAddListItemFilter(const std::string& folder, std::string_view pattern);

// The wildcard of a file-type index: 0 "*.xls", 1 "*.xlsx"; any other index "*".
std::string fnGetTransFileType(int index);

// UTF-8 to GBK. A character GBK cannot encode becomes a decimal character reference
// ("&#131072;") rather than being lost; malformed UTF-8 bytes become "?".
std::string fnCStringToAnsi(std::string_view utf8);
// The same, appended to out (writers reuse one buffer per line).
void AppendAnsi(std::string& out, std::string_view utf8);

// Decimal text without leading zeros.
std::string fnIntToCString(long long value);

}  // namespace ledgerix
