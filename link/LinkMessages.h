#pragma once

// What the data links say when a probe cannot be reached, word for word. They reach the user
// unchanged (the error box, the status line, the command-line tool's error line).
namespace messages {

inline constexpr const char* cannotOpenUsb = "Cannot open USB driver";
inline constexpr const char* cannotClaimInterface = "Cannot claim USB interface";
inline constexpr const char* cannotResetBridge = "cannot reset FTDI device";
inline constexpr const char* cannotPurgeRx = "cannot purge RX";
inline constexpr const char* cannotPurgeTx = "cannot purge TX";
inline constexpr const char* cannotSetLatency = "Cannot set latency timer";
inline constexpr const char* cannotSetBitMode = "cannot set bit mode";

}  // namespace messages
