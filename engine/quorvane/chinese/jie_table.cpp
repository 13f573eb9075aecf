#include "quorvane/chinese/jie_table.hpp"

#include "generated/jie_table_data.hpp"

namespace quorvane::chinese::jie_table {
namespace {

// 1900-01-01 00:00 UTC, the zero of the table's minutes, in microseconds.
constexpr int64_t kTableEpoch = -2208988800000000;
constexpr int64_t kMicrosPerMinute = 60000000;

constexpr int kFirstYear = generated::kJieFirstYear;
constexpr int kLastYear = generated::kJieFirstYear + generated::kJieYears - 1;

UtcInstant instant_of(int year, int index) {
  return UtcInstant(static_cast<int64_t>(generated::jie_minutes[year - kFirstYear][index]) *
                        kMicrosPerMinute +
                    kTableEpoch);
}

// The last jie of row `year` at or before `moment`.
std::optional<Jie> last_in_row(int year, UtcInstant moment) {
  for (int index = 11; index >= 0; --index) {
    const UtcInstant at = instant_of(year, index);
    if (at <= moment) return Jie{static_cast<uint8_t>(index), year, at};
  }
  return std::nullopt;
}

}  // namespace

std::optional<Jie> jie_before(UtcInstant moment) {
  const int32_t year = moment.civil().year;
  // The first jie of a year (about 6 January) leaves a few days of it to
  // the previous row; the year after the table still has that row's last.
  if (year == kLastYear + 1) return last_in_row(kLastYear, moment);
  if (year < kFirstYear || year > kLastYear) return std::nullopt;
  if (auto found = last_in_row(year, moment)) return found;
  if (year == kFirstYear) return std::nullopt;
  return last_in_row(year - 1, moment);
}

std::optional<UtcInstant> jie_at(int32_t year, int index) {
  if (year < kFirstYear || year > kLastYear || index < 0 || index > 11) return std::nullopt;
  return instant_of(year, index);
}

}  // namespace quorvane::chinese::jie_table
