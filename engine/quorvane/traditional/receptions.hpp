// Receptions between the traditional planets, and antiscia contacts
// between chart points.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/zodiac/aspects.hpp"
#include "quorvane/zodiac/body_view.hpp"

namespace quorvane {

struct Reception {
  std::string_view planet;    // whose place is judged
  std::string_view receiver;  // who holds dignity there
  std::vector<std::string_view> dignities;
  bool mutual = false;
  std::optional<std::string> aspect;
};

// Every ordered pair of distinct traditional planets (the first body of each
// name, in Chaldean order) where the receiver holds some dignity at the
// planet's place. Only the two names and the type of an aspect are read.
std::vector<Reception> receptions(std::span<const BodyView> bodies, std::span<const Aspect> aspects,
                                  DignityScheme scheme);

struct AntisciaContact {
  std::string body1;  // earlier in chart order
  std::string body2;
  std::string_view kind;  // "antiscion" or "contra_antiscion"
  double orb = 0.0;       // degrees, rounded to 2 decimals
};

// Greatest distance between a point and another's mirror point.
inline constexpr double kAntisciaOrb = 1.0;

// Contacts among the seven planets and the two angles, pairs in chart order.
std::vector<AntisciaContact> antiscia(std::span<const Point> points);

void write(RecordWriter& out, const Reception& reception);
void write(RecordWriter& out, const AntisciaContact& contact);

}  // namespace quorvane
