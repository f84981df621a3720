#pragma once

// What the loader commands say when an exchange with the probe's loader goes wrong, word for
// word. They reach the user unchanged, or behind the update phase's prefix.
namespace messages {

inline constexpr const char* writeTimedOut = "write timed out";
inline constexpr const char* readTimedOut =
    "hardware error: target JTAG adapter data link read timed out";

inline constexpr const char* connectFailed = "connect failed";
inline constexpr const char* connectWrongTag = "connect failed, unexpected tag returned";
inline constexpr const char* disconnectFailed = "disconnect failed";
inline constexpr const char* disconnectWrongTag = "disconnect failed, unexpected tag returned";
inline constexpr const char* memoryWriteFailed = "memory write failed";
inline constexpr const char* memoryWriteWrongTag = "memory write failed, unexpected tag returned";
inline constexpr const char* memoryEraseFailed = "memory erase failed";
inline constexpr const char* memoryEraseWrongTag = "memory erase failed, unexpected tag returned";
inline constexpr const char* loaderInfoWrongTag = "get loader info failed, unexpected tag returned";
// crcCheck has no failure of its own on the wire; this one is only for a missing host buffer.
inline constexpr const char* crcCheckRefused = "crc check failed";

}  // namespace messages
