#pragma once

#include <ostream>
#include <vector>

#include "firmware/UpdateRecord.h"

// The end of update --all: what became of every probe, for people, and the exit status.
namespace cli {

// A table (serial number, variant, from, to, result, seconds), one row per record in its order,
// then a line counting the probes by result.
void writeSummary(std::ostream& out, const std::vector<UpdateRecord>& records);

// exitUpdateFailed when any probe failed, else exitSuccess: up to date and skipped (a probe this
// program cannot update) are not failures.
int summaryStatus(const std::vector<UpdateRecord>& records);

}  // namespace cli
