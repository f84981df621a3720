#pragma once

#include <ostream>
#include <vector>

#include "cli/ProbeSurvey.h"

// How the tool prints what it found: aligned text for people, JSON for scripts.
namespace cli {

// One line per probe under a heading line, columns padded to their widest entry. Nothing but
// the window's "no devices" sentence when `reports` is empty.
void writeProbeTable(std::ostream& out, const std::vector<ProbeReport>& reports);

// A JSON array with one object per probe, in the order of `reports`:
//   serial (string), productId (number), variant (string or null), state ("ready",
//   "unsupported", "unreachable" or "error"), installed (string or null), offered (string or
//   null), updateAvailable (bool), message (string or null).
void writeProbeJson(std::ostream& out, const std::vector<ProbeReport>& reports);

// The embedded catalogue: variant, product id, address, size and version of every row.
void writeCatalogueTable(std::ostream& out);

}  // namespace cli
