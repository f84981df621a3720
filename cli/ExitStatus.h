#pragma once

// The tool's exit statuses. Scripts rely on them, so the numbers never change.
namespace cli {

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;        // nothing was attempted: the probe cannot be updated
inline constexpr int exitUsage = 2;          // the command line is wrong
inline constexpr int exitNoProbe = 3;        // no probe, or none with the serial number asked for
inline constexpr int exitSeveralProbes = 4;  // more than one candidate and no choice made
inline constexpr int exitUpdateFailed = 5;   // the probe failed while being read or updated
inline constexpr int exitImageRefused = 6;   // an image file was refused; nothing written

}  // namespace cli
