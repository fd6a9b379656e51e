// The order in which a connection offers the user's identities, what the dialog shows, a
// start-up restore's one question per server, and where typed passwords never go, against a
// fake keyring and a scripted dialog. (The codes of a cancel or a refusal and what is saved,
// identity_integration_test checks against the real keyring and servers.)
#include <gtest/gtest.h>

#include "drives/frmmain.h"
#include "fakes/credentials.h"
#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/filesystem.h"
#include "platform/linux/identity.h"
#include "platform/profile.h"
#include "support/support.h"

namespace {

using platform::DWORD;
using platform::NetCredential;
using platform::identity::Offer;
using platform::identity::RunHere;
using platform::identity::Sequence;
using platform::identity::Source;

class IdentityTest : public testing::Test {
protected:
    IdentityTest()
        : store(new fakes::FakeCredentialStore),
          credentials(platform::identity::MakeCredentials(
              std::unique_ptr<fakes::FakeCredentialStore>(store), [this] { return ticket; })) {
        credentials->RegisterPrompt(&prompt);
    }

    // Offers identities until `accepts` takes one; returns what was offered, in order, and
    // the sequence's code when none was taken.
    std::vector<std::string> Walk(Sequence& s, const std::function<bool(const Offer&)>& accepts,
                                  DWORD* code = nullptr, bool saveHere = true) {
        static const char* names[] = {"none", "ticket", "saved", "guest", "typed"};
        std::vector<std::string> offered;
        Offer offer;
        while (s.Next(true, "GRUPO", RunHere, &offer)) {
            offered.push_back(std::string(names[int(offer.source)]) +
                              (offer.cred.user.empty() ? "" : ":" + offer.cred.user));
            if (accepts(offer)) {
                s.Accepted(saveHere, RunHere);
                return offered;
            }
        }
        if (code)
            *code = s.Code();
        return offered;
    }
    static bool AnasPassword(const Offer& o) {
        return o.cred.user == "ana" && o.cred.password.view() == "bien";
    }

    bool ticket = false;
    fakes::FakeCredentialStore* store;
    fakes::FakeCredentialPrompt prompt;
    std::unique_ptr<platform::Credentials> credentials;
};

TEST_F(IdentityTest, TicketThenKeyringThenGuestThenTheDialogAgainAfterEachRefusal) {
    ticket = true;
    store->saved["srv"] = {"ana", "DOM", platform::SecureString("vieja")};
    prompt.answers = {{"ana", "mal"}, {"DOM\\ana", "bien"}};
    Sequence s(*credentials, "srv", "datos", true, true);
    EXPECT_EQ(Walk(s, AnasPassword),
              (std::vector<std::string>{"ticket", "saved:ana", "guest", "typed:ana", "typed:ana"}));
    // The saved entry's user is shown with the refusal; the second refusal keeps what was
    // typed, its domain split from "DOM\ana".
    EXPECT_EQ(prompt.asked,
              (std::vector<std::string>{"\\\\srv\\datos 1326 ana", "\\\\srv\\datos 1326 ana"}));
    EXPECT_EQ(prompt.domains, (std::vector<std::string>{"DOM", "DOM"}));
    EXPECT_EQ(prompt.confirmed, (std::vector<bool>{false, true}));
}

TEST_F(IdentityTest, TheDialogShowsTheWorkgroupOrTheRefusedEntrysUserThatGvfsTriedItself) {
    prompt.answers = {{"ana", "bien"}};
    Sequence s(*credentials, "srv", "", true, true);
    EXPECT_EQ(Walk(s, AnasPassword), (std::vector<std::string>{"guest", "typed:ana"}));

    store->saved["srv"] = {"ana", "DOM", platform::SecureString("vieja")};
    Sequence gvfs(*credentials, "srv", "datos", false, false);
    EXPECT_EQ(Walk(gvfs, AnasPassword), std::vector<std::string>{"guest"});
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"\\\\srv 0 ", "\\\\srv\\datos 1326 ana"}));
    EXPECT_EQ(prompt.domains, (std::vector<std::string>{"GRUPO", "DOM"}));
}

// A locked keyring asks for its own password: that wait belongs with the dialog's, on the
// window's thread and outside the server's bound, never on the thread that holds the mount
// record.
TEST_F(IdentityTest, TheKeyringIsReadAndWrittenOnlyWhereTheDialogRuns) {
    store->saved["srv"] = {"ana", "DOM", platform::SecureString("vieja")};
    int inside = 0;
    const auto ui = [&](const std::function<void()>& f) {
        const int before = store->reads + store->writes;
        f();
        inside += store->reads + store->writes - before;
    };
    for (const bool gvfs : {false, true}) {
        prompt.answers = {{"ana", "bien", true}};
        Sequence s(*credentials, "srv", "datos", !gvfs, !gvfs);
        Offer offer;
        while (s.Next(true, "", ui, &offer) && !AnasPassword(offer)) {
        }
        s.Accepted(!gvfs, ui);
    }
    EXPECT_EQ(store->reads, 2) << "the saved entry, and its user for the dialog";
    EXPECT_EQ(store->writes, 1);
    EXPECT_EQ(inside, 3);
}

// Anyone on the network may announce the name: what the user keeps for it must not go there
// unasked, and what is typed for that address must not be kept under the name.
TEST_F(IdentityTest, AServerReachedAtAnAnnouncedHostGetsOnlyWhatIsTypedForIt) {
    ticket = true;
    store->saved["srv"] = {"ana", "DOM", platform::SecureString("bien")};
    prompt.answers = {{"ana", "bien", true}};
    Sequence s(*credentials, "srv", "datos", true, true, "192.0.2.5");
    EXPECT_EQ(Walk(s, AnasPassword), (std::vector<std::string>{"guest", "typed:ana"}));
    EXPECT_EQ(prompt.asked, std::vector<std::string>{"\\\\srv\\datos (192.0.2.5) 0 "})
        << "the dialog says where the password goes";
    EXPECT_EQ(store->reads, 0);
    EXPECT_EQ(store->writes, 0) << "remembered for the name, it would go to the name's server";
}

TEST_F(IdentityTest, ARestoreAsksOncePerServer) {
    prompt.answers = {{"ana", "mal"}, {"ana", "bien"}};
    {
        const platform::RestoreScope restore(*credentials);
        Sequence first(*credentials, "srv", "uno", false, false);
        Walk(first, AnasPassword);
        Sequence second(*credentials, "SRV", "dos", false, false);
        EXPECT_EQ(Walk(second, AnasPassword), (std::vector<std::string>{"guest", "typed:ana"}));
        EXPECT_EQ(prompt.asked.size(), 2u) << "the second share got the accepted answer";

        // Refused on a third share: that server is not asked about again in this restore.
        DWORD code = 0;
        Sequence third(*credentials, "srv", "tres", false, false);
        Walk(
            third, [](const Offer&) { return false; }, &code);
        EXPECT_EQ(code, platform::ERROR_LOGON_FAILURE);
        EXPECT_EQ(prompt.asked.size(), 2u);

        // A cancel stands for the rest of its server.
        Sequence other(*credentials, "otro", "uno", false, false);
        Walk(other, AnasPassword, &code);
        Sequence again(*credentials, "otro", "dos", false, false);
        Walk(again, AnasPassword, &code);
        EXPECT_EQ(code, platform::ERROR_CANCELLED);
        EXPECT_EQ(prompt.asked.size(), 3u);
    }
    Sequence later(*credentials, "srv", "dos", false, false);
    Walk(later, AnasPassword);
    EXPECT_EQ(prompt.asked.size(), 4u) << "after the restore the dialog asks again";
}

TEST_F(IdentityTest, NoTypedPasswordReachesTheMappingFileOrAMessage) {
    // A connection service that asks as the back ends do and refuses every answer.
    class Asking final : public fakes::FakeNetConnections {
    public:
        explicit Asking(platform::Credentials& c) : c_(c) {}
        DWORD WNetAddConnection2A(const platform::NETRESOURCEA* r, platform::LPCSTR pw,
                                  platform::LPCSTR user, DWORD flags) override {
            FakeNetConnections::WNetAddConnection2A(r, pw, user, flags);
            Sequence s(c_, "srv", "datos", true, true);
            Offer offer;
            while (s.Next(true, "", RunHere, &offer)) {
            }
            return s.Code();
        }

    private:
        platform::Credentials& c_;
    } net(*credentials);
    prompt.answers = {{"ana", "Secreto-1"}, {"ana", "Secreto-2"}};
    support::TempDir dir;
    fakes::FakeWindowServices ui;
    fakes::FakeShell shell;
    drives::frmMain window(drives::MainServices{
        platform::SystemProfileFile(),
        platform::SystemFileSystem(),
        net,
        shell,
        ui,
        {dir.Path("cfg"), dir.Path("cfg/MAPEO.INI"), dir.Path("cfg/MAPEO.BAK")}});
    window.TXTNET[0]->setText(QStringLiteral("\\\\srv\\datos"));
    window.Check1[0]->SetValue(1);
    window.Command9_Click();

    ASSERT_EQ(prompt.asked.size(), 3u);
    EXPECT_EQ(ui.messages.back().text.left(12), QStringLiteral("ERROR: 1223 "));
    const QByteArray ini = dir.Read("cfg/MAPEO.INI");
    ASSERT_FALSE(ini.isEmpty());
    for (const char* secret : {"Secreto-1", "Secreto-2"}) {
        EXPECT_FALSE(ini.contains(secret));
        for (const auto& m : ui.messages)
            EXPECT_FALSE((m.text + m.title).contains(QLatin1String(secret)));
    }
}

}  // namespace
