// The Linux enumeration's own rules, without a server: the buffer it fills and the folder
// addresses it builds.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/linux/smb_enum_client.h"
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
    EXPECT_GE(r.lpRemoteName, buffer.data() + sizeof r);
    EXPECT_LT(r.lpRemoteName, buffer.data() + buffer.size());
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

TEST(SmbEnumeration, FolderPathsBecomeEncodedAddressesAndOthersAreRefused) {
    EXPECT_EQ(smbclient::FolderUri("\\\\SRV\\docs\\"), "smb://SRV/docs");
    EXPECT_EQ(smbclient::FolderUri("\\\\SRV\\100%\\acta de la reunión\\a#b?c@d:e"),
              "smb://SRV/100%25/acta%20de%20la%20reuni%C3%B3n/a%23b%3Fc%40d%3Ae");
    for (const char* bad :
         {"", "\\\\SRV", "SRV\\docs", "\\\\SRV\\\\docs", "\\\\SRV\\docs\\..", "\\\\SRV\\.\\x",
          "\\\\SRV\\docs\\a/b", "\\\\SRV\\docs\\line\nbreak", "//SRV/docs"})
        EXPECT_EQ(smbclient::FolderUri(bad), std::nullopt) << bad;
}

}  // namespace
