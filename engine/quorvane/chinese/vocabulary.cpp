#include "quorvane/chinese/vocabulary.hpp"

namespace quorvane::chinese {

LunarDate lunar_date(int32_t year, uint8_t month, bool leap, uint32_t day) {
  const int cycle = year_cycle(year);
  const auto branch = static_cast<size_t>(cycle % 12);
  return {year, month, leap, day, kStems[static_cast<size_t>(cycle % 10)], kBranches[branch],
          kAnimals[branch]};
}

void write(RecordWriter& out, const LunarDate& date) {
  ObjectWriter(out)
      .field("year", date.year)
      .field("month", date.month)
      .field("leap", date.leap)
      .field("day", date.day)
      .field("year_stem", date.year_stem)
      .field("year_branch", date.year_branch)
      .field("animal", date.animal);
}

}  // namespace quorvane::chinese
