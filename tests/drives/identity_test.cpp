// The identities a connection offers, in order, against a fake keyring and a scripted dialog.
#include <gtest/gtest.h>

#include "drives/frmmain.h"
#include "fakes/credentials.h"
#include "fakes/desktop.h"
#include "platform/credentials.h"
#include "platform/linux/identity.h"
#include "support/main_services.h"

namespace {

using platform::DWORD;
using platform::identity::Offer;
using platform::identity::RunHere;
using platform::identity::Sequence;

class IdentityTest : public testing::Test {
protected:
    IdentityTest()
        : store(new fakes::FakeCredentialStore),
          credentials(platform::identity::MakeCredentials(
              std::unique_ptr<fakes::FakeCredentialStore>(store), [this] { return ticket; })) {
        credentials->RegisterPrompt(&prompt);
    }

    // What is offered until ana's password is.
    static std::vector<std::string> Walk(Sequence& s) {
        static const char* names[] = {"none", "ticket", "saved", "guest", "typed"};
        std::vector<std::string> offered;
        Offer offer;
        while (s.Next(true, "GRUPO", RunHere, &offer)) {
            offered.push_back(std::string(names[int(offer.source)]) +
                              (offer.cred.user.empty() ? "" : ":" + offer.cred.user));
            if (offer.cred.user == "ana" && offer.cred.password.view() == "bien") {
                s.Accepted(true, RunHere);
                break;
            }
        }
        return offered;
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
    EXPECT_EQ(Walk(s),
              (std::vector<std::string>{"ticket", "saved:ana", "guest", "typed:ana", "typed:ana"}));
    // The saved entry's user is shown with the refusal; the second refusal keeps what was typed.
    EXPECT_EQ(prompt.asked,
              (std::vector<std::string>{"\\\\srv\\datos 1326 ana", "\\\\srv\\datos 1326 ana"}));
}

// Anyone may announce the name: the name's saved password must not go to that address.
TEST_F(IdentityTest, AServerReachedAtAnAnnouncedHostGetsOnlyWhatIsTypedForIt) {
    ticket = true;
    store->saved["srv"] = {"ana", "DOM", platform::SecureString("bien")};
    prompt.answers = {{"ana", "bien", true}};
    Sequence s(*credentials, "srv", "datos", true, true, "192.0.2.5");
    EXPECT_EQ(Walk(s), (std::vector<std::string>{"guest", "typed:ana"}));
    EXPECT_EQ(prompt.asked, std::vector<std::string>{"\\\\srv\\datos (192.0.2.5) 0 "})
        << "the dialog says where the password goes";
    EXPECT_EQ(store->reads, 0);
    EXPECT_EQ(store->writes, 0) << "remembered for the name, it would go to the name's server";
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
    drives::frmMain window(support::OnFiles(dir, net, shell, ui));
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
