#include "firmware/ImageFile.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "firmware/UserMessages.h"
#include "loader/Crc32.h"

uint32_t carriedHeaderSize(const FirmwareImage& row) {
    if (!isValidImage(row))
        return 0;
    return parseFirmwareImageHeader(row.data, row.size)->headerSize;
}

std::vector<const FirmwareImage*> variantsTaking(uint32_t headerSize) {
    std::vector<const FirmwareImage*> rows;
    for (const FirmwareImage& row : firmwareCatalogue) {
        if (carriedHeaderSize(row) == headerSize)
            rows.push_back(&row);
    }
    return rows;
}

ImageFileCheck checkImageFile(std::span<const uint8_t> bytes, const FirmwareImage* row) {
    ImageFileCheck check;
    const std::size_t size = bytes.size();
    if (size > maxImageFileSize) {
        check.refusal = messages::imageFileTooLarge(size, maxImageFileSize);
        return check;
    }
    check.header = parseFirmwareImageHeader(bytes.data(), size);
    if (!check.header) {
        check.refusal = messages::imageFileShorterThanHeader(size, firmwareImageHeaderFixedSize);
        return check;
    }
    const FirmwareImageHeader& header = *check.header;
    if (header.magic != firmwareImageMagic) {
        check.refusal = messages::imageFileWrongMagic(header.magic, firmwareImageMagic);
    } else if (row && header.headerSize != carriedHeaderSize(*row)) {
        check.refusal = messages::imageFileWrongHeaderSize(header.headerSize, row->name,
                                                           carriedHeaderSize(*row));
    } else if (!row && variantsTaking(header.headerSize).empty()) {
        check.refusal = messages::imageFileUnknownHeaderSize(header.headerSize);
    } else if (header.headerSize > size) {
        check.refusal = messages::imageFileShorterThanHeader(size, header.headerSize);
    } else if (uint64_t{header.headerSize} + header.payloadSize != size) {
        check.refusal = messages::imageFileWrongSize(size, header.headerSize, header.payloadSize);
    } else {
        check.payloadCrc = crc32(bytes.data() + header.headerSize, header.payloadSize);
        if (*check.payloadCrc != header.payloadCrc)
            check.refusal = messages::imageFileWrongCrc(*check.payloadCrc, header.payloadCrc);
    }
    return check;
}

ImageFileRead readImageFile(const std::string& path) {
    ImageFileRead read;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        read.refusal = messages::imageFileUnreadable(error.message());
        return read;
    }
    if (size > maxImageFileSize) {
        read.refusal = messages::imageFileTooLarge(size, maxImageFileSize);
        return read;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        read.refusal = messages::imageFileUnreadable(std::generic_category().message(errno));
        return read;
    }
    // One byte more than it had, to see it grow.
    read.bytes.resize(static_cast<std::size_t>(size) + 1);
    file.read(reinterpret_cast<char*>(read.bytes.data()),
              static_cast<std::streamsize>(read.bytes.size()));
    if (file.bad() || static_cast<std::uintmax_t>(file.gcount()) != size) {
        read.bytes.clear();
        read.refusal =
            file.bad()
                ? messages::imageFileUnreadable(std::make_error_code(std::errc::io_error).message())
                : messages::imageFileChanged;
        return read;
    }
    read.bytes.resize(static_cast<std::size_t>(size));
    return read;
}

FirmwareImage imageInPlaceOf(const FirmwareImage& row, std::span<const uint8_t> bytes) {
    FirmwareImage image = row;
    image.data = bytes.data();
    image.size = static_cast<uint32_t>(bytes.size());
    return image;
}
