#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

// What the command-line tool says on its own, word for word; what it says about probes and
// updates beyond this comes from the layers below (firmware/UserMessages.h and the links' and
// the loader's message files).
namespace messages {

// The command line.
inline constexpr const char* seeHelp = " (see --help)";
inline constexpr const char* noCommand = "no command given";
inline constexpr const char* serialTwice = "--serial given twice";
inline constexpr const char* serialNeedsValue = "--serial needs a serial number";
inline constexpr const char* serialOrAll = "--serial and --all exclude each other";
inline constexpr const char* notesTakesOne = "notes takes one variant name";
inline constexpr const char* notesNeedsVariant = "notes needs a variant name, e.g. 'notes heron'";
inline std::string optionTwice(std::string_view option) {
    return std::string(option) + " given twice";
}
inline constexpr const char* jobsNeedsNumber = "--jobs needs a whole number from 1";
inline constexpr const char* manyNeedsAll = "--jobs and --json go with update --all";
inline constexpr const char* imageNeedsFile = "--image needs a file name";
inline constexpr const char* exportNeedsFolder = "--export needs a folder name";
inline constexpr const char* imageNeedsSerial =
    "--image needs --serial: an image file names no variant, so choose the probe";
inline constexpr const char* imageNotWithAll = "--image installs into one probe, not --all";
inline constexpr const char* allowOlderNeedsImage = "--allow-older goes with --image";
inline constexpr const char* forceNeedsExport = "images takes --force only with --export";
inline constexpr const char* inspectNeedsFile = "inspect needs a file name";
inline std::string unknownOption(const std::string& option) {
    return "unknown option '" + option + "'";
}
inline std::string unexpectedArgument(const std::string& argument) {
    return "unexpected argument '" + argument + "'";
}
inline std::string unknownCommand(const std::string& command) {
    return "unknown command '" + command + "'";
}
inline std::string noImageForVariant(const std::string& variant, const std::string& known) {
    return "no firmware image for variant '" + variant + "' (" + known + ")";
}

// Probes and their firmware.
inline constexpr const char* notInstalled = "not installed";
inline constexpr const char* updateAvailable = "update available";
inline constexpr const char* reportsOfferedVersion = "reports the offered version";
inline constexpr const char* holdsOfferedImage = "holds the offered image (block-checked)";
inline constexpr const char* flashDiffersFromOffered =
    "reports the offered version, but its flash differs: update available";
inline std::string productIdText(unsigned productId) {
    return "product id " + std::to_string(productId);
}

// An update.
inline constexpr const char* severalProbesChoose =
    "Multiple devices connected, choose one with --serial or update all with --all.";
inline std::string noProbeWithSerial(const std::string& serial) {
    return "no Velantrix with serial number " + serial + " is attached";
}
inline std::string severalWithSerial(const std::string& serial) {
    return "several Velantrix report serial number " + serial;
}
inline std::string skipped(const std::string& why) {
    return "skipped, " + why;
}
inline std::string checkingOfferedVersion(const std::string& version) {
    return std::string(reportsOfferedVersion) + " (" + version + "), checking it";
}
inline std::string alreadyUpToDate(const std::string& version) {
    return "already up to date (" + version + ")";
}
inline constexpr const char* mismatchNotice =
    "its flash does not hold the offered image (an earlier update stopped part-way?), "
    "installing it again";
inline std::string installing(const std::string& offered, const std::string& installed) {
    return "installing " + offered + " over " + installed;
}
inline constexpr const char* incompleteNotice =
    "the update stopped part-way and the firmware may be incomplete even if its version reads "
    "as installed; run the update again";
inline constexpr const char* didNotComeBack = "the Velantrix did not come back after the update";
inline std::string cannotReadBack(const std::string& why) {
    return "cannot read the installed firmware back: " + why;
}
inline std::string reportsOtherVersion(const std::string& now, const std::string& offered) {
    return "the loader reports " + now + " after the update, not " + offered;
}
inline std::string installedNow(const std::string& version) {
    return "installed version now " + version;
}
// update --all.
inline constexpr const char* sharedSerial =
    "another attached Velantrix reports the same serial number; after a restart the two cannot "
    "be told apart, so neither was updated";
inline constexpr const char* boardNotice =
    "Do not remove a Velantrix while its line shows it being updated.";
inline constexpr const char* failedOnBoard = "failed (see below)";
inline constexpr const char* summaryHeading[] = {"SERIAL", "VARIANT", "FROM",
                                                 "TO",     "RESULT",  "SECONDS"};
inline std::string summaryCount(std::size_t probes, std::size_t updated, std::size_t upToDate,
                                std::size_t skipped, std::size_t failed) {
    std::string text = std::to_string(probes) + (probes == 1 ? " probe:" : " probes:");
    const std::pair<std::size_t, const char*> counts[] = {
        {updated, "updated"}, {upToDate, "up to date"}, {skipped, "skipped"}, {failed, "failed"}};
    const char* separator = " ";
    for (const auto& [count, what] : counts) {
        if (count == 0)
            continue;
        text += separator + std::to_string(count) + " " + what;
        separator = ", ";
    }
    return text;
}
// Image files: inspect and images --export.
inline constexpr const char* magicLabel = "magic";
inline constexpr const char* headerSizeLabel = "header size";
inline constexpr const char* payloadSizeLabel = "payload size";
inline constexpr const char* payloadCrcLabel = "payload CRC";
inline constexpr const char* formatLabel = "format";
inline constexpr const char* versionLabel = "version";
inline std::string byteCount(std::size_t bytes) {
    return std::to_string(bytes) + " bytes";
}
inline constexpr const char* crcMatches = ", matches the payload";
inline constexpr const char* crcNotChecked = ", not checked";
inline std::string crcDiffers(const std::string& computed) {
    return ", but the payload's is " + computed;
}
inline std::string installableInto(const std::string& variants) {
    return "can be installed into: " + variants + " (by its header size)";
}
inline std::string wroteFile(const std::string& path) {
    return "wrote " + path;
}
inline std::string keptFile(const std::string& path) {
    return "kept " + path + ", which exists (--force overwrites it)";
}
inline std::string cannotWrite(const std::string& path) {
    return "cannot write " + path;
}

// An update from an image file; the refusals follow the file's name.
inline std::string olderThanInstalled(const std::string& file, const std::string& installed) {
    return "is " + file + ", older than the installed " + installed +
           "; --allow-older installs it anyway";
}
inline constexpr const char* sameAsInstalled =
    "is what the probe holds already, block for block; --force installs it again";
inline std::string checkingFile(const std::string& version) {
    return "reports the file's version (" + version + "), checking it";
}
inline constexpr const char* fileDiffersNotice = "its flash differs from the file, installing it";
inline std::string installingFile(const std::string& path, const std::string& version,
                                  const std::string& installed) {
    return "installing " + path + " (" + version + ") over " + installed;
}

// Why a probe cannot be opened or claimed, and the way out, after the link's message.
inline constexpr const char* theProbe = "the probe";
inline std::string noPermission(const std::string& node) {
    return "no permission to open " + node +
           " - install the udev rule (README, \"The udev rule\") and plug the probe in again";
}
inline constexpr const char* heldByAnotherProgram =
    "another program has it open - close that program and try again";
inline constexpr const char* probeGone = "the probe has gone - plug it in again and retry";
inline constexpr const char* accessDenied =
    "access denied - another program has it open; close that program and try again";
inline constexpr const char* noWinUsb =
    "WinUSB is not its driver - install velantrix-probes.inf (README, \"Driver binding\") and "
    "plug the probe in again";

// doctor: one line per check, "ok" or what to do.
inline constexpr const char* readmeRule = " (README, \"The udev rule\")";
inline std::string doctorRuleOk(const std::string& file) {
    return "udev rule: ok (" + file + ")";
}
inline std::string doctorRuleMissing(const std::string& directories) {
    return "udev rule: not installed in " + directories + " - install it" + readmeRule +
           " and plug the probes in again";
}
inline std::string doctorRuleLacks(const std::string& file, const std::string& productIds) {
    return "udev rule: " + file + " does not name product ids " + productIds +
           " - install this version's rule" + readmeRule + " and plug the probes in again";
}
inline constexpr const char* doctorNoProbe = "probes: none attached";
inline std::string doctorNodeOk(const std::string& probe, const std::string& node) {
    return probe + ": ok (" + node + ")";
}
inline std::string doctorNodeDenied(const std::string& probe, const std::string& node) {
    return probe + ": you may not read and write " + node + " - install the udev rule" +
           readmeRule + " and plug the probe in again";
}
inline std::string doctorNoNode(const std::string& probe) {
    return probe + ": its device node cannot be found - plug it in again";
}
inline std::string doctorWinUsbOk(const std::string& probe) {
    return probe + ": ok (WinUSB)";
}
inline std::string doctorNoWinUsb(const std::string& probe) {
    return probe + ": " + noWinUsb;
}
inline constexpr const char* doctorSeatOk = "seat: ok";
inline constexpr const char* doctorNoSeat =
    "seat: this session is not at a seat (a remote login?), so the udev rule gives it no access "
    "- run the program in a session at the machine";
inline constexpr const char* doctorLibusbOk = "libusb: ok";
inline constexpr const char* doctorLibusbFails =
    "libusb: cannot be set up - check that libusb-1.0 is installed and /dev/bus/usb exists";

// Where a phase's bar or line ends when the phase failed.
inline constexpr const char* stoppedBar = "  stopped";
inline constexpr const char* stoppedAt = "stopped at ";

inline constexpr const char* usage =
    "Usage: velantrix-update-cli COMMAND [OPTIONS]\n"
    "\n"
    "Installs the firmware this program carries into attached Velantrix probes.\n"
    "\n"
    "Commands:\n"
    "  list [--json] [--check]        every attached Velantrix: serial number, variant,\n"
    "                                 installed and offered firmware, update state;\n"
    "                                 --check compares the flash of a probe that reports\n"
    "                                 the offered version with the image, block by block\n"
    "  update [--serial S | --all] [--force]\n"
    "                                 install the offered firmware into the one attached\n"
    "                                 probe, the one with serial number S, or every\n"
    "                                 probe that can be updated; a probe that reports\n"
    "                                 the offered version is checked block by block and\n"
    "                                 left alone when its flash holds the image\n"
    "                                 (--force installs without checking)\n"
    "  update --all [--jobs N] [--json] [--force]\n"
    "                                 every probe at once, each on its own link (--jobs:\n"
    "                                 at most N at a time); a line per probe on a\n"
    "                                 terminal, --json one JSON object per event, then\n"
    "                                 a summary; exit 5 when any probe failed\n"
    "  update --image FILE --serial S [--allow-older] [--force]\n"
    "                                 install an image file into the probe with serial\n"
    "                                 number S (refused when older than what it runs,\n"
    "                                 without --allow-older, or when it holds the file\n"
    "                                 already, without --force)\n"
    "  images [--export DIR [--force]]\n"
    "                                 the firmware images this program carries; with\n"
    "                                 --export, each written into DIR with its notes\n"
    "                                 (an existing file is kept without --force)\n"
    "  inspect FILE                   an image file's header, and which variants it\n"
    "                                 could be installed into\n"
    "  notes VARIANT                  the release notes of a variant's image\n"
    "                                 (e.g. 'heron' or 'Velantrix Heron')\n"
    "  doctor                         checks what opening a probe needs, one line\n"
    "                                 each: ok, or what to do (exit 0 when all is well)\n"
    "  history [--serial S] [--json]  every update recorded, oldest first: time, serial\n"
    "                                 number, variant, versions, result, seconds; --json\n"
    "                                 prints the records as they are kept (JSON Lines)\n"
    "\n"
    "Options:\n"
    "  -h, --help                     show this text\n"
    "  --version                      show the program's version\n"
    "  --history FILE                 (update, watch, history) the history file, instead\n"
    "                                 of history.jsonl in the user's state folder\n"
    "\n"
    "Exit status: 0 success, 1 the probe cannot be updated (doctor: something to do),\n"
    "2 wrong command line, 3 no probe attached (or none with that serial number),\n"
    "4 several probes attached and none chosen, 5 the probe failed while being read or\n"
    "updated, 6 an image file was refused before anything was written.\n";

// The history of updates.
inline constexpr const char* historyNeedsFile = "--history needs a file name";
inline constexpr const char* noUpdatesRecorded = "no updates recorded yet";
inline std::string noUpdatesRecordedOf(const std::string& serial) {
    return "no updates of " + serial + " recorded yet";
}
inline std::string historyUnreadable(const std::string& path, const std::string& why) {
    return "cannot read the history " + path + ": " + why;
}
inline std::string historyLinesSkipped(const std::string& path, const std::string& lines) {
    return "warning: skipped lines of " + path + " that hold no record (torn or garbled): " + lines;
}
inline std::string historyWarning(const std::string& warning) {
    return "warning: " + warning;
}
inline constexpr const char* historyHeading[] = {"TIME",   "SERIAL",  "VARIANT", "BEFORE -> AFTER",
                                                 "RESULT", "SECONDS", "MESSAGE"};

}  // namespace messages
