#include "cli/UpdateSummary.h"

#include <algorithm>
#include <iterator>

#include "cli/CliMessages.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/TextTable.h"
#include "firmware/UpdateHistory.h"

namespace cli {

namespace {

std::string versionCell(const std::optional<std::string>& version) {
    return version ? displayText(*version) : "-";
}

std::size_t countOf(const std::vector<UpdateRecord>& records, UpdateResult result) {
    return static_cast<std::size_t>(std::count_if(
        records.begin(), records.end(), [&](const auto& r) { return r.result == result; }));
}

}  // namespace

void writeSummary(std::ostream& out, const std::vector<UpdateRecord>& records) {
    std::vector<Row> rows{
        Row(std::begin(messages::summaryHeading), std::end(messages::summaryHeading))};
    for (const UpdateRecord& record : records) {
        rows.push_back({displayText(record.serialNumber), displayUtf8(record.variant),
                        versionCell(record.before), versionCell(record.after),
                        resultName(record.result), tenths(record.seconds)});
    }
    writeColumns(out, rows);
    out << messages::summaryCount(records.size(), countOf(records, UpdateResult::Updated),
                                  countOf(records, UpdateResult::UpToDate),
                                  countOf(records, UpdateResult::Skipped),
                                  countOf(records, UpdateResult::Failed))
        << '\n';
}

int summaryStatus(const std::vector<UpdateRecord>& records) {
    return countOf(records, UpdateResult::Failed) ? exitUpdateFailed : exitSuccess;
}

}  // namespace cli
