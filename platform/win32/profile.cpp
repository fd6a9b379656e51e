// The system's own private-profile calls, which read the file in the ANSI code page and
// write it in place.
#include <optional>

#include "platform/win32/winapi.h"

namespace platform {
namespace {

// A line break inside a name or value would start a new line in the file, and so a new key:
// the system writes what it is given, so it is given one line.
std::optional<std::string> One_Line(LPCSTR text) {
    if (!text)
        return std::nullopt;
    std::string line;
    for (const char* p = text; *p; ++p) {
        if (*p == '\r' && p[1] == '\n')
            continue;
        line += (*p == '\r' || *p == '\n') ? ' ' : *p;
    }
    return line;
}

LPCSTR Text(const std::optional<std::string>& s) {
    return s ? s->c_str() : nullptr;
}

class WindowsProfileFile final : public ProfileFile {
public:
    DWORD GetPrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR def, LPSTR out, DWORD size,
                                   LPCSTR file) override {
        // Without a section the system lists the file's sections, and without a file it reads
        // WIN.INI: neither is anything of this file. Without a key it lists the section's keys.
        if (!app || !file) {
            const std::string fallback = def ? def : "";
            if (!out || size == 0)
                return 0;
            const DWORD n = DWORD(std::min<std::size_t>(fallback.size(), size - 1));
            fallback.copy(out, n);
            out[n] = '\0';
            return n;
        }
        return ::GetPrivateProfileStringA(app, key, def, out, size, file);
    }

    BOOL WritePrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR value, LPCSTR file) override {
        if (!app || !file) {
            lastError_ = ERROR_INVALID_PARAMETER;
            return 0;
        }
        const auto section = One_Line(app), name = One_Line(key), line = One_Line(value);
        const BOOL ok = ::WritePrivateProfileStringA(Text(section), Text(name), Text(line), file);
        lastError_ = ok ? 0 : ::GetLastError();
        return ok;
    }

    DWORD GetLastError() const override { return lastError_; }

private:
    DWORD lastError_ = 0;
};

}  // namespace

ProfileFile& SystemProfileFile() {
    static WindowsProfileFile profile;
    return profile;
}

}  // namespace platform
