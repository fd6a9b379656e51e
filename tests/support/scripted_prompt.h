// The credentials dialog as a script: it answers in order, and with no answer left the user
// cancels. Records each question as "target authError user" and the domain it showed.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <deque>
#include <string>
#include <vector>

#include "platform/credentials.h"

namespace testing_support {

class ScriptedPrompt final : public platform::CredentialPrompt {
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

}  // namespace testing_support
