// Stand-ins for the user's keyring and for the credentials dialog. The dialog answers from a
// script, in order, and with no answer left the user cancels; it records each question as
// "target authError user" and the domain it showed.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/credentials.h"

namespace fakes {

class FakeCredentialStore final : public platform::CredentialStore {
public:
    platform::DWORD CredReadA(const std::string& server, platform::NetCredential& cred) override {
        ++reads;
        const auto it = saved.find(server);
        if (it == saved.end())
            return platform::ERROR_NOT_FOUND;
        cred = it->second.Copy();
        return platform::NO_ERROR;
    }
    platform::DWORD CredWriteA(const std::string& server,
                               const platform::NetCredential& cred) override {
        saved[server] = cred.Copy();
        ++writes;
        return platform::NO_ERROR;
    }

    std::map<std::string, platform::NetCredential> saved;
    int reads = 0;
    int writes = 0;
};

class FakeCredentialPrompt final : public platform::CredentialPrompt {
public:
    struct Answer {
        std::string user, password;
        bool save = false;
    };
    platform::DWORD CredUIPromptForCredentialsA(const std::string& target,
                                                platform::DWORD authError,
                                                platform::NetCredential& cred,
                                                platform::BOOL* save) override {
        asked.push_back(target + " " + std::to_string(authError) + " " + cred.user);
        domains.push_back(cred.domain);
        onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
        if (answers.empty())
            return platform::ERROR_CANCELLED;
        cred.user = answers.front().user;
        cred.password.Assign(answers.front().password);
        *save = answers.front().save;
        answers.pop_front();
        return platform::NO_ERROR;
    }
    platform::DWORD CredUIConfirmCredentialsA(const std::string&, platform::BOOL ok) override {
        confirmed.push_back(ok != 0);
        return platform::NO_ERROR;
    }

    std::deque<Answer> answers;
    std::vector<std::string> asked, domains;
    std::vector<bool> confirmed;
    bool onUiThread = true;
};

}  // namespace fakes
