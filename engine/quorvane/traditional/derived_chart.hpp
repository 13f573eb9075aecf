// Derived (turned) charts: a chart dict reread so that one of its radix
// houses becomes house 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane {

// The derived number (1-12) of radix house `radix` when radix house `root`
// becomes house 1; any integer radix is taken modulo 12.
int derived_house_number(int64_t radix, int root);
// The radix house (1-12) of derived house `house` (1-12).
int radix_house_of(int house, int root);

// A copy of the key's value, or `fallback` when the object lacks the key
// (or is not an object).
Json get(const Json& object, std::string_view key, Json fallback);

// The list under `key` with every item's "house" turned to root `root`
// and its former value kept as "radix_house"; missing or null is [].
Expected<Json, EngineError> turn_items(const Json& base, std::string_view key, int root);

// The chart dict `base` reread from radix house `root_house` (outside 1-12
// it is 1). `custom_name`, when given and not empty, names the new chart.
// The result stays a Json tree: most of it is the caller's own chart dict
// copied through key by key, whatever its values hold.
Expected<Json, EngineError> calculate_derived_chart(const Json& base, int64_t root_house,
                                                    const std::optional<std::string>& custom_name);

}  // namespace quorvane
