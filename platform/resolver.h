// The name-resolution component (DNSControl.DNS): host names to addresses and back, as text.
#pragma once

#include <QString>

namespace platform {

class NameResolver {
public:
    virtual ~NameResolver() = default;

    // The first IPv4 address of the host, dotted; an empty text when there is none.
    virtual QString HostToAddress(const QString& host) = 0;
    // The host name of a dotted IPv4 address; an empty text when it has none.
    // Either lookup gives up after about a second, whatever the name servers do.
    virtual QString AddressToHost(const QString& address) = 0;
    // Starts AddressToHost for `address` in the background, for a scan that will ask for it
    // soon: the AddressToHost of the same text then takes that answer, waiting only for what
    // is left of it. A resolver without background lookups ignores this.
    virtual void AddressToHostAhead(const QString& address) { (void)address; }
};

NameResolver& SystemNameResolver();

}  // namespace platform
