// The Linux enumeration's own rules, without a server: what a record names, what a listing
// becomes, the buffer it fills and the names it refuses.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/folders.h"
#include "platform/linux/smb_enum_records.h"
#include "platform/netenum.h"

namespace {

using namespace platform;
using smbenum::Container;
using smbenum::Entry;

TEST(SmbEnumeration, BufferHoldsRecordsThenTheirStringsAndAsksToGrowWhenTooSmall) {
    const auto records = smbenum::RecordsFromListing(
        {Container::Server, "SRV"},
        {{Entry::FileShare, "a", ""}, {Entry::FileShare, std::string(5000, 'b'), ""}});
    std::vector<char> buffer(1024);
    std::size_t next = 0;
    DWORD count = ENUM_ALL_ENTRIES, size = 1024;
    ASSERT_EQ(smbenum::PackRecords(records, next, &count, buffer.data(), &size), NO_ERROR);
    ASSERT_EQ(count, 1u);
    NETRESOURCEA r;
    std::memcpy(&r, buffer.data(), sizeof r);
    EXPECT_STREQ(r.lpRemoteName, "\\\\SRV\\a");
    EXPECT_EQ(r.lpComment, nullptr) << "an absent name is a null pointer";

    count = ENUM_ALL_ENTRIES;
    ASSERT_EQ(smbenum::PackRecords(records, next, &count, buffer.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(count, ENUM_ALL_ENTRIES) << "the caller's loop must go on";
    EXPECT_GT(size, 5000u);
    buffer.assign(size, 0);
    ASSERT_EQ(smbenum::PackRecords(records, next, &count, buffer.data(), &size), NO_ERROR);
    std::memcpy(&r, buffer.data(), sizeof r);
    EXPECT_EQ(std::strlen(r.lpRemoteName), 5006u) << "copied whole";

    count = ENUM_ALL_ENTRIES;
    EXPECT_EQ(smbenum::PackRecords(records, next, &count, buffer.data(), &size),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(count, 0u) << "the caller's loop ends on a zero count";
}

TEST(SmbEnumeration, NamesNoAddressCarriesAreRefusedBeforeAnyCall) {
    // Each would reach another host or port through an smb:// address; none reaches the network.
    for (const auto& [remote, display] : {std::pair{"\\\\srv:445", RESOURCEDISPLAYTYPE_SERVER},
                                          std::pair{"GRUPO:1", RESOURCEDISPLAYTYPE_DOMAIN}}) {
        NETRESOURCEA res{};
        res.dwDisplayType = display;
        std::string text(remote);
        res.lpRemoteName = text.data();
        HANDLE h = nullptr;
        EXPECT_EQ(SystemNetEnumeration().WNetOpenEnumA(RESOURCE_GLOBALNET, 0, 0, &res, &h),
                  ERROR_BAD_NET_NAME)
            << remote;
    }
    for (const char* path : {"\\\\srv:445\\docs", "\\\\srv\\._docs", "\\\\srv\\docs\\a/b"})
        EXPECT_EQ(SystemFileSystemObject().GetFolder(path), nullptr) << path;
}

}  // namespace
