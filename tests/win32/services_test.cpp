// Windows' own user name, sockets start-up, ICMP echo, files and names behind Mapeo's
// services, and the messages the logic shows over them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
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
using testing::IsEmpty;

TEST(UserName, FitsItsBufferOrSaysHowBigOneMustBe) {
    char name[64];
    std::memset(name, '#', sizeof name);
    platform::DWORD size = sizeof name;
    ASSERT_TRUE(platform::SystemSecurity().GetUserNameA(name, &size));
    const std::string user(name);
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(size, user.size() + 1) << "the count includes the NUL";

    char tiny[1] = {'#'};
    platform::DWORD small = sizeof tiny;
    EXPECT_FALSE(platform::SystemSecurity().GetUserNameA(tiny, &small));
    EXPECT_EQ(platform::SystemSecurity().GetLastError(),
              platform::DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, user.size() + 1);
}

TEST(Sockets, StartUpGivesVersionOneOneAndTheTesterShowsNothing) {
    platform::WSADATA data;
    ASSERT_EQ(platform::SystemWinSock().WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(data.wHighVersion, 0x0101);
    EXPECT_GE(std::int16_t(data.iMaxSockets), 1) << "the tester would refuse the library";
    EXPECT_EQ(platform::SystemWinSock().WSACleanup(), 0);

    fakes::FakeWindowServices ui;
    tcpip::TCPICP module(platform::SystemIcmpEcho(), platform::SystemWinSock(), ui);
    module.Sockets_Initialize();
    module.Sockets_Cleanup();
    EXPECT_THAT(ui.Texts(), IsEmpty());
}

// Wine sends echoes through the host's ICMP sockets: only where the test session opened them
// (a network namespace of its own), or on Windows itself.
bool Echo_Allowed() {
    return !support::Under_Wine() || std::getenv("MAPEO_WINE_ICMP");
}

TEST(Echo, LoopbackAnswersWithThePayloadInTheTestersRecord) {
    if (!Echo_Allowed())
        GTEST_SKIP() << "no ICMP sockets for Wine here; run through tests/win32/wine_session.sh";
    fakes::FakeWindowServices ui;
    tcpip::TCPICP module(platform::SystemIcmpEcho(), platform::SystemWinSock(), ui);
    tcpip::ECHO_REPLY reply;
    std::memset(reply.Data, 'Z', sizeof reply.Data);
    module.Send_Echo(QStringLiteral("127.0.0.1"), reply);
    EXPECT_EQ(reply.Status, 0);
    EXPECT_EQ(tcpip::Address_Value(reply), tcpip::TCPICP::Address_To_Long("127.0.0.1"));
    EXPECT_EQ(reply.DataSize, 15);
    EXPECT_EQ(std::string(reply.Data, 16), std::string("Enviando sondeo") + 'Z')
        << "the data follows the 28-byte header and the rest is left alone";
    EXPECT_EQ(reply.DataPointer, 28);
    EXPECT_THAT(ui.Texts(), IsEmpty());
}

TEST(Echo, ProbesSentAheadAnswerThroughTheirEventsAndAForgottenOneDoesNoHarm) {
    if (!Echo_Allowed())
        GTEST_SKIP() << "no ICMP sockets for Wine here; run through tests/win32/wine_session.sh";
    platform::IcmpEcho& echo = platform::SystemIcmpEcho();
    platform::IcmpEchoAhead* ahead = echo.LookAhead();
    ASSERT_NE(ahead, nullptr);
    const platform::HANDLE handle = echo.IcmpCreateFile();
    char request[] = "Enviando sondeo";
    const auto to = [](const char* host) {
        return platform::IPAddr(tcpip::TCPICP::Address_To_Long(QString::fromLatin1(host)));
    };
    const platform::DWORD first =
        ahead->IcmpSendEchoAhead(handle, to("127.0.0.2"), request, 15, nullptr, 1000);
    const platform::DWORD second =
        ahead->IcmpSendEchoAhead(handle, to("127.0.0.3"), request, 15, nullptr, 1000);
    ASSERT_TRUE(first && second && first != second) << echo.LastErrorText();
    ahead->IcmpForgetEcho(handle, second);
    tcpip::ECHO_REPLY reply;
    EXPECT_EQ(ahead->IcmpCollectEcho(handle, first, &reply, sizeof reply, 1000), 1u);
    EXPECT_EQ(reply.Status, 0);
    EXPECT_EQ(tcpip::Address_Value(reply), tcpip::TCPICP::Address_To_Long("127.0.0.2"));
    EXPECT_EQ(std::string(reply.Data, std::size_t(reply.DataSize)), "Enviando sondeo");
    EXPECT_EQ(ahead->IcmpEchoStatus(handle, first), platform::IP_GENERAL_FAILURE)
        << "a collected ticket is forgotten";
    EXPECT_TRUE(echo.IcmpCloseHandle(handle));

    // A scan's steps, each with the next hosts guessed.
    fakes::FakeWindowServices ui;
    tcpip::TCPICP module(echo, platform::SystemWinSock(), ui);
    const QStringList hosts{"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        module.Look_Ahead(hosts.mid(i + 1));
        tcpip::ECHO_REPLY step;
        module.Send_Echo(hosts[i], step);
        EXPECT_EQ(step.Status, 0) << hosts[i].toStdString();
        EXPECT_EQ(tcpip::Address_Value(step), tcpip::TCPICP::Address_To_Long(hosts[i]));
    }
    module.End_Look_Ahead();
    EXPECT_THAT(ui.Texts(), IsEmpty());
}

TEST(Echo, ABufferWithoutRoomOrAStaleHandleFailsWithAStatusNotACrash) {
    platform::IcmpEcho& echo = platform::SystemIcmpEcho();
    char request[] = "Enviando sondeo";
    platform::ICMP_ECHO_REPLY32 header;
    EXPECT_EQ(echo.IcmpSendEcho(nullptr, 0x0100007F, request, 15, nullptr, &header, 20, 200), 0u);
    EXPECT_EQ(echo.GetLastError(), platform::IP_BUF_TOO_SMALL);

    const platform::HANDLE handle = echo.IcmpCreateFile();
    ASSERT_NE(handle, platform::InvalidHandleValue()) << echo.LastErrorText();
    ASSERT_TRUE(echo.IcmpCloseHandle(handle));
    std::uint8_t buffer[278] = {};
    EXPECT_EQ(
        echo.IcmpSendEcho(handle, 0x0100007F, request, 15, nullptr, buffer, sizeof buffer, 200),
        0u);
    platform::ICMP_ECHO_REPLY32 reply;
    std::memcpy(&reply, buffer, sizeof reply);
    EXPECT_NE(reply.Status, 0);
    EXPECT_EQ(reply.DataSize, 0);
}

TEST(Files, HiddenFilesAndFoldersAreNoMappingFileAndAFileInTheWayIsNamed) {
    TempDir d;
    platform::FileSystem& files = platform::SystemFileSystem();
    d.Write("MAPEO.INI", "[UNIDADES]\r\n");
    EXPECT_TRUE(files.NormalFileExists(d.Path("MAPEO.INI")));
    ::SetFileAttributesA(d.Path("MAPEO.INI").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(files.NormalFileExists(d.Path("MAPEO.INI")));
    ASSERT_TRUE(files.MakeFolder(d.Path("a/b/c")));
    EXPECT_FALSE(files.NormalFileExists(d.Path("a")));

    d.Write("file", "x");
    EXPECT_EQ(files.MakeFolder(d.Path("file/sub")).reason,
              "una parte de la ruta no es una carpeta");
    EXPECT_EQ(files.MakeFolder(d.Path("file")).reason, "ya existe");
    const platform::Status copied = files.CopyFileNoReplace(d.Path("file"), d.Path("a/b/c"));
    EXPECT_TRUE(!copied && copied.targetExists);

    EXPECT_TRUE(files.CanReadFile(d.Path("file")));
    const platform::Status folder = files.CanReadFile(d.Path("a"));
    EXPECT_TRUE(!folder && folder.targetExists) << "something is there";
    EXPECT_EQ(folder.reason, "es una carpeta");
    const platform::Status missing = files.CanReadFile(d.Path("none"));
    EXPECT_FALSE(missing || missing.targetExists);
}

TEST(Files, TheUsersOwnMappingFolderAndTheExportCanBeWrittenWithoutAnAdministrator) {
    platform::FileSystem& files = platform::SystemFileSystem();
    ASSERT_TRUE(files.MakeFolder(platform::SettingsFolder()));
    const std::string probe = platform::SettingsFolder() + "\\probe.tmp";
    EXPECT_TRUE(files.WriteWholeFile(probe, "x"));
    EXPECT_TRUE(files.DeleteFile(probe));
    EXPECT_EQ(platform::MappingFilePath().rfind(platform::SettingsFolder(), 0), 0u);

    // The administrator's copy for every user is the Windows folder's, where it always was.
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
    EXPECT_EQ(dns.AddressToHost(QStringLiteral("10.0.0")), "");
    dns.AddressToHostAhead(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dns.AddressToHost(QStringLiteral("127.0.0.1")),
              dns.AddressToHost(QStringLiteral("127.0.0.1")))
        << "an answer looked up ahead is the same answer";
}

TEST(Credentials, TheSystemKeepsSavedPasswordsAndNoDialogIsEverOffered) {
    platform::Credentials& identity = platform::SystemCredentials();
    platform::CredentialStore& store = identity.Store();
    const std::string server = "mapeo-test.invalid";
    ASSERT_EQ(store.CredWriteA(server, {"ana", "PRUEBAS", platform::SecureString("clave")}), 0u);
    platform::NetCredential saved;
    ASSERT_EQ(store.CredReadA(server, saved), 0u);
    EXPECT_EQ(std::tuple(saved.user, saved.domain), std::tuple("ana", "PRUEBAS"));

    struct Asker : platform::CredentialPrompt {
        platform::DWORD CredUIPromptForCredentialsA(const std::string&, platform::DWORD,
                                                    platform::NetCredential&,
                                                    platform::BOOL*) override {
            return 0;
        }
        platform::DWORD CredUIConfirmCredentialsA(const std::string&, platform::BOOL) override {
            return 0;
        }
    } asker;
    identity.RegisterPrompt(&asker);
    EXPECT_EQ(identity.Prompt(), nullptr);
    identity.RegisterPrompt(nullptr);
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
    EXPECT_FALSE(fso.GetFolder(std::string(share) + "\\missing"));
    EXPECT_FALSE(fso.GetFolder("C:\\windows")) << "only network paths";
}

}  // namespace
