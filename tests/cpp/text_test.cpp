#include "quorvane/base/text.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Piece {
  std::string_view bytes;
  bool space;
};

// Every White_Space character, and pieces that are not white space: text,
// multi-byte characters and malformed bytes that no neighbour can complete
// (an overlong space, a surrogate, a byte never valid in UTF-8).
constexpr Piece kPieces[] = {
    {"\t", true},           {"\n", true},         {"\v", true},         {"\f", true},
    {"\r", true},           {" ", true},          {"\u0085", true},     {"\u00A0", true},
    {"\u1680", true},       {"\u2000", true},     {"\u2005", true},     {"\u200A", true},
    {"\u2028", true},       {"\u2029", true},     {"\u202F", true},     {"\u205F", true},
    {"\u3000", true},       {"a", false},         {"_", false},         {"\u00E9", false},
    {"\u200B", false},      {"\u20AC", false},    {"\U0001F600", false}, {"\x1C", false},
    {"\xC0\xA0", false},    {"\xED\xA0\x80", false}, {"\xFF", false},
};

TEST(TextTrim, RemovesExactlyTheWhiteSpaceCharactersAtTheEnds) {
  std::mt19937_64 rng(21);
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1), length(0, 8);
  for (int round = 0; round < 20000; ++round) {
    std::vector<const Piece*> pieces(length(rng));
    for (auto& piece : pieces) piece = &kPieces[pick(rng)];
    std::string text, kept, kept_end;
    size_t first = pieces.size(), last = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
      text += pieces[i]->bytes;
      if (!pieces[i]->space) first = std::min(first, i), last = i + 1;
    }
    for (size_t i = first; i < last; ++i) kept += pieces[i]->bytes;
    for (size_t i = 0; i < last; ++i) kept_end += pieces[i]->bytes;
    ASSERT_EQ(quorvane::trim_unicode_space(text), kept) << round;
    ASSERT_EQ(quorvane::trim_unicode_space_end(text), kept_end) << round;
  }
}

}  // namespace
