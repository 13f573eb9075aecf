// Saros numbering of eclipses: the series an eclipse belongs to and its
// place in it. Eclipses of one series are 223 lunations (one saros) apart,
// of neighbouring series 358 (one inex); numbers and first members follow
// F. Espenak's Saros catalogues on the NASA Eclipse Web Site.
#pragma once

#include <optional>

namespace quorvane {

// The series of the eclipse at lunation `lunation` (mean new moons from
// 2000-01-06; for a lunar eclipse, the new moon before it).
int saros_series(long lunation, bool solar);

// Its member number within the series (1 = the series' first eclipse);
// none where the catalogue counts no eclipse of the series at that lunation.
std::optional<int> saros_member(long lunation, bool solar);

}  // namespace quorvane
