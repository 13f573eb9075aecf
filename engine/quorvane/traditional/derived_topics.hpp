// What each house of a derived (turned) chart signifies, counted from each
// radix house, and the theme of each root house, in English and Italian.
#pragma once

#include <string_view>

namespace quorvane {

// An English and an Italian text.
struct Topic {
  std::string_view en;
  std::string_view it;
};

// What derived house `house` signifies counted from radix house `root`
// (both 1-12).
Topic derived_topic(int root, int house);
// The theme of a root house (1-12).
Topic root_theme(int root);

}  // namespace quorvane
