// A keyring, and a dialog answering from a script (then cancelling), noting each question as
// "target authError user".
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
    int reads = 0, writes = 0;
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
        onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
        if (answers.empty())
            return platform::ERROR_CANCELLED;
        cred.user = answers.front().user;
        cred.password.Assign(answers.front().password);
        *save = answers.front().save;
        answers.pop_front();
        return platform::NO_ERROR;
    }
    platform::DWORD CredUIConfirmCredentialsA(const std::string&, platform::BOOL) override {
        return platform::NO_ERROR;
    }

    std::deque<Answer> answers;
    std::vector<std::string> asked;
    bool onUiThread = true;
};

}  // namespace fakes
