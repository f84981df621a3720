#pragma once

// What the window and its panel show of their own, word for word: title, captions, tool tips
// and the error box's title. (Labels are Qt rich text.) The sentences about probes and updates
// come from the layers below, firmware/UserMessages.h first.
namespace messages {

inline constexpr const char* windowTitle = "Velantrix Update";
inline constexpr const char* hardwareCaption = "Hardware";
inline constexpr const char* firmwareCaption = "Firmware";
inline constexpr const char* statusCaption = "Status";
inline constexpr const char* variantTip = "The variant of the currently connected Velantrix";
inline constexpr const char* serialNumberTip =
    "The serial number of the currently connected Velantrix";
inline constexpr const char* variantLabel = "<b>Variant:</b> ";
inline constexpr const char* serialNumberLabel = "<b>Serial Number:</b> ";

inline constexpr const char* installedCaption = "Currently Installed Firmware";
inline constexpr const char* installedTip =
    "The version description of the firmware currently installed on the Velantrix";
inline constexpr const char* offeredCaption = "Install Firmware";
inline constexpr const char* offeredTip =
    "The version description of the currently selected firmware image file";
inline constexpr const char* versionLabel = "<b>Version: </b>";
inline constexpr const char* notInstalledLabel = "<i>Not Installed</i>";
inline constexpr const char* installButton = "&Install Firmware";
inline constexpr const char* installTip =
    "Click to download selected firmware image onto Velantrix";

inline constexpr const char* errorBoxTitle = "Error";

}  // namespace messages
