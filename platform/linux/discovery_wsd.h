// WS-Discovery as Windows' "Network" folder uses it to find computers: a multicast Probe,
// ProbeMatches (and a Resolve when a match carries no address), then a WS-Transfer Get over
// HTTP whose metadata names the computer and its workgroup or domain.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

#include "platform/linux/discovery.h"

namespace platform::discovery::wsd {

// SOAP-over-UDP's own limit on a datagram; anything longer is not a WS-Discovery message.
inline constexpr qsizetype MaxDatagramBytes = 32767;
// A computer's metadata is a few kilobytes.
inline constexpr qsizetype MaxMetadataBytes = 64 * 1024;
// Datagrams read in one round; a flood beyond this is not read.
inline constexpr int MaxDatagrams = 2048;
// Devices followed up (Resolve, Get) in one round.
inline constexpr std::size_t MaxDevices = MaxServers;
inline constexpr int MaxConcurrentFetches = 16;
// Windows answers a Probe after a random delay of up to half a second.
inline constexpr int ProbeWindowMs = 1000;
inline constexpr int ResolveWaitMs = 400;

QByteArray ProbeMessage(const QString& messageId);
QByteArray ResolveMessage(const QString& messageId, const QString& endpoint);
QByteArray GetMessage(const QString& messageId, const QString& endpoint, const QString& from);

struct Match {
    QString endpoint;       // the device's endpoint address, usually urn:uuid:...
    bool computer = false;  // its types name a computer, or it gave none
    QStringList xaddrs;
};

struct Matches {
    QString relatesTo;  // the MessageID of the Probe or Resolve answered
    std::vector<Match> list;
};

enum class MatchKind { Probe, Resolve };

// The matches in a ProbeMatches or ResolveMatches message; nothing for any other message,
// a malformed one, one with a DTD or entity references, or one nested too deep.
std::optional<Matches> ParseMatches(const QByteArray& message, MatchKind kind);

struct Computer {
    std::string name;
    std::string group;  // empty when the metadata names none
};

// The computer a GetResponse describes ("NAME/Workgroup:GROUP" or "NAME/Domain:DOMAIN");
// nothing when there is none or its names are unusable.
std::optional<Computer> ParseMetadata(const QByteArray& body);

// The first HTTP transport address whose host is the address the answer came from: the
// metadata is fetched from the device that answered and from nowhere else.
std::optional<QUrl> MetadataUrl(const QStringList& xaddrs, const QHostAddress& source);

// One round on the calling thread, on its own event loop: Probe on every multicast
// interface (IPv4 and IPv6), follow the answers up, return the computers found by `deadline`.
std::vector<Found> Discover(Clock::time_point deadline);

}  // namespace platform::discovery::wsd
