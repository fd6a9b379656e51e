#include "platform/linux/netpath.h"

#include <cctype>
#include <vector>


namespace platform::netpath {
namespace {

bool Clean(const std::string& part) {
    if (part.empty() || part == "." || part == "..")
        return false;
    for (unsigned char c : part) {
        if (c < 0x20 || c == 0x7f || c == '/')
            return false;
    }
    return true;
}

}  // namespace

std::optional<UncPath> ParseUnc(const char* text) {
    if (!text)
        return std::nullopt;
    const std::string s(text);
    if (s.size() < 5 || s[0] != '\\' || s[1] != '\\')
        return std::nullopt;
    std::vector<std::string> parts;
    std::string cur;
    for (std::size_t i = 2; i < s.size(); ++i) {
        if (s[i] == '\\') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += s[i];
        }
    }
    parts.push_back(cur);
    // One trailing backslash is harmless ("\\srv\share\").
    if (parts.size() > 2 && parts.back().empty())
        parts.pop_back();
    if (parts.size() < 2)
        return std::nullopt;
    for (const std::string& p : parts) {
        if (!Clean(p))
            return std::nullopt;
    }
    UncPath unc{parts[0], parts[1], {}};
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (!unc.folder.empty())
            unc.folder += '/';
        unc.folder += parts[i];
    }
    return unc;
}

std::optional<std::string> DriveName(const char* text) {
    if (!text || std::string_view(text).size() != 2 || text[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    return std::string(1, char(std::toupper(static_cast<unsigned char>(text[0])))) + ":";
}

std::optional<std::string> PortQueueName(const char* text) {
    if (!text)
        return std::nullopt;
    const std::string_view t(text);
    if (t.size() != 5 || std::toupper(static_cast<unsigned char>(t[0])) != 'L' ||
        std::toupper(static_cast<unsigned char>(t[1])) != 'P' ||
        std::toupper(static_cast<unsigned char>(t[2])) != 'T' || t[3] < '1' || t[3] > '9' ||
        t[4] != ':')
        return std::nullopt;
    return "LPT" + std::string(1, t[3]);
}

}  // namespace platform::netpath
