// The first and last eclipse of every Saros series, from NASA's catalogues
// (generated into saros_table.cpp by tools/gen_saros_table.py).
#pragma once

#include <span>

namespace quorvane {

// Lunation numbers count mean new moons from the one of 2000-01-06; a lunar
// eclipse takes the number of the new moon before it.
struct SarosSeries {
  int series;
  long first_lunation;
  long last_lunation;
};

// Solar series 0-180 or lunar series 1-180, in order of series.
std::span<const SarosSeries> saros_series_table(bool solar);

}  // namespace quorvane
