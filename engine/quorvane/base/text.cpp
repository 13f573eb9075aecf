#include "quorvane/base/text.hpp"

#include <charconv>
#include <cstdint>
#include <limits>

namespace quorvane {

namespace {

uint8_t byte_at(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

bool is_continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// The code point of one well-formed sequence.
char32_t code_point(std::string_view s) {
  const auto b = [&](size_t k) { return static_cast<char32_t>(byte_at(s, k)); };
  switch (s.size()) {
    case 1: return b(0);
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
      return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

// The length of the white space character at s[i], or 0.
size_t space_at(std::string_view s, size_t i) {
  size_t invalid = 0;
  const size_t width = utf8_sequence(s, i, &invalid);
  return width && is_unicode_space(code_point(s.substr(i, width))) ? width : 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal literal: [+-] (digits [. [digits]] | . digits) [e [+-] digits],
// lower case.
std::optional<double> parse_decimal(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const size_t mantissa_begin = i;
  size_t int_digits = 0, frac_digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++int_digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  const size_t mantissa_end = i;
  int64_t exponent = 0;
  if (i < s.size() && s[i] == 'e') {
    ++i;
    bool exp_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      exp_negative = s[i] == '-';
      ++i;
    }
    if (i == s.size()) return std::nullopt;
    for (; i < s.size() && is_digit(s[i]); ++i) {
      // Saturate: anything this large is already out of double range.
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != s.size()) return std::nullopt;

  const char* first = s.data() + (negative ? mantissa_begin - 1 : mantissa_begin);
  double value = 0.0;
  const auto result = std::from_chars(first, s.data() + s.size(), value);
  if (result.ec == std::errc() && result.ptr == s.data() + s.size()) return value;
  if (result.ec != std::errc::result_out_of_range) return std::nullopt;

  // Out of range: overflow to infinity or underflow to zero, decided by the
  // decimal exponent of the leading non-zero digit.
  int64_t lead = 0;
  bool found = false;
  int64_t position = static_cast<int64_t>(int_digits) - 1;
  for (size_t k = mantissa_begin; k < mantissa_end; ++k) {
    if (s[k] == '.') continue;
    if (s[k] != '0') {
      lead = position;
      found = true;
      break;
    }
    --position;
  }
  const double magnitude =
      found && lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

}  // namespace

size_t utf8_sequence(std::string_view s, size_t i, size_t* invalid) {
  const uint8_t b = byte_at(s, i);
  size_t width;
  uint8_t low = 0x80, high = 0xBF;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    width = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    width = 3;
    if (b == 0xE0) low = 0xA0;   // no overlong forms
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    width = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    *invalid = 1;
    return 0;
  }
  for (size_t k = 1; k < width; ++k) {
    if (i + k >= s.size()) {
      *invalid = k;
      return 0;
    }
    const uint8_t c = byte_at(s, i + k);
    const uint8_t lo = k == 1 ? low : 0x80, hi = k == 1 ? high : 0xBF;
    if (c < lo || c > hi) {
      *invalid = k;
      return 0;
    }
  }
  return width;
}

bool is_utf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (byte_at(s, i) < 0x80) {  // most text is ASCII
      ++i;
      continue;
    }
    size_t invalid = 0;
    const size_t width = utf8_sequence(s, i, &invalid);
    if (width == 0) return false;
    i += width;
  }
  return true;
}

std::string decode_utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    size_t invalid = 0;
    const size_t width = utf8_sequence(bytes, i, &invalid);
    if (width) {
      out.append(bytes.substr(i, width));
      i += width;
    } else {
      out.append("\xEF\xBF\xBD");
      i += invalid;
    }
  }
  return out;
}

std::string_view trim_unicode_space_end(std::string_view text) {
  size_t end = text.size();
  while (end > 0) {
    // Step back to the start of the last character.
    size_t start = end - 1;
    while (start > 0 && is_continuation(byte_at(text, start))) --start;
    const size_t width = space_at(text.substr(0, end), start);
    if (width == 0 || start + width != end) break;
    end = start;
  }
  return text.substr(0, end);
}

std::string_view trim_unicode_space(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t width = space_at(text, begin);
    if (width == 0) break;
    begin += width;
  }
  return trim_unicode_space_end(text.substr(begin));
}

std::optional<double> number_from_text(std::string_view text) {
  const std::string_view trimmed = trim_unicode_space(text);
  std::string folded;
  folded.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c == '_') continue;
    folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (folded == "inf" || folded == "+inf" || folded == "infinity" || folded == "+infinity") {
    return inf;
  }
  if (folded == "-inf" || folded == "-infinity") return -inf;
  if (folded == "nan" || folded == "+nan" || folded == "-nan") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return parse_decimal(folded);
}

}  // namespace quorvane
