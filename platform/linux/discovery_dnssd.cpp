#include "platform/linux/discovery_dnssd.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/simple-watch.h>

#include <deque>
#include <set>
#include <string>

namespace platform::discovery::dnssd {
namespace {

// Resolutions waiting at once; more services wait for their turn.
constexpr int MaxPendingResolvers = 32;

struct Service {
    AvahiIfIndex interface;
    AvahiProtocol protocol;
    std::string name, type, domain;
};

struct Session {
    AvahiSimplePoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiServiceBrowser* browser = nullptr;
    std::set<AvahiServiceResolver*> resolvers;
    std::set<std::string> seen;  // services already taken, whatever the interface
    std::deque<Service> waiting;
    std::vector<Found> found;
    bool failed = false;
    bool allForNow = false;

    ~Session() {
        for (AvahiServiceResolver* r : resolvers)
            avahi_service_resolver_free(r);
        if (browser)
            avahi_service_browser_free(browser);
        if (client)
            avahi_client_free(client);
        if (poll)
            avahi_simple_poll_free(poll);
    }
    bool Done() const { return failed || (allForNow && resolvers.empty() && waiting.empty()); }
    void StartResolvers();
};

void OnClient(AvahiClient*, AvahiClientState state, void* data) {
    if (state == AVAHI_CLIENT_FAILURE)
        static_cast<Session*>(data)->failed = true;
}

void OnResolved(AvahiServiceResolver* r, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                const char*, const char*, const char*, const char* hostName,
                const AvahiAddress* address, uint16_t, AvahiStringList*, AvahiLookupResultFlags,
                void* data) {
    auto* s = static_cast<Session*>(data);
    if (event == AVAHI_RESOLVER_FOUND && hostName && s->found.size() < MaxServers) {
        Found f;
        f.name = ServerName(hostName);
        if (address && address->proto == AVAHI_PROTO_INET) {
            char text[AVAHI_ADDRESS_STR_MAX] = {};
            if (avahi_address_snprint(text, sizeof text, address))
                f.address = text;
        }
        if (!f.name.empty())
            s->found.push_back(std::move(f));
    }
    s->resolvers.erase(r);
    avahi_service_resolver_free(r);
    s->StartResolvers();
}

void Session::StartResolvers() {
    while (!waiting.empty() && resolvers.size() < MaxPendingResolvers) {
        const Service v = std::move(waiting.front());
        waiting.pop_front();
        if (AvahiServiceResolver* r = avahi_service_resolver_new(
                client, v.interface, v.protocol, v.name.c_str(), v.type.c_str(), v.domain.c_str(),
                AVAHI_PROTO_INET, AvahiLookupFlags(0), OnResolved, this))
            resolvers.insert(r);
    }
}

void OnBrowsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
               AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
               AvahiLookupResultFlags, void* data) {
    auto* s = static_cast<Session*>(data);
    switch (event) {
        case AVAHI_BROWSER_NEW: {
            if (!name || !type || !domain || s->seen.size() >= MaxServers)
                return;
            // The same service on another interface or protocol is the same server.
            if (!s->seen.insert(std::string(name) + '\n' + domain).second)
                return;
            s->waiting.push_back({interface, protocol, name, type, domain});
            s->StartResolvers();
            return;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
            s->allForNow = true;
            return;
        case AVAHI_BROWSER_FAILURE:
            s->failed = true;
            return;
        default:
            return;
    }
}

}  // namespace

std::string ServerName(std::string_view hostName) {
    const std::string name(hostName.substr(0, hostName.find('.')));
    return UsableName(name, MaxServerNameBytes) ? name : std::string();
}

std::vector<Found> Browse(Clock::time_point deadline) {
    Session s;
    s.poll = avahi_simple_poll_new();
    if (!s.poll)
        return {};
    int error = 0;
    s.client =
        avahi_client_new(avahi_simple_poll_get(s.poll), AvahiClientFlags(0), OnClient, &s, &error);
    if (!s.client)
        return {};  // no daemon, or no system bus to reach one
    s.browser = avahi_service_browser_new(s.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                          "_smb._tcp", nullptr, AvahiLookupFlags(0), OnBrowsed, &s);
    if (!s.browser)
        return {};
    while (!s.Done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || avahi_simple_poll_iterate(s.poll, static_cast<int>(left)) != 0)
            break;
    }
    return s.found;
}

}  // namespace platform::discovery::dnssd
