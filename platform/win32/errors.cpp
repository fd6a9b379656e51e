// Windows error numbers (GetLastError) told in the user's language: Mapeo's own words for
// the common ones, the system's message for the rest.
#include "platform/texts.h"
#include "platform/win32/winapi.h"

namespace platform {

namespace win32 {

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr,
                              nullptr);
    return out;
}

std::string System_Message(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = n && text ? std::wstring(text, n) : std::wstring();
    if (text)
        ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                             wide.back() == L'.'))
        wide.pop_back();
    return wide.empty() ? "error " + std::to_string(code) : Utf8(wide);
}

}  // namespace win32

std::string ErrorText(int error) {
    switch (DWORD(error)) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return texts::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return texts::NotFound;
        case ERROR_DIRECTORY:
            return texts::NotAFolder;
        case win32::ERROR_IS_A_FOLDER:
            return texts::IsAFolder;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return texts::DiskFull;
        case ERROR_WRITE_PROTECT:
            return texts::ReadOnlyDisk;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return texts::AlreadyExists;
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_NAME:
            return texts::InvalidParameter;
        case ERROR_FILENAME_EXCED_RANGE:
            return texts::NameTooLong;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return texts::InputOutput;
        default:
            return win32::System_Message(DWORD(error));
    }
}

}  // namespace platform
