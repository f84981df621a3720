#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ImageFile.h"
#include "firmware/UserMessages.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

// `bytes` into `path` through a temporary file beside it renamed into place, so that the name
// never holds half a file. Answers why not, empty when written.
std::string writeWhole(const fs::path& path, std::string_view bytes) {
    fs::path partial = path;
    partial += ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            return messages::cannotWrite(partial.string());
        }
    }
    std::error_code error;
    fs::rename(partial, path, error);
    if (error) {
        fs::remove(partial, error);
        return messages::cannotWrite(path.string());
    }
    return {};
}

// One exported file: written, or kept because it exists and --force was not given. The exit
// status.
int exportFile(const Console& console, const fs::path& path, std::string_view bytes, bool force) {
    std::error_code error;
    if (!force && fs::exists(path, error)) {
        console.out << messages::keptFile(path.string()) << '\n';
        return exitSuccess;
    }
    if (std::string why = writeWhole(path, bytes); !why.empty())
        return fail(console, exitFailure, why);
    console.out << messages::wroteFile(path.string()) << '\n';
    return exitSuccess;
}

void writeField(std::ostream& out, const char* label, const std::string& value) {
    out << "  " << label << std::string(14 - std::string_view(label).size(), ' ') << value << '\n';
}

std::string crcText(const ImageFileCheck& check) {
    const uint32_t stored = check.header->payloadCrc;
    if (!check.payloadCrc)
        return messages::hexText(stored) + messages::crcNotChecked;
    if (*check.payloadCrc == stored)
        return messages::hexText(stored) + messages::crcMatches;
    return messages::hexText(stored) + messages::crcDiffers(messages::hexText(*check.payloadCrc));
}

}  // namespace

int exportImages(const Console& console, const std::string& directory, bool force) {
    std::error_code error;
    fs::create_directories(directory, error);
    if (error)
        return fail(console, exitFailure, messages::cannotWrite(directory));
    int status = exitSuccess;
    for (const FirmwareImage& row : firmwareCatalogue) {
        const ProbeModel* model = probeModelOf(row);
        if (!model || !isValidImage(row))
            continue;
        const auto header = parseFirmwareImageHeader(row.data, row.size);
        // As the tool names a variant and numbers a version everywhere else.
        const std::string stem =
            std::string("velantrix-") + model->image + "-" + versionNumber(versionOf(*header));
        const fs::path base = fs::path(directory) / stem;
        int result = exportFile(console, fs::path(base) += ".vxfw",
                                {reinterpret_cast<const char*>(row.data), row.size}, force);
        if (result == exitSuccess && row.releaseNotes) {
            result = exportFile(console, fs::path(base) += ".txt",
                                {row.releaseNotes, row.releaseNotesLength}, force);
        }
        if (status == exitSuccess)
            status = result;
    }
    return status;
}

int inspectImageFile(const Console& console, const std::string& path) {
    const ImageFileRead file = readImageFile(path);
    if (!file.refusal.empty())
        return fail(console, exitFailure, path, file.refusal);
    const ImageFileCheck check = checkImageFile(file.bytes, nullptr);
    console.out << path << " (" << messages::byteCount(file.bytes.size()) << ")\n";
    if (check.header) {
        const FirmwareImageHeader& header = *check.header;
        writeField(console.out, messages::magicLabel, messages::hexText(header.magic));
        writeField(console.out, messages::headerSizeLabel,
                   messages::hexText(header.headerSize) + " (" +
                       messages::byteCount(header.headerSize) + ")");
        writeField(console.out, messages::payloadSizeLabel,
                   messages::byteCount(header.payloadSize));
        writeField(console.out, messages::payloadCrcLabel, crcText(check));
        writeField(console.out, messages::formatLabel, std::to_string(header.imageFormat));
        writeField(console.out, messages::versionLabel, displayText(versionDescription(header)));
    }
    if (!check.refusal.empty())
        return fail(console, exitFailure, path, check.refusal);
    std::string variants;
    for (const FirmwareImage* row : variantsTaking(check.header->headerSize))
        variants += (variants.empty() ? "" : ", ") + std::string(row->name);
    console.out << messages::installableInto(variants) << '\n';
    return exitSuccess;
}

}  // namespace cli
