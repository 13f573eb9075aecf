// Fuzz body for the Chinese calendar reader and the charts cast from it.
// The input is JSON text read both as text (duplicate keys caught) and as a
// parsed value. A calendar that reads must write back to the same calendar,
// and BaZi and Zi Wei over it must give a chart or an invalid-input error,
// whatever the terms, months, moment, longitude and offset. An optional
// "probe" object beside the calendar's keys (the reader skips unknown keys)
// lets the fuzzer pick the birth and the options.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/fuzz/fuzz_check.hpp"
#include "quorvane/chinese/bazi.hpp"
#include "quorvane/chinese/calendar.hpp"
#include "quorvane/chinese/ziwei.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane::fuzz {

struct Probe {
  std::optional<UtcInstant> moment;
  double longitude = 120.0;
  double offset = 480.0;
  bool solar_time = true;
  std::string zi_hour = "next_day";
  std::optional<std::string> sex;
  std::string leap_month = "split";
  uint8_t luck_pillars = 10;
  std::optional<int32_t> year;
  std::optional<std::string> date;
};

inline Probe read_probe(const Json& value) {
  Probe probe;
  if (!value.is_object() || !value.contains("probe") || !value["probe"].is_object()) return probe;
  const Json& p = value["probe"];
  const auto number = [&](const char* key, double fallback) {
    if (!p.contains(key)) return fallback;
    auto read = py_float(p[key]);
    return read ? *read : fallback;
  };
  const auto text = [&](const char* key) -> std::optional<std::string> {
    if (p.contains(key) && p[key].is_string()) return p[key].get<std::string>();
    return std::nullopt;
  };
  if (auto moment = text("moment")) {
    if (auto parsed = UtcInstant::parse(*moment)) probe.moment = *parsed;
  }
  probe.longitude = number("longitude", probe.longitude);
  probe.offset = number("offset", probe.offset);
  if (p.contains("solar_time") && p["solar_time"].is_boolean()) probe.solar_time = p["solar_time"];
  if (auto zi_hour = text("zi_hour")) probe.zi_hour = *zi_hour;
  probe.sex = text("sex");
  if (auto leap_month = text("leap_month")) probe.leap_month = *leap_month;
  if (p.contains("luck_pillars") && p["luck_pillars"].is_number_unsigned()) {
    probe.luck_pillars = static_cast<uint8_t>(p["luck_pillars"].get<uint64_t>() % 256);
  }
  if (p.contains("year") && p["year"].is_number_integer()) {
    probe.year = static_cast<int32_t>(p["year"].get<int64_t>());
  }
  probe.date = text("date");
  return probe;
}

inline bool is_invalid_input(const EngineError& error) {
  return std::holds_alternative<InvalidInput>(error.kind);
}

template <class Chart>
void check_chart(const Expected<Chart, EngineError>& chart) {
  if (!chart) {
    FUZZ_CHECK(is_invalid_input(chart.error()));
    return;
  }
  auto text = compact_json(*chart);
  FUZZ_CHECK(text.has_value());
}

inline void cast_charts(const chinese::ChineseCalendar& calendar, UtcInstant moment,
                        const Probe& probe) {
  chinese::BaziOptions bazi;
  bazi.solar_time = probe.solar_time;
  bazi.zi_hour = probe.zi_hour;
  bazi.sex = probe.sex;
  bazi.luck_pillars = probe.luck_pillars;
  bazi.year = probe.year;
  bazi.date = probe.date;
  auto b = chinese::bazi(calendar, moment, bazi, probe.longitude, probe.offset);
  check_chart(b);
  // Same input, same chart.
  auto b2 = chinese::bazi(calendar, moment, bazi, probe.longitude, probe.offset);
  FUZZ_CHECK(b.has_value() == b2.has_value());
  if (b && b2) FUZZ_CHECK(to_json_tree(*b) == to_json_tree(*b2));

  chinese::ZiWeiOptions zi_wei;
  zi_wei.solar_time = probe.solar_time;
  zi_wei.zi_hour = probe.zi_hour;
  zi_wei.sex = probe.sex;
  zi_wei.leap_month = probe.leap_month;
  zi_wei.year = probe.year;
  zi_wei.date = probe.date;
  check_chart(chinese::zi_wei(calendar, moment, zi_wei, probe.longitude, probe.offset));
}

inline void fuzz_calendar(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto from_text = chinese::read_chinese_calendar_text(text);
  if (!from_text) FUZZ_CHECK(is_invalid_input(from_text.error()));
  auto parsed = parse_json(text);
  if (!parsed) {
    FUZZ_CHECK(!from_text.has_value());
    return;
  }
  auto from_value = chinese::read_chinese_calendar(*parsed);
  if (!from_value) {
    FUZZ_CHECK(is_invalid_input(from_value.error()));
    // Text that reads has no repeated field, so its parsed value reads too.
    FUZZ_CHECK(!from_text.has_value());
    return;
  }
  const chinese::ChineseCalendar& calendar = *from_value;
  if (from_text) FUZZ_CHECK(*from_text == calendar);

  const Json written = quorvane::to_json_tree(calendar);
  FUZZ_CHECK(to_compact_json(written).has_value());
  auto again = chinese::read_chinese_calendar(written);
  FUZZ_CHECK(again.has_value());
  if (again && !std::isnan(calendar.equation_of_time)) FUZZ_CHECK(*again == calendar);

  for (const auto& term : calendar.solar_terms) {
    auto instant = term.instant();
    if (!instant) FUZZ_CHECK(is_invalid_input(instant.error()));
  }
  for (const auto& month : calendar.lunar_months) {
    auto day = month.start_day();
    if (!day) FUZZ_CHECK(is_invalid_input(day.error()));
  }

  const Probe probe = read_probe(*parsed);
  std::vector<UtcInstant> moments;
  if (probe.moment) moments.push_back(*probe.moment);
  for (const auto& term : calendar.solar_terms) {
    if (moments.size() >= 6) break;
    if (auto instant = term.instant()) {
      moments.push_back(*instant);
      moments.push_back(UtcInstant(instant->micros() - 1));
    }
  }
  if (moments.empty()) moments.push_back(UtcInstant(1'717'200'000'000'000));  // 2024-06-01
  for (UtcInstant moment : moments) cast_charts(calendar, moment, probe);
}

}  // namespace quorvane::fuzz
