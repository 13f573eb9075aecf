#include "quorvane/election/election_criteria.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using quorvane::ElectionCriteria;
using quorvane::EngineError;
using quorvane::InvalidInput;
using quorvane::Json;
using quorvane::Purpose;
using quorvane::UtcInstant;
using Resolved = ElectionCriteria::Resolved;

// The message of a failed read or resolution; "" when it succeeded.
template <class T>
std::string failure(const quorvane::Expected<T, EngineError>& result) {
  if (result) return "";
  const auto* invalid = std::get_if<InvalidInput>(&result.error().kind);
  return invalid ? invalid->message : "(not InvalidInput) " + result.error().text();
}

std::string read_failure(std::string_view text) { return failure(ElectionCriteria::from_text(text)); }

Resolved resolved(std::string_view text) {
  auto criteria = ElectionCriteria::from_text(text);
  EXPECT_TRUE(criteria) << text << ": " << failure(criteria);
  if (!criteria) return {};
  auto r = criteria->resolve();
  EXPECT_TRUE(r) << text << ": " << failure(r);
  return r ? *r : Resolved{};
}

std::string resolve_failure(std::string_view text) {
  auto criteria = ElectionCriteria::from_text(text);
  if (!criteria) return "read: " + failure(criteria);
  return failure(criteria->resolve());
}

UtcInstant at(std::string_view text) { return *UtcInstant::parse(text); }

TEST(ElectionCriteriaReader, NullEmptyAndPositionalFormsAgree) {
  const Resolved none = resolved("null");
  const Resolved empty = resolved("{}");
  const Resolved no_items = resolved("[]");
  for (const Resolved& r : {none, empty, no_items}) {
    EXPECT_EQ(r.purpose, Purpose::General);
    EXPECT_TRUE(r.avoid_void_moon);
    EXPECT_FALSE(r.avoid_mercury_retrograde);
    EXPECT_FALSE(r.avoid_venus_retrograde);
    EXPECT_FALSE(r.daytime_only);
    EXPECT_FALSE(r.local_hours);
    EXPECT_EQ(r.step_minutes, 10u);
    EXPECT_EQ(r.min_score, 60.0);
    EXPECT_EQ(r.max_results, 20u);
    EXPECT_FALSE(r.has_natal);
  }
  // Positional: purpose, avoid_void_moon, mercury, venus, daytime_only,
  // local_hours, utc_offsets, step_minutes; the rest keep their defaults.
  const Resolved positional = resolved(R"(["travel", false, null, true, true, [8, 17], [], 15])");
  EXPECT_EQ(positional.purpose, Purpose::Travel);
  EXPECT_FALSE(positional.avoid_void_moon);
  EXPECT_TRUE(positional.avoid_mercury_retrograde);
  EXPECT_TRUE(positional.avoid_venus_retrograde);
  EXPECT_TRUE(positional.daytime_only);
  ASSERT_TRUE(positional.local_hours);
  EXPECT_EQ(positional.local_hours->from, 8);
  EXPECT_EQ(positional.local_hours->to, 17);
  EXPECT_EQ(positional.step_minutes, 15u);
  EXPECT_EQ(positional.max_results, 20u);

  // A Json value reads the same as its text.
  auto from_value = ElectionCriteria::from_value(Json::parse(R"({"purpose": "finance", "max_results": 3})"));
  ASSERT_TRUE(from_value);
  EXPECT_EQ(from_value->purpose, Purpose::Finance);
  EXPECT_EQ(from_value->max_results, 3u);
}

TEST(ElectionCriteriaReader, MessagesNameWhatIsWrong) {
  EXPECT_EQ(read_failure(R"({"purpose": "wedding"})"),
            "election criteria: unknown variant `wedding`, expected one of `general`, `contract`, "
            "`partnership`, `travel`, `health`, `finance`, `launch`, `career`");
  EXPECT_EQ(read_failure(R"({"step": 5})"),
            "election criteria: unknown field `step`, expected one of `purpose`, "
            "`avoid_void_moon`, `avoid_mercury_retrograde`, `avoid_venus_retrograde`, "
            "`daytime_only`, `local_hours`, `utc_offsets`, `step_minutes`, `min_score`, "
            "`max_results`, `natal`");
  EXPECT_EQ(read_failure(R"({"purpose": "travel", "purpose": "health"})"),
            "election criteria: duplicate field `purpose`");
  EXPECT_EQ(read_failure(R"({"step_minutes": 10.0})"),
            "election criteria: invalid type: floating point `10.0`, expected u32");
  // Floats read in positional notation and strings with their escapes, as
  // the calendar reader writes them.
  EXPECT_EQ(read_failure(R"({"step_minutes": 1e21})"),
            "election criteria: invalid type: floating point `1000000000000000000000.0`, "
            "expected u32");
  EXPECT_EQ(read_failure(R"({"max_results": -2.5e-7})"),
            "election criteria: invalid type: floating point `-0.00000025`, expected usize");
  EXPECT_EQ(read_failure(R"({"purpose": ["a\tb"]})"),
            "election criteria: invalid type: sequence, expected enum Purpose");
  EXPECT_EQ(read_failure(R"({"daytime_only": "a\tb\u0001"})"),
            "election criteria: invalid type: string \"a\\tb\\u{1}\", expected a boolean");
  EXPECT_EQ(read_failure(R"({"max_results": -1})"),
            "election criteria: invalid value: integer `-1`, expected usize");
  EXPECT_EQ(read_failure(R"({"daytime_only": "yes"})"),
            "election criteria: invalid type: string \"yes\", expected a boolean");
  EXPECT_EQ(read_failure(R"({"avoid_void_moon": null})"),
            "election criteria: invalid type: null, expected a boolean");
  EXPECT_EQ(read_failure(R"({"purpose": 3})"),
            "election criteria: invalid type: integer `3`, expected enum Purpose");
  EXPECT_EQ(read_failure("\"general\""),
            "election criteria: invalid type: string \"general\", expected struct ElectionCriteria");
  EXPECT_EQ(read_failure("[\"general\", true, null, null, false, null, [], 10, 60, 20, null, 1]"),
            "election criteria: invalid length 12, expected fewer elements in array");
}

TEST(ElectionCriteriaReader, NestedRecords) {
  EXPECT_EQ(read_failure(R"({"local_hours": {"from": 8}})"), "election criteria: missing field `to`");
  EXPECT_EQ(read_failure(R"({"local_hours": {"from": 8, "to": 300}})"),
            "election criteria: invalid value: integer `300`, expected u8");
  EXPECT_EQ(read_failure(R"({"local_hours": [8]})"),
            "election criteria: invalid length 1, expected struct HourRange with 2 elements");
  EXPECT_EQ(read_failure(R"({"utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": 60, "x": 1}]})"),
            "election criteria: unknown field `x`, expected one of `from`, `minutes`");
  EXPECT_EQ(read_failure(R"({"natal": [{"name": "Sun", "ecliptic_longitude": true}]})"),
            "election criteria: invalid type: boolean `true`, expected f64");
  EXPECT_EQ(read_failure(R"({"natal": [{"name": "Sun", "name": "Moon", "ecliptic_longitude": 1}]})"),
            "election criteria: duplicate field `name`");

  auto natal = ElectionCriteria::from_text(
      R"({"natal": [{"name": "Sun", "ecliptic_longitude": 12.5}, ["Ascendant", 200]]})");
  ASSERT_TRUE(natal) << failure(natal);
  ASSERT_TRUE(natal->natal);
  ASSERT_EQ(natal->natal->size(), 2u);
  EXPECT_EQ((*natal->natal)[1].name, "Ascendant");
  EXPECT_EQ((*natal->natal)[1].ecliptic_longitude, 200.0);
}

TEST(ElectionCriteriaReader, TextThatIsNotJsonKeepsTheParserMessage) {
  const std::string message = read_failure("{\"min_score\": NaN}");
  EXPECT_NE(message, "");
  EXPECT_EQ(message.find("election criteria"), std::string::npos) << message;
}

TEST(ElectionCriteriaResolve, PurposeDefaults) {
  EXPECT_TRUE(resolved(R"({"purpose": "travel"})").avoid_mercury_retrograde);
  EXPECT_TRUE(resolved(R"({"purpose": "contract"})").avoid_mercury_retrograde);
  EXPECT_TRUE(resolved(R"({"purpose": "launch"})").avoid_mercury_retrograde);
  EXPECT_FALSE(resolved(R"({"purpose": "finance"})").avoid_mercury_retrograde);
  EXPECT_FALSE(resolved(R"({"purpose": "travel", "avoid_mercury_retrograde": false})").avoid_mercury_retrograde);
  EXPECT_TRUE(resolved(R"({"purpose": "travel", "avoid_mercury_retrograde": null})").avoid_mercury_retrograde);
  EXPECT_TRUE(resolved(R"({"purpose": "partnership"})").avoid_venus_retrograde);
  EXPECT_FALSE(resolved(R"({"purpose": "partnership"})").avoid_mercury_retrograde);
  EXPECT_FALSE(resolved(R"({"purpose": "partnership", "avoid_venus_retrograde": false})").avoid_venus_retrograde);
  EXPECT_TRUE(resolved(R"({"purpose": "health", "avoid_venus_retrograde": true})").avoid_venus_retrograde);
}

TEST(ElectionCriteriaResolve, Clamps) {
  EXPECT_EQ(resolved(R"({"step_minutes": 1})").step_minutes, 5u);
  EXPECT_EQ(resolved(R"({"step_minutes": 90})").step_minutes, 60u);
  EXPECT_EQ(resolved(R"({"step_minutes": 7})").step_minutes, 7u);
  EXPECT_EQ(resolved(R"({"max_results": 0})").max_results, 1u);
  EXPECT_EQ(resolved(R"({"max_results": 18446744073709551615})").max_results, 50u);
  EXPECT_EQ(resolved(R"({"min_score": 150})").min_score, 100.0);
  EXPECT_EQ(resolved(R"({"min_score": -3})").min_score, 0.0);
  EXPECT_EQ(resolved(R"({"min_score": 72.5})").min_score, 72.5);

  ElectionCriteria not_a_number;
  not_a_number.min_score = std::nan("");
  EXPECT_EQ(failure(not_a_number.resolve()), "min_score must be a number");
}

TEST(ElectionCriteriaResolve, LocalHoursAndOffsets) {
  const std::string bad_hours = "local_hours needs 0 <= from <= 23, 1 <= to <= 24 and from != to";
  EXPECT_EQ(resolve_failure(R"({"local_hours": {"from": 22, "to": 6}})"), "");
  EXPECT_EQ(resolve_failure(R"({"local_hours": {"from": 0, "to": 24}})"), "");
  for (const char* text : {R"({"local_hours": {"from": 8, "to": 8}})",
                           R"({"local_hours": {"from": 24, "to": 1}})",
                           R"({"local_hours": {"from": 0, "to": 0}})",
                           R"({"local_hours": {"from": 3, "to": 25}})"}) {
    EXPECT_EQ(resolve_failure(text), bad_hours) << text;
  }

  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": 1140}]})"),
            "UTC offset 1140 is out of range");
  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": -1081}]})"),
            "UTC offset -1081 is out of range");
  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": 1080},
                                                  {"from": "2024-02-01T00:00:00Z", "minutes": -1080}]})"),
            "");
  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "yesterday", "minutes": 60}]})"),
            "utc_offsets: invalid UTC date-time: yesterday");
  // The most negative minutes have no absolute value in 32 bits; still out of range.
  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": -2147483648}]})"),
            "UTC offset -2147483648 is out of range");
  // The range is checked before the text: an entry bad both ways reports the range.
  EXPECT_EQ(resolve_failure(R"({"utc_offsets": [{"from": "yesterday", "minutes": 2000}]})"),
            "UTC offset 2000 is out of range");
}

TEST(ElectionCriteriaResolve, LocalClock) {
  // Offsets given out of order are sorted; before the first one it holds too.
  const Resolved r = resolved(R"({"local_hours": {"from": 22, "to": 6},
      "utc_offsets": [{"from": "2024-06-01T00:00:00Z", "minutes": 120},
                      {"from": "2024-03-01T00:00:00Z", "minutes": 60}]})");
  ASSERT_EQ(r.utc_offsets.size(), 2u);
  EXPECT_EQ(r.utc_offsets[0].second, 60);
  EXPECT_EQ(r.offset_minutes_at(at("2024-01-15T00:00:00Z")), 60);
  EXPECT_EQ(r.offset_minutes_at(at("2024-03-01T00:00:00Z")), 60);
  EXPECT_EQ(r.offset_minutes_at(at("2024-05-31T23:59:59Z")), 60);
  EXPECT_EQ(r.offset_minutes_at(at("2024-06-01T00:00:00Z")), 120);

  // Local 23:30 and 05:59 are inside 22-6; 06:00 and 21:59 are not.
  EXPECT_TRUE(r.within_local_hours(at("2024-04-10T22:30:00Z")));
  EXPECT_TRUE(r.within_local_hours(at("2024-04-10T04:59:00Z")));
  EXPECT_FALSE(r.within_local_hours(at("2024-04-10T05:00:00Z")));
  EXPECT_FALSE(r.within_local_hours(at("2024-04-10T20:59:00Z")));
  // From June on the clock runs two hours ahead of UTC.
  EXPECT_TRUE(r.within_local_hours(at("2024-06-10T03:59:00Z")));
  EXPECT_FALSE(r.within_local_hours(at("2024-06-10T04:00:00Z")));
  EXPECT_TRUE(r.within_local_hours(at("2024-06-10T20:00:00Z")));
  // Before 1970 the time of day still comes out in 0..24 hours.
  EXPECT_TRUE(r.within_local_hours(at("1950-01-01T21:30:00Z")));
  EXPECT_FALSE(r.within_local_hours(at("1950-01-01T12:00:00Z")));

  const Resolved day = resolved(R"({"local_hours": {"from": 9, "to": 17}})");
  EXPECT_TRUE(day.within_local_hours(at("2024-04-10T09:00:00Z")));
  EXPECT_TRUE(day.within_local_hours(at("2024-04-10T16:59:59Z")));
  EXPECT_FALSE(day.within_local_hours(at("2024-04-10T17:00:00Z")));
  EXPECT_FALSE(day.within_local_hours(at("2024-04-10T08:59:00Z")));
  EXPECT_TRUE(resolved("{}").within_local_hours(at("2024-04-10T03:00:00Z")));
}

TEST(ElectionCriteriaResolve, SummaryReportsTheEffectiveSettings) {
  const Resolved r = resolved(
      R"({"purpose": "contract", "step_minutes": 1, "min_score": 150, "max_results": 0,
          "local_hours": [22, 6], "natal": []})");
  EXPECT_TRUE(r.has_natal);
  EXPECT_EQ(quorvane::to_json_tree(r.summary()).dump(),
            R"({"purpose":"contract","avoid_void_moon":true,"avoid_mercury_retrograde":true,)"
            R"("avoid_venus_retrograde":false,"daytime_only":false,"local_hours":{"from":22,"to":6},)"
            R"("step_minutes":5,"min_score":100.0,"max_results":1,"natal":true})");
  EXPECT_EQ(quorvane::to_json_tree(resolved("null").summary()).dump(),
            R"({"purpose":"general","avoid_void_moon":true,"avoid_mercury_retrograde":false,)"
            R"("avoid_venus_retrograde":false,"daytime_only":false,"local_hours":null,)"
            R"("step_minutes":10,"min_score":60.0,"max_results":20,"natal":false})");
}

}  // namespace
