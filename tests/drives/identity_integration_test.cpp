// Connecting as the user against identity_fixture.sh's servers, with a scripted dialog.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <set>

#include "drives/frmmain.h"
#include "fakes/credentials.h"
#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/profile.h"
#include "support/connections.h"

namespace {

using support::Cancel;
using support::Connect;
using support::Port;

// The fixture knows it too and searches every file it made for it at the end.
const std::string AnaPassword = "Cl4ve-de-Ana!";
const std::string Srv = "\\\\" + qEnvironmentVariable("MAPEO_ID_SERVER").toStdString() + "\\";
const std::string Dc = "\\\\" + qEnvironmentVariable("MAPEO_ID_DC").toStdString() + "\\";

QByteArray ReadThrough(const std::string& drive, const char* file) {
    return support::Read(support::Link(drive) + '/' + QString::fromUtf8(file));
}

// "device-uri auth-info-required" of a queue, as the scheduler reports them.
std::string Queue(const char* name) {
    ipp_t* req = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 (std::string("ipp://localhost/printers/") + name).c_str());
    ipp_t* resp = cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/");
    std::string out;
    if (ipp_attribute_t* a = ippFindAttribute(resp, "device-uri", IPP_TAG_URI))
        out = ippGetString(a, 0, nullptr);
    if (ipp_attribute_t* a = ippFindAttribute(resp, "auth-info-required", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(a); ++i)
            out += (i ? "," : " ") + std::string(ippGetString(a, i, nullptr));
    ippDelete(resp);
    return out;
}

// The keyring as the desktop sees it, through secret-tool, for the entries of 127.0.0.1.
QString SecretTool(const QStringList& args, const std::string& input = {}) {
    QProcess p;
    p.start(QStringLiteral("secret-tool"),
            args + QStringList{"server", "127.0.0.1", "protocol", "smb"});
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
// Whether an entry with these further attributes holds ana's password.
bool Saved(const QStringList& attributes = {}) {
    return SecretTool(QStringList{"lookup"} + attributes).toStdString() == AnaPassword;
}

std::set<std::string> Folders(const std::string& path) {
    const auto folder = platform::SystemFileSystemObject().GetFolder(path);
    const auto names = folder ? folder->SubFolders() : std::nullopt;
    return names ? std::set<std::string>(names->begin(), names->end())
                 : std::set<std::string>{"<none>"};
}

class Identity : public testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("MAPEO_ID_SERVER"))
            GTEST_SKIP() << "run by identity_fixture.sh";
        platform::SystemCredentials().RegisterPrompt(&prompt);
        NewBrowserWindow();
    }
    void TearDown() override {
        for (const char* d : {"J:", "K:", "L:", "M:", "LPT1:", "LPT2:"})
            Cancel(d);
        platform::SystemCredentials().RegisterPrompt(nullptr);
        SecretTool({"clear"});
        EXPECT_TRUE(prompt.onUiThread) << "the dialog runs on the window's thread";
    }
    // What a newly loaded browser window does first: open the whole network.
    static void NewBrowserWindow() {
        platform::HANDLE h = nullptr;
        if (platform::SystemNetEnumeration().WNetOpenEnumA(2, 0, 0, nullptr, &h) == 0)
            platform::SystemNetEnumeration().WNetCloseEnum(h);
    }

    fakes::FakeCredentialPrompt prompt;
};

TEST_F(Identity, AnEntryTheFileManagerSavedConnectsDrivePortAndBrowserWithoutAsking) {
    SecretTool({"store", "--label=x", "xdg:schema", "org.gnome.keyring.NetworkPassword", "user",
                "ana", "domain", "MAPEOID"},
               AnaPassword);
    ASSERT_EQ(Connect("J:", Srv + "privado"), 0u);
    EXPECT_EQ(ReadThrough("J:", "secreto.txt"), "secreto\n");
    ASSERT_EQ(Port("LPT1:", Srv + "privada"), 0u);
    EXPECT_EQ(Queue("LPT1"), "smb://127.0.0.1/privada username,password")
        << "printing asks as the user; no password in the device URI";
    EXPECT_EQ(Folders(Srv + "privado"), std::set<std::string>{"carpeta"});
    EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(Identity, TheBrowserAsksOncePerShareAndWindowAndSavesWhereGvfsLooks) {
    EXPECT_EQ(Folders(Srv + "privado"), std::set<std::string>{"<none>"}) << "cancelled";
    EXPECT_EQ(Folders(Srv + "privado"), std::set<std::string>{"<none>"});
    EXPECT_EQ(prompt.asked.size(), 1u) << "a cancelled share is not asked about again";

    NewBrowserWindow();
    prompt.answers = {{"MAPEOID\\ana", AnaPassword, true}};
    EXPECT_EQ(Folders(Srv + "privado"), std::set<std::string>{"carpeta"});
    EXPECT_TRUE(Saved({"user", "ana", "domain", "MAPEOID"}));
    EXPECT_EQ(Connect("J:", Srv + "privado"), 0u) << "GVfs takes Mapeo's entry";
    EXPECT_EQ(prompt.asked.size(), 2u);
}

TEST_F(Identity, AWrongPasswordTwiceThenCancelIs1223AndSavesNothing) {
    for (bool drive : {true, false}) {
        prompt.asked.clear();
        prompt.answers = {{"ana", "mal", true}, {"ana", "peor", true}};
        EXPECT_EQ(drive ? Connect("J:", Srv + "privado") : Port("LPT1:", Srv + "privada"), 1223u);
        EXPECT_EQ(prompt.asked.size(), 3u);
    }
    EXPECT_FALSE(Saved());
    EXPECT_EQ(Queue("LPT1"), "");
}

TEST_F(Identity, AnExpiredAccountSaysWhyAndIsNotAskedAgain) {
    prompt.answers = {{"caducada", AnaPassword}, {"caducada", AnaPassword}};
    EXPECT_EQ(Connect("J:", Srv + "privado"), 1793u);
    EXPECT_EQ(Port("LPT1:", Srv + "privada"), 1793u);
    EXPECT_TRUE(prompt.answers.empty()) << "asked once per connection";
}

TEST_F(Identity, StartUpAsksOncePerServerAndKeepsThePasswordOutOfTheKeyringAndFile) {
    const std::string folder = qEnvironmentVariable("HOME").toStdString() + "/.config/mapeo";
    ASSERT_TRUE(platform::SystemFileSystem().MakeFolder(folder));
    ASSERT_TRUE(platform::SystemFileSystem().WriteWholeFile(
        folder + "/MAPEO.INI", "[UNIDADES]\r\nUNIDAD1=" + Srv +
                                   "privado\r\nLETRA1=J:\r\nMAPEAR1=1\r\n" + "UNIDAD2=" + Srv +
                                   "otro\r\nLETRA2=K:\r\nMAPEAR2=1\r\n" + "UNIDAD10=" + Srv +
                                   "privada\r\nLETRA10=LPT1:\r\nMAPEAR10=1\r\n"));
    fakes::FakeWindowServices ui;
    fakes::FakeShell shell;
    drives::frmMain window(drives::MainServices{
        platform::SystemProfileFile(), platform::SystemFileSystem(),
        platform::SystemNetConnections(), shell, ui, drives::System_Mapping_Location()});
    prompt.answers = {{"ana", AnaPassword, false}};
    {
        const platform::RestoreScope restore(platform::SystemCredentials());
        window.Form_Load();
    }
    EXPECT_EQ(prompt.asked.size(), 1u) << "one question for the server's three rows";
    ASSERT_EQ(ui.messages.size(), 3u);
    for (const auto& m : ui.messages)
        EXPECT_TRUE(m.text.startsWith(" Conexión realizada con éxito")) << m.text.toStdString();
    // The saved file is searched for the password by the fixture, with every other file.
    window.Command9_Click();
    EXPECT_FALSE(Saved()) << "not asked to remember";
}

TEST_F(Identity, ATicketConnectsAndBrowsesTheDomainWithoutAsking) {
    ASSERT_EQ(Connect("M:", Dc + "dominio"), 0u);
    EXPECT_EQ(ReadThrough("M:", "Carpeta/informe.txt"), "del dominio\n");
    EXPECT_EQ(Folders(Dc + "dominio"), std::set<std::string>{"Carpeta"});
    ASSERT_EQ(Port("LPT2:", Dc + "impresora"), 0u);
    EXPECT_EQ(Queue("LPT2"), "smb://dc.pruebas.lan/impresora negotiate");
    EXPECT_TRUE(prompt.asked.empty());
}

}  // namespace
