#include <string>

#include "platform/HistoryFile.h"
#include "platform/windows/SystemApi.h"
#include "platform/windows/Win32.h"

// Paths are UTF-8 in the program and UTF-16 for the system, so that any folder name works.
namespace platform {

namespace {

std::wstring wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            length);
    return out;
}

std::string narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            length, nullptr, nullptr);
    return out;
}

FileFailure failure(const std::string& path, DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = length > 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L'.' || reason.back() == L' '))
        reason.pop_back();
    return {path, reason.empty() ? "error " + std::to_string(error) : narrow(reason)};
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The folders of `path` that are missing, from the top down (after the drive or share).
std::optional<FileFailure> makeFoldersOf(const std::string& path) {
    for (std::size_t at = 3; at < path.size(); ++at) {
        if (!isSeparator(path[at]))
            continue;
        const std::string folder = path.substr(0, at);
        if (!CreateDirectoryW(wide(folder).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_ACCESS_DENIED)
            return failure(folder, GetLastError());
    }
    return std::nullopt;
}

// Whether the file holds something whose last byte is not a line end: a line torn part-way.
bool endsTorn(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0)
        return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart - 1);
    at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
    char last = '\n';
    DWORD read = 0;
    return ReadFile(file, &last, 1, &read, &at) && read == 1 && last != '\n';
}

// The line (after a line end when the last one was torn), written and flushed; the caller holds
// the file's lock.
std::optional<FileFailure> appendLocked(HANDLE file, const std::string& path,
                                        std::string_view line) {
    std::string text = endsTorn(file) ? "\n" : "";
    text.append(line);
    text += '\n';
    DWORD wrote = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr))
        return failure(path, GetLastError());
    if (wrote != text.size())
        return failure(path, ERROR_DISK_FULL);
    if (!FlushFileBuffers(file))
        return failure(path, GetLastError());
    return std::nullopt;
}

}  // namespace

std::optional<std::string> defaultHistoryPath() {
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length =
        GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), length);
    }
    if (length == 0 || length >= folder.size())
        return std::nullopt;
    folder.resize(length);
    return narrow(folder) + "\\Velantrix Update\\history.jsonl";
}

std::optional<FileFailure> appendLineDurably(const std::string& path, std::string_view line,
                                             bool makeFolders) {
    if (makeFolders) {
        if (auto failed = makeFoldersOf(path))
            return failed;
    }
    // With FILE_APPEND_DATA and no FILE_WRITE_DATA every write goes to the end of the file. Not
    // every file system (nor Wine) makes such a write one piece between handles, so writers also
    // take turns under a lock over the whole file, which covers other programs as well; the check
    // for a torn last line sits under it too.
    const SystemApi api = systemApi();
    const OwnedHandle file(api, CreateFileW(wide(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return failure(path, GetLastError());
    OVERLAPPED whole{};
    if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        return failure(path, GetLastError());
    // Closing the handle releases the lock as well; unlocking first lets the next writer in
    // without waiting for the close.
    std::optional<FileFailure> failed = appendLocked(file.get(), path, line);
    UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    return failed;
}

}  // namespace platform
