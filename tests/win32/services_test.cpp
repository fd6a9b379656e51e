// Windows' own user name, sockets start-up, ICMP echo, files, paths, names, saved passwords
// and share folders behind Mapeo's services: their results and codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/echo.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/resolver.h"
#include "platform/security.h"
#include "platform/sockets.h"
#include "support/support.h"
#include "tcpip/tcpicp.h"
#include "win32/wine.h"

namespace {

using support::TempDir;
using testing::ElementsAre;

TEST(UserName, FitsItsBufferOrSaysHowBigOneMustBe) {
    char name[64];
    platform::DWORD size = sizeof name;
    ASSERT_TRUE(platform::SystemSecurity().GetUserNameA(name, &size));
    const std::string user(name);
    EXPECT_EQ(size, user.size() + 1) << "the count includes the NUL";
    char tiny[1];
    platform::DWORD small = sizeof tiny;
    EXPECT_FALSE(platform::SystemSecurity().GetUserNameA(tiny, &small));
    EXPECT_EQ(platform::SystemSecurity().GetLastError(),
              platform::DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, user.size() + 1);
}

TEST(Sockets, StartUpGivesVersionOneOneAndEnoughSockets) {
    platform::WSADATA data;
    ASSERT_EQ(platform::SystemWinSock().WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(std::int16_t(data.iMaxSockets), 1) << "the tester would refuse the library";
    EXPECT_EQ(platform::SystemWinSock().WSACleanup(), 0);
}

// Wine sends echoes through the host's ICMP sockets: only where the test session opened them
// (a network namespace of its own), or on Windows itself.
void Require_Echo() {
    if (support::Under_Wine() && !std::getenv("MAPEO_WINE_ICMP"))
        GTEST_SKIP() << "no ICMP sockets for Wine here; run through tests/win32/wine_session.sh";
}

TEST(Echo, LoopbackAnswersWithThePayloadInTheTestersRecord) {
    Require_Echo();
    fakes::FakeWindowServices ui;
    tcpip::TCPICP module(platform::SystemIcmpEcho(), platform::SystemWinSock(), ui);
    tcpip::ECHO_REPLY reply;
    std::memset(reply.Data, 'Z', sizeof reply.Data);
    module.Send_Echo(QStringLiteral("127.0.0.1"), reply);
    EXPECT_EQ(reply.Status, 0);
    EXPECT_EQ(tcpip::Address_Value(reply), tcpip::TCPICP::Address_To_Long("127.0.0.1"));
    EXPECT_EQ(std::tuple(reply.DataSize, reply.DataPointer), std::tuple(15, 28));
    EXPECT_EQ(std::string(reply.Data, 16), std::string("Enviando sondeo") + 'Z')
        << "the data follows the header and the rest is left alone";
}

TEST(Echo, AProbeSentAheadAnswersThroughItsTicketAndAForgottenOneDoesNoHarm) {
    Require_Echo();
    platform::IcmpEcho& echo = platform::SystemIcmpEcho();
    platform::IcmpEchoAhead* ahead = echo.LookAhead();
    ASSERT_NE(ahead, nullptr);
    const platform::HANDLE handle = echo.IcmpCreateFile();
    char request[] = "Enviando sondeo";
    const platform::DWORD first =
        ahead->IcmpSendEchoAhead(handle, 0x0200007F, request, 15, nullptr, 1000);
    const platform::DWORD second =
        ahead->IcmpSendEchoAhead(handle, 0x0300007F, request, 15, nullptr, 1000);
    ASSERT_TRUE(first && second && first != second) << echo.LastErrorText();
    ahead->IcmpForgetEcho(handle, second);
    tcpip::ECHO_REPLY reply;
    EXPECT_EQ(ahead->IcmpCollectEcho(handle, first, &reply, sizeof reply, 1000), 1u);
    EXPECT_EQ(std::tuple(reply.Status, tcpip::Address_Value(reply)), std::tuple(0, 0x0200007F));
    EXPECT_EQ(ahead->IcmpEchoStatus(handle, first), platform::IP_GENERAL_FAILURE)
        << "a collected ticket is forgotten";
    EXPECT_TRUE(echo.IcmpCloseHandle(handle));
}

TEST(Echo, ABufferWithoutRoomOrAClosedHandleFailsWithAStatusNotACrash) {
    platform::IcmpEcho& echo = platform::SystemIcmpEcho();
    char request[] = "Enviando sondeo";
    platform::ICMP_ECHO_REPLY32 header;
    EXPECT_EQ(echo.IcmpSendEcho(nullptr, 0x0100007F, request, 15, nullptr, &header, 20, 200), 0u);
    EXPECT_EQ(echo.GetLastError(), platform::IP_BUF_TOO_SMALL);
    const platform::HANDLE handle = echo.IcmpCreateFile();
    ASSERT_TRUE(echo.IcmpCloseHandle(handle));
    platform::ICMP_ECHO_REPLY32 reply[10] = {};
    reply[0].Status = 0;
    EXPECT_EQ(echo.IcmpSendEcho(handle, 0x0100007F, request, 15, nullptr, reply, sizeof reply, 200),
              0u);
    EXPECT_NE(reply[0].Status, 0) << "a failure never reads as an earlier success";
}

TEST(Files, HiddenFilesAndFoldersAreNoMappingFileAndFailuresAreNamed) {
    TempDir d;
    platform::FileSystem& files = platform::SystemFileSystem();
    d.Write("MAPEO.INI", "[UNIDADES]\r\n");
    EXPECT_TRUE(files.NormalFileExists(d.Path("MAPEO.INI")));
    ::SetFileAttributesA(d.Path("MAPEO.INI").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(files.NormalFileExists(d.Path("MAPEO.INI")));
    ASSERT_TRUE(files.MakeFolder(d.Path("a/b")));
    const platform::Status folder = files.CanReadFile(d.Path("a"));
    EXPECT_EQ(std::tuple(folder.reason, folder.targetExists), std::tuple("es una carpeta", true));
    EXPECT_TRUE(files.CopyFileNoReplace(d.Path("MAPEO.INI"), d.Path("a/b")).targetExists);
}

TEST(Paths, EachUserWritesTheirOwnTableAndTheWindowsFolderHoldsTheAdministrators) {
    platform::FileSystem& files = platform::SystemFileSystem();
    ASSERT_TRUE(files.MakeFolder(platform::SettingsFolder()));
    const std::string probe = platform::SettingsFolder() + "\\probe.tmp";
    EXPECT_TRUE(files.WriteWholeFile(probe, "x"));
    EXPECT_TRUE(files.DeleteFile(probe));
    EXPECT_EQ(platform::MappingFilePath().rfind(platform::SettingsFolder(), 0), 0u);
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_THAT(platform::SystemMappingFilePaths(),
                ElementsAre(std::string(windows) + "\\MAPEO.INI"));
}

TEST(Names, LoopbackResolvesBothWaysAndNonsenseGivesNothing) {
    platform::NameResolver& dns = platform::SystemNameResolver();
    EXPECT_EQ(dns.HostToAddress(QStringLiteral(" localhost ")), "127.0.0.1");
    EXPECT_FALSE(dns.AddressToHost(QStringLiteral("127.0.0.1")).isEmpty());
    EXPECT_EQ(dns.HostToAddress(QStringLiteral("two words")), "");
}

TEST(Credentials, TheSystemKeepsSavedPasswords) {
    platform::CredentialStore& store = platform::SystemCredentials().Store();
    ASSERT_EQ(
        store.CredWriteA("mapeo-test.invalid", {"ana", "PRUEBAS", platform::SecureString("clave")}),
        0u);
    platform::NetCredential saved;
    ASSERT_EQ(store.CredReadA("mapeo-test.invalid", saved), 0u);
    EXPECT_EQ(std::tuple(saved.user, saved.domain), std::tuple("ana", "PRUEBAS"));
    EXPECT_EQ(store.CredReadA("otro.invalid", saved), platform::DWORD(ERROR_NOT_FOUND));
}

// Wine lays a share out as a folder of its prefix (dosdevices/unc/server/share): the session
// makes one and names it.
TEST(Folders, AShareIsListedFilesApartFromFoldersWithoutDots) {
    const char* share = std::getenv("MAPEO_WINE_SHARE");
    if (!share)
        GTEST_SKIP() << "no share to read; run through tests/win32/wine_session.sh";
    platform::FileSystemObject& fso = platform::SystemFileSystemObject();
    auto folder = fso.GetFolder(share);
    ASSERT_TRUE(folder);
    auto files = folder->Files();
    auto folders = folder->SubFolders();
    ASSERT_TRUE(files && folders);
    std::sort(files->begin(), files->end());
    EXPECT_THAT(*files, ElementsAre("a.txt", "b.txt"));
    EXPECT_THAT(*folders, ElementsAre("Sub"));
    EXPECT_FALSE(fso.GetFolder("C:\\windows")) << "only network paths";
}

}  // namespace
