// The pure part of the SMB enumeration: which container a record names, the records a
// listing gives, and the buffer protocol of the enumeration calls.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/texts.h"
#include "platform/win32types.h"

namespace platform::smbenum {

inline constexpr const char* ProviderName = texts::ProviderName;

// One name from a libsmbclient listing.
struct Entry {
    enum Kind { Workgroup, Server, FileShare, PrinterShare, IpcShare, Directory, File, Other };
    Kind kind = Other;
    std::string name;
    std::string comment;
};

// A record with its strings owned.
struct Record {
    DWORD dwScope = RESOURCE_GLOBALNET;
    DWORD dwType = RESOURCETYPE_ANY;
    DWORD dwDisplayType = RESOURCEDISPLAYTYPE_GENERIC;
    DWORD dwUsage = 0;
    std::string localName;
    std::string remoteName;
    std::string comment;
    std::string provider;
};

struct Container {
    enum Kind { Root, Provider, Workgroup, Server };
    Kind kind = Root;
    std::string name;  // the workgroup's name, or the server's name without backslashes
};

// What `res` stands for, or the error an open of it gives (ERROR_NOT_CONTAINER for a share,
// a printer or anything below them).
DWORD ClassifyContainer(const NETRESOURCEA* res, Container* out);

// The records inside `container`, from its listing (ignored for the root).
std::vector<Record> RecordsFromListing(const Container& container,
                                       const std::vector<Entry>& listing);

// True when the record passes the type filter (containers always pass) and the usage filter
// (0 lets everything through).
bool PassesFilter(const Record& record, DWORD type, DWORD usage);

// Places records from `next` on into the caller's buffer and advances `next`; the contract is
// NetEnumeration::WNetEnumResourceA's.
DWORD PackRecords(const std::vector<Record>& records, std::size_t& next, DWORD* count, void* buffer,
                  DWORD* bufferSize);

}  // namespace platform::smbenum
