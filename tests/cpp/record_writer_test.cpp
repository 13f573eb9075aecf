#include "quorvane/records/record_writer.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

using quorvane::compact_json;
using quorvane::Json;
using quorvane::parse_json;
using quorvane::to_json_tree;

// Random trees with the values records hold: doubles of every magnitude
// (whole ones, subnormals, signed zeros), integers at both ends, text with
// quotes, escapes, control and multi-byte characters.
class TreeMaker {
 public:
  explicit TreeMaker(uint64_t seed) : rng_(seed) {}

  Json value(int depth) {
    switch (pick(depth > 3 ? 5 : 7)) {
      case 0: return Json(number());
      case 1: return Json(static_cast<int64_t>(rng_()));
      case 2: return Json(static_cast<uint64_t>(rng_()));
      case 3: return Json(text());
      case 4: return pick(3) == 0 ? Json(nullptr) : Json(pick(2) == 1);
      case 5: {
        Json out = Json::array();
        for (int n = pick(5); n > 0; --n) out.push_back(value(depth + 1));
        return out;
      }
      default: {
        Json out = Json::object();
        for (int n = pick(6); n > 0; --n) out[text() + std::to_string(n)] = value(depth + 1);
        return out;
      }
    }
  }

 private:
  std::mt19937_64 rng_;
  int pick(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }

  double number() {
    switch (pick(5)) {
      case 0: return std::bit_cast<double>(rng_() & ~(0x7FFull << 52) | (uint64_t(pick(2046) + 1) << 52));
      case 1: return static_cast<double>(static_cast<int64_t>(rng_() >> pick(64)));  // whole
      case 2: return pick(2) ? -0.0 : 0.0;
      case 3: return std::bit_cast<double>(rng_() >> 12);  // subnormal
      default: return std::ldexp(static_cast<double>(rng_() >> 11), -pick(80));
    }
  }
  std::string text() {
    static const char* const pieces[] = {"a", "\"", "\\", "/", "\n", "\t", "\x01", "\x1f",
                                         "\u00e9", "\u263D", "\U0001F600", " ", "{", "]"};
    std::string out;
    for (int n = pick(6); n > 0; --n) out += pieces[pick(14)];
    return out;
  }
};

// Exactly the same tree: kinds, key order, and doubles to the bit.
void expect_same(const Json& a, const Json& b, const std::string& path) {
  const bool numbers = a.is_number() && b.is_number();
  ASSERT_TRUE(a.type() == b.type() || (numbers && a.is_number_integer() == b.is_number_integer()))
      << path << ": " << a.dump() << " vs " << b.dump();
  if (a.is_object()) {
    ASSERT_EQ(a.size(), b.size()) << path;
    auto ib = b.items().begin();
    for (const auto& [key, member] : a.items()) {
      ASSERT_EQ(key, ib.key()) << path;
      expect_same(member, ib.value(), path + "." + key);
      ++ib;
    }
  } else if (a.is_array()) {
    ASSERT_EQ(a.size(), b.size()) << path;
    for (size_t i = 0; i < a.size(); ++i) expect_same(a[i], b[i], path + "[" + std::to_string(i) + "]");
  } else if (a.is_number_float()) {
    EXPECT_EQ(std::bit_cast<uint64_t>(a.get<double>()), std::bit_cast<uint64_t>(b.get<double>()))
        << path;
  } else {
    EXPECT_EQ(a, b) << path;
  }
}

TEST(RecordWriter, TextAndTreeGiveBackEveryValueExactly) {
  TreeMaker maker(20261209);
  for (int i = 0; i < 2000; ++i) {
    const Json tree = maker.value(0);
    auto text = compact_json(tree);
    ASSERT_TRUE(text.has_value()) << text.error();
    auto read = parse_json(*text);
    ASSERT_TRUE(read.has_value()) << *text;
    expect_same(tree, *read, "$");
    expect_same(tree, to_json_tree(tree), "$");
    // A whole double stays a float in the text; nothing is padded.
    EXPECT_EQ(text->find_first_of("\n\r"), std::string::npos);
  }
}

TEST(RecordWriter, NonFiniteNumbersAndBadTextAreHandled) {
  Json tree = Json::array({std::nan(""), std::numeric_limits<double>::infinity(), 2.0, -0.0});
  EXPECT_EQ(*compact_json(tree), "[null,null,2.0,-0.0]");
  EXPECT_TRUE(to_json_tree(tree)[1].is_null());
  const std::optional<std::string> none;
  const std::vector<std::optional<double>> holes = {1.5, std::nullopt};
  EXPECT_EQ(*compact_json(holes), "[1.5,null]");
  EXPECT_EQ(*compact_json(none), "null");
  // Invalid UTF-8 (a lone continuation byte, an overlong slash, a surrogate).
  for (const char* bad : {"\x80", "\xC0\xAF", "\xED\xA0\x80", "ok\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(compact_json(std::string(bad)).has_value()) << bad;
  }
}

}  // namespace
