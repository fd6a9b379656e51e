// The name-resolution component on Linux, on c-ares: the hosts file first, then DNS, with
// short tries and a hard deadline so that a silent name server cannot hold the window.
#pragma once

#include <memory>

#include "platform/resolver.h"

namespace platform {

class CaresResolver final : public NameResolver {
public:
    struct Limits {
        int tryTimeoutMs = 250;  // first try; c-ares doubles it for the next round
        int tries = 2;
        int deadlineMs = 1000;  // whole lookup, whatever the servers do
    };

    // How the last lookup ended; the window only sees the text.
    enum class Outcome {
        Found,
        NotFound,  // the servers said there is no such name or address
        NoAnswer,  // every server stayed silent for all its tries
        Deadline,  // cut off at the deadline
        Invalid,   // not a host name or dotted address; nothing was asked
        Failed,    // the resolver could not start, or a server refused
    };

    CaresResolver();
    explicit CaresResolver(Limits limits);
    ~CaresResolver() override;

    QString HostToAddress(const QString& host) override;
    QString AddressToHost(const QString& address) override;
    // Up to a few lookups run at once on threads of this resolver; more are not started, and
    // their AddressToHost looks up as it would without.
    void AddressToHostAhead(const QString& address) override;

    Outcome LastOutcome() const { return last_; }

private:
    struct Background;
    Limits limits_;
    Outcome last_ = Outcome::Invalid;
    std::unique_ptr<Background> background_;
};

}  // namespace platform
