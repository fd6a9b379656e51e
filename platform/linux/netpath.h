// Checks on device names and network paths before anything on the system is touched.
#pragma once

#include <optional>
#include <string>

namespace platform::netpath {

struct UncPath {
    std::string server;
    std::string share;
    std::string folder;  // "" or "a/b", never with "." or ".." parts
};

// "\\server\share" with an optional folder; no control characters, no empty parts.
std::optional<UncPath> ParseUnc(const char* text);
// "J:" for a drive letter (given in either case), or nothing.
std::optional<std::string> DriveName(const char* text);
// "LPT1" for "LPT1:" .. "LPT9:" (either case), or nothing.
std::optional<std::string> PortQueueName(const char* text);

}  // namespace platform::netpath
