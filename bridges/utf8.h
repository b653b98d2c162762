// UTF-8 for every layer: one decoder, one encoder, one rule for bad bytes.
//
// The rule: a byte that does not begin a complete, well-formed sequence (a stray continuation
// byte, an invalid lead byte, a sequence cut short, an overlong form, a surrogate, a value past
// U+10FFFF) is a character of its own, one byte long, decoded as U+FFFD. Counting, cutting and
// converting text therefore agree on where every character starts, valid or not.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ledgerix {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Bytes of the character starting at s[i] (i < s.size()): 1 to 4, 1 for a bad byte.
std::size_t Utf8CharacterLength(std::string_view s, std::size_t i);
// Decodes the character at s[i] and moves i past it; a bad byte gives U+FFFD.
char32_t NextCodePoint(std::string_view s, std::size_t& i);
// Whether every byte of text belongs to a well-formed character.
bool IsValidUtf8(std::string_view text);
// Appends cp as UTF-8; a surrogate or a value past U+10FFFF is appended as U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

// The text split into characters, each a view of its bytes.
std::vector<std::string_view> Utf8Characters(std::string_view text);
// The first count characters of text (all of it when it has fewer).
std::string_view FirstUtf8Characters(std::string_view text, std::size_t count);
// The text as UTF-16 code units, a bad byte as U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace ledgerix
