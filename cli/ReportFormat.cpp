#include "cli/ReportFormat.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/CatalogueLookup.h"
#include "cli/CliMessages.h"
#include "cli/DisplayText.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UserMessages.h"

namespace cli {

namespace {

using Row = std::vector<std::string>;

constexpr const char* columnGap = "  ";

struct StateName {
    ProbeState state;
    const char* json;
};

constexpr StateName stateNames[] = {
    {ProbeState::Ready, "ready"},
    {ProbeState::Unsupported, "unsupported"},
    {ProbeState::Unreachable, "unreachable"},
    {ProbeState::Error, "error"},
};

const char* jsonStateName(ProbeState state) {
    for (const auto& entry : stateNames) {
        if (entry.state == state)
            return entry.json;
    }
    return "error";
}

// Cells are Latin-1 as they came; widths count their bytes, and only the printed text is
// converted. The last column is not padded, so lines carry no trailing blanks.
void writeColumns(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<std::size_t> widths;
    for (const Row& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            out << displayText(row[i]);
            if (i + 1 < row.size())
                out << std::string(widths[i] - row[i].size(), ' ') << columnGap;
        }
        out << '\n';
    }
}

std::string variantText(const ProbeReport& report) {
    if (report.row)
        return report.row->name;
    return messages::productIdText(report.device.productId);
}

std::string installedText(const ProbeReport& report) {
    if (report.state != ProbeState::Ready)
        return "-";
    return report.installed.value_or(messages::notInstalled);
}

std::string statusText(const ProbeReport& report) {
    if (!report.message.empty())
        return report.message;
    if (report.holdsOffered)
        return *report.holdsOffered ? messages::holdsOfferedImage
                                    : messages::flashDiffersFromOffered;
    // Without --check `list` only asks the loader, which reports the version in the image's
    // header: it cannot tell a complete image from a half-written one, so it says what it knows.
    return report.updateAvailable() ? messages::updateAvailable : messages::reportsOfferedVersion;
}

std::string jsonOptional(const std::optional<std::string>& text) {
    return text ? jsonString(*text) : "null";
}

std::string hex32(uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

void writeProbeTable(std::ostream& out, const std::vector<ProbeReport>& reports) {
    if (reports.empty()) {
        out << messages::noProbe << '\n';
        return;
    }
    std::vector<Row> rows{{"SERIAL", "VARIANT", "INSTALLED", "OFFERED", "STATUS"}};
    for (const ProbeReport& report : reports) {
        rows.push_back({report.device.serialNumber, variantText(report), installedText(report),
                        report.offered.value_or("-"), statusText(report)});
    }
    writeColumns(out, rows);
}

void writeProbeJson(std::ostream& out, const std::vector<ProbeReport>& reports) {
    out << '[';
    const char* separator = "\n";
    for (const ProbeReport& report : reports) {
        out << separator << "  {\"serial\": " << jsonString(report.device.serialNumber)
            << ", \"productId\": " << report.device.productId
            << ", \"variant\": " << (report.row ? jsonString(report.row->name) : "null")
            << ", \"state\": " << jsonString(jsonStateName(report.state))
            << ", \"installed\": " << jsonOptional(report.installed)
            << ", \"offered\": " << jsonOptional(report.offered)
            << ", \"updateAvailable\": " << (report.updateAvailable() ? "true" : "false")
            << ", \"holdsOfferedImage\": "
            << (report.holdsOffered ? (*report.holdsOffered ? "true" : "false") : "null")
            << ", \"message\": " << (report.message.empty() ? "null" : jsonString(report.message))
            << '}';
        separator = ",\n";
    }
    out << (reports.empty() ? "]\n" : "\n]\n");
}

void writeCatalogueTable(std::ostream& out) {
    std::vector<Row> rows{{"VARIANT", "PRODUCT ID", "ADDRESS", "SIZE", "VERSION"}};
    for (const FirmwareImage& row : firmwareCatalogue) {
        const auto productId = productIdOf(row);
        rows.push_back({row.name, productId ? std::to_string(*productId) : "-", hex32(row.address),
                        std::to_string(row.size),
                        isValidImage(row) ? imageVersionDescription(row) : messages::invalidImage});
    }
    writeColumns(out, rows);
}

}  // namespace cli
