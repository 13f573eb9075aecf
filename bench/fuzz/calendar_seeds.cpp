// Writes the Chinese calendars of a few moments, computed over a real
// kernel, as seed inputs for calendar_fuzz, each with a "probe" birth.
//   calendar_seeds <kernel.bsp> <out dir>
#include <cstdio>
#include <fstream>
#include <string>

#include "quorvane/chinese/calendar.hpp"
#include "quorvane/ephemeris/kernels.hpp"

int main(int argc, char** argv) {
  using namespace quorvane;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <kernel.bsp> <out dir>\n", argv[0]);
    return 2;
  }
  auto kernels = KernelSet::load({argv[1]});
  if (!kernels) {
    std::fprintf(stderr, "%s\n", kernels.error().c_str());
    return 1;
  }
  const chinese::Sky sky(*kernels);
  // Around lichun, a leap month (2023), the 1929 change of day boundary,
  // the ends of the tables and an ordinary summer day.
  const char* const moments[] = {"2024-02-04T08:27:00Z", "2023-04-20T00:00:00Z",
                                 "1928-12-31T16:10:00Z", "1900-02-01T00:00:00Z",
                                 "2100-12-20T00:00:00Z", "1990-07-15T05:30:00Z"};
  int written = 0;
  for (const char* text : moments) {
    auto moment = UtcInstant::parse(text);
    if (!moment) continue;
    auto calendar = chinese::chinese_calendar(sky, *moment);
    if (!calendar) {
      std::fprintf(stderr, "%s: %s\n", text, calendar.error().text().c_str());
      continue;
    }
    Json seed = quorvane::to_json_tree(*calendar);
    seed["probe"] = {{"moment", text}, {"longitude", 116.4}, {"offset", 480},
                     {"sex", written % 2 ? "male" : "female"}, {"date", "2030-05-05"},
                     {"year", 2030}};
    std::ofstream(std::string(argv[2]) + "/calendar_" + std::to_string(written++) + ".json")
        << seed.dump();
  }
  return written ? 0 : 1;
}
