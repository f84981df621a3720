#include <string>

#include "cli/CatalogueLookup.h"
#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ReportFormat.h"
#include "firmware/FirmwareImage.h"

namespace cli {

int showCatalogue(const Console& console) {
    writeCatalogueTable(console.out);
    return exitSuccess;
}

int showReleaseNotes(const Console& console, std::string_view variant) {
    const FirmwareImage* row = findCatalogueRow(variant);
    if (!row) {
        std::string known;
        for (const FirmwareImage& entry : firmwareCatalogue)
            known += (known.empty() ? "" : ", ") + std::string(entry.name);
        return fail(console, exitUsage, messages::noImageForVariant(std::string(variant), known));
    }
    // Shown unchanged, line ends included, as the window shows them.
    if (row->releaseNotes && row->releaseNotesLength > 0) {
        console.out.write(row->releaseNotes, row->releaseNotesLength);
        if (row->releaseNotes[row->releaseNotesLength - 1] != '\n')
            console.out << '\n';
    }
    return exitSuccess;
}

}  // namespace cli
