// Connecting as the user against the servers identity_fixture.sh starts: a Samba server that
// refuses guests, a domain controller and a Kerberos ticket, the user's keyring, GVfs and
// CUPS. The dialog is a scripted prompt registered as the program registers its own.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <deque>
#include <set>

#include "drives/frmmain.h"
#include "platform/credentials.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/networking.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace {

using platform::DWORD;

// Known to the fixture as well, which searches every file it made for them at the end.
const std::string AnaPassword = "Cl4ve-de-Ana!";
const std::string Server = qEnvironmentVariable("MAPEO_ID_SERVER").toStdString();
const std::string Dc = qEnvironmentVariable("MAPEO_ID_DC").toStdString();

std::string Unc(const std::string& server, const std::string& rest) {
    return "\\\\" + server + "\\" + rest;
}

DWORD Connect(DWORD type, const std::string& device, const std::string& path) {
    platform::NETRESOURCEA r;
    r.dwScope = platform::RESOURCE_GLOBALNET;
    r.dwType = type;
    std::string local(device), remote(path);
    r.lpLocalName = local.data();
    r.lpRemoteName = remote.data();
    return platform::SystemNetConnections().WNetAddConnection2A(&r, nullptr, nullptr, 1);
}
DWORD Drive(const std::string& device, const std::string& path) {
    return Connect(platform::RESOURCETYPE_DISK, device, path);
}
DWORD Port(const std::string& device, const std::string& path) {
    return Connect(platform::RESOURCETYPE_PRINT, device, path);
}
DWORD Cancel(const char* device) {
    return platform::SystemNetConnections().WNetCancelConnection2A(device, 1, 0);
}

QByteArray ReadThrough(const std::string& drive, const char* file) {
    QFile f(QString::fromStdString(platform::DrivesFolder() + "/" + drive + "/" + file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A queue's device URI and auth-info-required, as the scheduler reports them.
std::pair<std::string, std::string> Queue(const char* name) {
    ipp_t* req = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    const std::string uri = std::string("ipp://localhost/printers/") + name;
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ipp_t* resp = cupsDoRequest(CUPS_HTTP_DEFAULT, req, "/");
    std::pair<std::string, std::string> out;
    if (ipp_attribute_t* a = ippFindAttribute(resp, "device-uri", IPP_TAG_URI))
        out.first = ippGetString(a, 0, nullptr);
    if (ipp_attribute_t* a = ippFindAttribute(resp, "auth-info-required", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(a); ++i)
            out.second += (i ? "," : "") + std::string(ippGetString(a, i, nullptr));
    ippDelete(resp);
    return out;
}

// The keyring seen through secret-tool, as the desktop sees it.
QString SecretTool(const QStringList& args, const std::string& input = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);  // search tells attributes on stderr
    p.start(QStringLiteral("secret-tool"), args);
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
void PlantEntry(const std::string& server, const char* user) {
    SecretTool(
        {"store", "--label=prueba", "xdg:schema", "org.gnome.keyring.NetworkPassword", "user", user,
         "domain", "MAPEOID", "server", QString::fromStdString(server), "protocol", "smb"},
        AnaPassword);
}
// "user=ana domain=MAPEOID" for the entry GVfs and Mapeo would take, "" when there is none;
// the password only tells whether it is ana's.
QString EntryOf(const std::string& server, bool* anasPassword) {
    const QStringList key{"server", QString::fromStdString(server), "protocol", "smb"};
    *anasPassword = SecretTool(QStringList{"lookup"} + key).toStdString() == AnaPassword;
    QString user, domain;
    for (const QString& line : SecretTool(QStringList{"search", "--all"} + key).split('\n')) {
        if (line.startsWith("attribute.user = "))
            user = line.mid(17);
        if (line.startsWith("attribute.domain = "))
            domain = line.mid(19);
    }
    return user.isEmpty() ? QString() : "user=" + user + " domain=" + domain;
}

std::set<std::string> Names(const std::optional<std::vector<std::string>>& v) {
    return v ? std::set<std::string>(v->begin(), v->end()) : std::set<std::string>{};
}

// The dialog as a script: answers in order, a missing answer is a cancel.
class ScriptedPrompt final : public platform::CredentialPrompt {
public:
    struct Answer {
        std::string user, password;
        bool save = false;
    };
    struct Question {
        std::string target;
        DWORD authError;
        std::string user, domain;
        bool onUiThread;
    };
    DWORD CredUIPromptForCredentialsA(const std::string& target, DWORD authError,
                                      platform::NetCredential& cred,
                                      platform::BOOL* save) override {
        questions.push_back({target, authError, cred.user, cred.domain,
                             QThread::currentThread() == qApp->thread()});
        if (answers.empty())
            return platform::ERROR_CANCELLED;
        cred.user = answers.front().user;
        cred.password.Assign(answers.front().password);
        *save = answers.front().save;
        answers.pop_front();
        return platform::NO_ERROR;
    }
    DWORD CredUIConfirmCredentialsA(const std::string&, platform::BOOL ok) override {
        confirmed += ok ? 1 : 0;
        return platform::NO_ERROR;
    }
    std::deque<Answer> answers;
    std::vector<Question> questions;
    int confirmed = 0;
};

class Identity : public testing::Test {
protected:
    void SetUp() override {
        if (Server.empty())
            GTEST_SKIP() << "run by identity_fixture.sh";
        platform::SystemCredentials().RegisterPrompt(&prompt);
        NewBrowserWindow();
    }
    void TearDown() override {
        for (const char* d : {"J:", "K:", "L:", "M:", "LPT1:", "LPT2:"})
            Cancel(d);
        platform::SystemCredentials().RegisterPrompt(nullptr);
        for (const std::string& s : {Server, Dc})
            platform::SystemCredentials().Store().CredDeleteA(s);
    }
    // What a newly loaded browser window does first: open the whole network.
    static void NewBrowserWindow() {
        platform::HANDLE h = nullptr;
        auto& net = platform::SystemNetEnumeration();
        if (net.WNetOpenEnumA(platform::RESOURCE_GLOBALNET, 0, 0, nullptr, &h) == 0)
            net.WNetCloseEnum(h);
    }
    static std::unique_ptr<platform::Folder> Folder(const std::string& path) {
        return platform::SystemFileSystemObject().GetFolder(path);
    }

    ScriptedPrompt prompt;
};

TEST_F(Identity, WithNobodyToAskAShareThatRefusesGuestsIs1326) {
    platform::SystemCredentials().RegisterPrompt(nullptr);
    EXPECT_EQ(Drive("J:", Unc(Server, "privado")), 1326u);
    EXPECT_EQ(Port("LPT1:", Unc(Server, "privada")), 1326u);
    EXPECT_EQ(Folder(Unc(Server, "privado")), nullptr);
}

TEST_F(Identity, AKeyringEntryTheFileManagerSavedConnectsEverythingWithoutAsking) {
    PlantEntry(Server, "ana");
    ASSERT_EQ(Drive("J:", Unc(Server, "privado")), 0u);
    EXPECT_EQ(ReadThrough("J:", "secreto.txt"), "secreto\n");

    ASSERT_EQ(Port("LPT1:", Unc(Server, "privada")), 0u);
    const auto [device, auth] = Queue("LPT1");
    EXPECT_EQ(device, "smb://" + Server + "/privada") << "no password in the device URI";
    EXPECT_EQ(auth, "username,password") << "printing asks as the user";

    const auto share = Folder(Unc(Server, "privado"));
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(Names(share->Files()), std::set<std::string>{"secreto.txt"});
    EXPECT_EQ(Names(share->SubFolders()), std::set<std::string>{"carpeta"});
    EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(Identity, TheDialogIsAskedAndRememberSavesOnlyWhatTheServerTook) {
    prompt.answers = {{"ana", "no-es-esta", true}, {"ana", AnaPassword, true}};
    ASSERT_EQ(Drive("J:", Unc(Server, "privado")), 0u);
    ASSERT_EQ(prompt.questions.size(), 2u);
    EXPECT_EQ(prompt.questions[0].target, Unc(Server, "privado"));
    EXPECT_EQ(prompt.questions[0].authError, 0u);
    EXPECT_EQ(prompt.questions[1].authError, 1326u);
    EXPECT_EQ(prompt.questions[1].user, "ana") << "a refusal keeps the user name";
    EXPECT_TRUE(prompt.questions[1].onUiThread) << "the dialog runs on the window's thread";
    EXPECT_EQ(prompt.confirmed, 1);
    bool anas = false;
    EXPECT_FALSE(EntryOf(Server, &anas).isEmpty());
    EXPECT_TRUE(anas) << "the refused password was not saved";

    // GVfs finds its entry: neither a new mount nor another share asks.
    ASSERT_EQ(Cancel("J:"), 0u);
    EXPECT_EQ(Drive("K:", Unc(Server, "privado")), 0u);
    EXPECT_EQ(Drive("L:", Unc(Server, "otro")), 0u);
    EXPECT_EQ(prompt.questions.size(), 2u);
}

TEST_F(Identity, TheBrowserAsksOncePerShareAndWindowAndSavesWhereGvfsLooks) {
    EXPECT_EQ(Folder(Unc(Server, "privado")), nullptr) << "cancelled";
    EXPECT_EQ(Folder(Unc(Server, "privado")), nullptr);
    EXPECT_EQ(prompt.questions.size(), 1u) << "a cancelled share is not asked again";

    NewBrowserWindow();
    prompt.answers = {{"MAPEOID\\ana", AnaPassword, true}};
    const auto share = Folder(Unc(Server, "privado"));
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(Names(share->SubFolders()), std::set<std::string>{"carpeta"});
    const auto sub = Folder(Unc(Server, "privado\\carpeta"));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(Names(sub->Files()), std::set<std::string>{"dentro.txt"});
    EXPECT_EQ(prompt.questions.size(), 2u);
    bool anas = false;
    EXPECT_EQ(EntryOf(Server, &anas), "user=ana domain=MAPEOID");
    EXPECT_TRUE(anas);

    EXPECT_EQ(Drive("J:", Unc(Server, "privado")), 0u) << "GVfs takes Mapeo's entry";
    EXPECT_EQ(prompt.questions.size(), 2u);
}

TEST_F(Identity, AWrongPasswordTwiceThenCancelIs1223AndSavesNothing) {
    for (const char* device : {"J:", "LPT1:"}) {
        prompt.questions.clear();
        prompt.answers = {{"ana", "mal", true}, {"ana", "peor", true}};
        const bool drive = device[0] == 'J';
        EXPECT_EQ(
            drive ? Drive(device, Unc(Server, "privado")) : Port(device, Unc(Server, "privada")),
            1223u)
            << device;
        ASSERT_EQ(prompt.questions.size(), 3u) << device;
        EXPECT_EQ(prompt.questions[2].authError, 1326u);
        EXPECT_EQ(prompt.questions[2].user, "ana");
    }
    bool anas = false;
    EXPECT_TRUE(EntryOf(Server, &anas).isEmpty());
    EXPECT_EQ(Queue("LPT1").first, "");
}

TEST_F(Identity, AccountsTheServerWillNotLetInSayWhyAndAreNotAskedAgain) {
    const std::pair<const char*, DWORD> accounts[] = {
        {"inhabilitada", 1331}, {"bloqueada", 1909}, {"caducada", 1793}};
    for (const auto& [user, code] : accounts) {
        prompt.questions.clear();
        prompt.answers = {{user, AnaPassword, false}};
        EXPECT_EQ(Drive("J:", Unc(Server, "privado")), code) << user;
        EXPECT_EQ(prompt.questions.size(), 1u) << user;
        prompt.questions.clear();
        prompt.answers = {{user, AnaPassword, false}};
        EXPECT_EQ(Port("LPT1:", Unc(Server, "privada")), code) << user;
        EXPECT_EQ(prompt.questions.size(), 1u) << user;
    }
}

TEST_F(Identity, StartUpAsksOncePerServerAndKeepsThePasswordOutOfFileAndMessages) {
    const std::string folder = qEnvironmentVariable("HOME").toStdString() + "/.config/mapeo";
    ASSERT_TRUE(platform::SystemFileSystem().MakeFolder(folder));
    auto restore = [&](testing_support::FakeWindowServices& ui) {
        QFile ini(QString::fromStdString(folder + "/MAPEO.INI"));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray::fromStdString(
            "[UNIDADES]\r\nUNIDAD1=" + Unc(Server, "privado") + "\r\nLETRA1=J:\r\nMAPEAR1=1\r\n" +
            "UNIDAD2=" + Unc(Server, "otro") + "\r\nLETRA2=K:\r\nMAPEAR2=1\r\n" +
            "UNIDAD10=" + Unc(Server, "privada") + "\r\nLETRA10=LPT1:\r\nMAPEAR10=1\r\n"));
        ini.close();
        testing_support::FakeShell shell;
        auto window = std::make_unique<drives::frmMain>(drives::MainServices{
            platform::SystemProfileFile(), platform::SystemFileSystem(),
            platform::SystemNetConnections(), shell, ui, drives::SystemMappingLocation()});
        const platform::RestoreScope scope(platform::SystemCredentials());
        window->Form_Load();
        return window;
    };

    testing_support::FakeWindowServices ui;
    prompt.answers = {{"ana", AnaPassword, false}};
    auto window = restore(ui);
    EXPECT_EQ(prompt.questions.size(), 1u) << "one question for the server's three rows";
    ASSERT_EQ(ui.messages.size(), 3u);
    for (const auto& m : ui.messages)
        EXPECT_TRUE(m.text.startsWith(" Conexión realizada con éxito")) << m.text.toStdString();
    window->Command9_Click();
    bool anas = false;
    EXPECT_TRUE(EntryOf(Server, &anas).isEmpty()) << "not asked to remember";

    // A cancel stands for the server's other rows: one question, three failures with 1223.
    testing_support::FakeWindowServices ui2;
    prompt.questions.clear();
    window = restore(ui2);
    EXPECT_EQ(prompt.questions.size(), 1u);
    int cancelled = 0;
    for (const auto& m : ui2.messages)
        cancelled += m.text.startsWith("ERROR: 1223 ") ? 1 : 0;
    EXPECT_EQ(cancelled, 3);

    QFile ini(QString::fromStdString(folder + "/MAPEO.INI"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains(QByteArray::fromStdString(AnaPassword)));
    for (const auto* list : {&ui.messages, &ui2.messages})
        for (const auto& m : *list)
            EXPECT_FALSE((m.text + m.title).contains(QString::fromStdString(AnaPassword)));
}

// Last: it ends the ticket.
TEST_F(Identity, ATicketConnectsAndBrowsesTheDomainAndWithoutItTheDialogAsks) {
    ASSERT_EQ(Drive("M:", Unc(Dc, "dominio")), 0u);
    EXPECT_EQ(ReadThrough("M:", "Carpeta/informe.txt"), "del dominio\n");
    const auto share = Folder(Unc(Dc, "dominio"));
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(Names(share->SubFolders()), std::set<std::string>{"Carpeta"});
    ASSERT_EQ(Port("LPT2:", Unc(Dc, "impresora")), 0u);
    EXPECT_EQ(Queue("LPT2").second, "negotiate");
    EXPECT_TRUE(prompt.questions.empty());
    bool anas = false;
    EXPECT_TRUE(EntryOf(Dc, &anas).isEmpty());

    ASSERT_EQ(Cancel("M:"), 0u);
    QProcess::execute(QStringLiteral("kdestroy"), {});
    NewBrowserWindow();
    EXPECT_EQ(Drive("M:", Unc(Dc, "dominio")), 1223u);
    EXPECT_EQ(Folder(Unc(Dc, "dominio")), nullptr);
    ASSERT_EQ(prompt.questions.size(), 2u);
    EXPECT_EQ(prompt.questions[0].target, Unc(Dc, "dominio"));
}

}  // namespace
