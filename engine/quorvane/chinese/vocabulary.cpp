#include "quorvane/chinese/vocabulary.hpp"

namespace quorvane::chinese {

LunarDate lunar_date(int32_t year, uint8_t month, bool leap, uint32_t day) {
  const int cycle = year_cycle(year);
  const auto branch = static_cast<size_t>(cycle % 12);
  return {year, month, leap, day, kStems[static_cast<size_t>(cycle % 10)], kBranches[branch],
          kAnimals[branch]};
}

Json to_json(const LunarDate& date) {
  Json out = Json::object();
  out["year"] = date.year;
  out["month"] = date.month;
  out["leap"] = date.leap;
  out["day"] = date.day;
  out["year_stem"] = date.year_stem;
  out["year_branch"] = date.year_branch;
  out["animal"] = date.animal;
  return out;
}

}  // namespace quorvane::chinese
