#include "quorvane/jyotish/ashtakavarga.hpp"

#include <string_view>

namespace quorvane::jyotish {
namespace {

constexpr std::array<std::string_view, kContributors> kContributorNames{
    "Sun", "Moon", "Mars", "Mercury", "Jupiter", "Venus", "Saturn", "Lagna"};

int total_of(const SignPoints& points) {
  int total = 0;
  for (int p : points) total += p;
  return total;
}

}  // namespace

Ashtakavarga ashtakavarga(const std::array<uint8_t, kContributors>& signs) {
  Ashtakavarga table;
  for (size_t planet = 0; planet < 7; ++planet) {
    Bhinnashtakavarga& bav = table.planets[planet];
    for (size_t c = 0; c < kContributors; ++c) {
      for (int house = 1; house <= 12; ++house) {
        if (!(kBeneficPlaces[planet][c] & (1u << (house - 1)))) continue;
        const size_t sign = (signs[c] + house - 1) % 12;
        bav.by_contributor[c][sign] = 1;
        ++bav.points[sign];
      }
    }
    bav.total = total_of(bav.points);
    for (size_t s = 0; s < 12; ++s) table.sarva[s] += bav.points[s];
  }
  table.sarva_total = total_of(table.sarva);
  return table;
}

void write(RecordWriter& out, const Ashtakavarga& table) {
  ObjectWriter o(out);
  o.writer().key("bhinnashtakavarga");
  {
    ObjectWriter planets(out);
    for (size_t planet = 0; planet < 7; ++planet) {
      const Bhinnashtakavarga& bav = table.planets[planet];
      planets.writer().key(kContributorNames[planet]);
      ObjectWriter p(out);
      p.field("points", bav.points).field("total", bav.total);
      p.writer().key("contributions");
      ObjectWriter by(out);
      for (size_t c = 0; c < kContributors; ++c) by.field(kContributorNames[c], bav.by_contributor[c]);
    }
  }
  o.field("sarvashtakavarga", table.sarva).field("total", table.sarva_total);
}

}  // namespace quorvane::jyotish
