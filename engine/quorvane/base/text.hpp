// Text helpers shared by the readers of caller input and of kernel files:
// UTF-8 decoding, the Unicode White_Space set, and numbers read from text
// the lenient way Python's float() reads them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// The length of the well-formed UTF-8 sequence starting at s[i], or 0 when
// none starts there; then *invalid is the length of the maximal ill-formed
// prefix (what one U+FFFD replaces).
size_t utf8_sequence(std::string_view s, size_t i, size_t* invalid);

// Whether the bytes are well-formed UTF-8 throughout (no overlong forms,
// surrogates or values beyond U+10FFFF).
bool is_utf8(std::string_view s);

// Bytes as UTF-8, each invalid sequence replaced by U+FFFD.
std::string decode_utf8_lossy(std::string_view bytes);

// The Unicode White_Space property.
constexpr bool is_unicode_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// The text without the white space at its ends. Malformed bytes are never
// white space, so trimming stops at them.
std::string_view trim_unicode_space(std::string_view text);
std::string_view trim_unicode_space_end(std::string_view text);

// A number written as text: trimmed, ASCII case ignored, underscores
// ignored, "inf", "infinity" and "nan" with an optional sign, otherwise a
// decimal literal ([+-] digits [. digits] [e [+-] digits], either side of
// the point may be empty but not both). Out-of-range literals overflow to
// infinity or underflow to zero. None when the text is not a number.
std::optional<double> number_from_text(std::string_view text);

}  // namespace quorvane
