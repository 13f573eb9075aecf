#include "quorvane/records/json.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "quorvane/records/json_reader.hpp"

namespace {

using quorvane::Json;
using quorvane::kMaxJsonDepth;
using quorvane::parse_json;

// Random JSON text: objects of up to 40 members with keys from a small set
// (so repeated keys are common, in small and in indexed objects), arrays,
// numbers, and strings holding brackets, quotes and escapes.
class TextMaker {
 public:
  explicit TextMaker(uint64_t seed) : rng_(seed) {}

  std::string value(int depth) {
    switch (pick(depth > 3 ? 4 : 6)) {
      case 0: return std::to_string(pick(2000)) + (pick(2) ? ".25" : "");
      case 1: return pick(2) ? "true" : "null";
      case 2: return text();
      case 3: return "-" + std::to_string(pick(1u << 30)) + "e-3";
      case 4: {
        std::string out = "[";
        for (int i = 0, n = pick(6); i < n; ++i) out += (i ? "," : "") + value(depth + 1);
        return out + "]";
      }
      default: {
        std::string out = "{";
        for (int i = 0, n = pick(41); i < n; ++i) {
          out += (i ? "," : "") + std::string("\"k") + std::to_string(pick(30)) + "\":" +
                 value(depth + 1);
        }
        return out + "}";
      }
    }
  }

 private:
  int pick(unsigned n) { return static_cast<int>(rng_() % n); }
  std::string text() {
    static const char* const pieces[] = {"a", "[", "{", "]", "}", "\\\"", "\\\\", "\\u00e9", " "};
    std::string out = "\"";
    for (int i = 0, n = pick(6); i < n; ++i) out += pieces[pick(9)];
    return out + "\"";
  }
  std::mt19937_64 rng_;
};

size_t members(const Json& value) {
  size_t count = value.is_object() ? value.size() : 0;
  if (value.is_structured()) {
    for (const Json& child : value) count += members(child);
  }
  return count;
}

// The linear-time builder gives what the library's own parser gives (keys
// in first-seen order, the last of repeated keys winning), and the same
// message for text cut short.
TEST(ParseJson, AgreesWithTheLibraryParser) {
  TextMaker maker(5);
  int repeated = 0, failed = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string text = maker.value(0);
    auto ours = parse_json(text);
    ASSERT_TRUE(ours) << ours.error();
    const Json theirs = Json::parse(text);
    ASSERT_EQ(ours->dump(), theirs.dump()) << text;
    size_t keys_in_text = 0;  // keys are the only strings followed by a colon
    for (size_t at = text.find("\":"); at != std::string::npos; at = text.find("\":", at + 1)) {
      ++keys_in_text;
    }
    repeated += keys_in_text > members(*ours);
    // Cut short, the text fails (or not) with the library's own message.
    const std::string cut = text.substr(0, text.size() / 2);
    auto ours_cut = parse_json(cut);
    try {
      const Json theirs_cut = Json::parse(cut);
      ASSERT_TRUE(ours_cut) << cut;
      EXPECT_EQ(ours_cut->dump(), theirs_cut.dump());
    } catch (const Json::exception& e) {
      ASSERT_FALSE(ours_cut) << cut;
      EXPECT_EQ(ours_cut.error(), e.what());
      ++failed;
    }
  }
  EXPECT_GT(repeated, 40);  // the repeated keys really were there
  EXPECT_GT(failed, 120);
}

TEST(ParseJson, NestingBeyondTheLimitIsRefusedBeforeParsing) {
  const auto nested = [](size_t depth, const char* open, const char* close) {
    std::string out;
    for (size_t i = 0; i < depth; ++i) out += open;
    for (size_t i = 0; i < depth; ++i) out += close;
    return out;
  };
  EXPECT_TRUE(parse_json(nested(kMaxJsonDepth, "[", "]")));
  EXPECT_EQ(parse_json(nested(kMaxJsonDepth + 1, "[", "]")).error(),
            "JSON nested deeper than 256 levels at character 256");
  EXPECT_EQ(parse_json(nested(100'000, "{\"a\":", "}")).error().rfind("JSON nested deeper", 0),
            0u);
  // Brackets inside strings do not count; escaped quotes do not end them.
  const std::string quoted = "[\"" + nested(300, "[", "") + "\\\"" + nested(300, "{", "") + "\"]";
  EXPECT_TRUE(parse_json(quoted));
  auto node = quorvane::json_reader::parse_node(nested(kMaxJsonDepth + 1, "[", "]"));
  ASSERT_FALSE(node);
  EXPECT_EQ(node.error(), "JSON nested deeper than 256 levels at character 256");
}

}  // namespace
