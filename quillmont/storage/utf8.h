#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "quillmont/storage/export.h"

namespace quillmont::utf8 {

// Lengths the user sees count characters (code points), not bytes.
QUILLMONT_API std::size_t CharCount(std::string_view s);
// Byte offset of the character at charIndex (s.size() past the end).
QUILLMONT_API std::size_t ByteOffset(std::string_view s, std::size_t charIndex);
// The first maxChars characters of s.
QUILLMONT_API std::string Left(std::string_view s, std::size_t maxChars);
// Encodes one code point; invalid code points give U+FFFD.
QUILLMONT_API std::string Encode(char32_t codePoint);
// Decodes s into code points; malformed bytes decode as U+FFFD.
QUILLMONT_API std::u32string Decode(std::string_view s);

}  // namespace quillmont::utf8
