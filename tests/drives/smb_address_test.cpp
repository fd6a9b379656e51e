// smb:// addresses: encoded, or refused where some reader would find another server in them.
#include <gtest/gtest.h>

#include "platform/linux/smb_uri.h"

namespace {

using platform::smburi::ServerUri;
using platform::smburi::ShareUri;

TEST(SmbAddresses, SeparatorsOfEveryReaderAreEncodedInsideNames) {
    EXPECT_EQ(ServerUri("a@b?c#d;e%f g"), "smb://a%40b%3Fc%23d%3Be%25f%20g");
    EXPECT_EQ(ShareUri("SRV", "100%", "acta de la reunión/a#b?c@d:e"),
              "smb://SRV/100%25/acta%20de%20la%20reuni%C3%B3n/a%23b%3Fc%40d%3Ae");
}

TEST(SmbAddresses, NamesThatSomeReaderWouldTakeApartAreRefused) {
    for (const char* server : {"", "..", "srv:445", "[::1]", "a/b", "a\\b", "a\nb"}) {
        EXPECT_EQ(ServerUri(server), std::nullopt) << server;
        EXPECT_EQ(ShareUri(server, "x"), std::nullopt) << server;
    }
    for (const char* share : {"", "..", "a/b"})
        EXPECT_EQ(ShareUri("srv", share), std::nullopt) << share;
    for (const char* folder : {"a//b", "a/../b"})
        EXPECT_EQ(ShareUri("srv", "x", folder), std::nullopt) << folder;
}

}  // namespace
