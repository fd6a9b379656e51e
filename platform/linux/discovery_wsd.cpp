#include "platform/linux/discovery_wsd.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>
#include <QUdpSocket>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <deque>
#include <map>
#include <memory>
#include <set>

namespace platform::discovery::wsd {
namespace {

const QString SoapNs = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString WsaNs = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/08/addressing");
const QString WsdNs = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery");
const QString WsdpNs = QStringLiteral("http://schemas.xmlsoap.org/ws/2006/02/devprof");
const QString WsxNs = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/09/mex");
const QString PubNs = QStringLiteral("http://schemas.microsoft.com/windows/pub/2005/07");

const QString DiscoveryTo = QStringLiteral("urn:schemas-xmlsoap-org:ws:2005:04:discovery");
const QString Anonymous = WsaNs + QStringLiteral("/role/anonymous");
const QString ProbeAction = WsdNs + QStringLiteral("/Probe");
const QString ProbeMatchesAction = WsdNs + QStringLiteral("/ProbeMatches");
const QString ResolveAction = WsdNs + QStringLiteral("/Resolve");
const QString ResolveMatchesAction = WsdNs + QStringLiteral("/ResolveMatches");
const QString GetAction = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/09/transfer/Get");
const QString GetResponseAction =
    QStringLiteral("http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse");

constexpr quint16 DiscoveryPort = 3702;
constexpr int MaxDepth = 24;
constexpr int MaxMatchesPerMessage = 64;
constexpr int MaxXAddrs = 8;
constexpr qsizetype MaxFieldChars = 1024;
constexpr int MaxInterfaces = 16;
constexpr int RepeatDelayMs = 150;

// --- Messages out -----------------------------------------------------------------------

class Envelope {
public:
    Envelope(const QString& to, const QString& action, const QString& messageId) : w_(&out_) {
        w_.writeStartDocument();
        w_.writeNamespace(SoapNs, QStringLiteral("soap"));
        w_.writeNamespace(WsaNs, QStringLiteral("wsa"));
        w_.writeNamespace(WsdNs, QStringLiteral("wsd"));
        // Responders compare the probe's type text as written, prefix included.
        w_.writeNamespace(WsdpNs, QStringLiteral("wsdp"));
        w_.writeStartElement(SoapNs, QStringLiteral("Envelope"));
        w_.writeStartElement(SoapNs, QStringLiteral("Header"));
        w_.writeTextElement(WsaNs, QStringLiteral("To"), to);
        w_.writeTextElement(WsaNs, QStringLiteral("Action"), action);
        w_.writeTextElement(WsaNs, QStringLiteral("MessageID"), messageId);
    }
    QXmlStreamWriter& Writer() { return w_; }
    void StartBody() {
        w_.writeEndElement();  // Header
        w_.writeStartElement(SoapNs, QStringLiteral("Body"));
    }
    QByteArray Finish() {
        w_.writeEndDocument();
        return out_;
    }

private:
    QByteArray out_;
    QXmlStreamWriter w_;
};

// --- Messages in --------------------------------------------------------------------------

struct Name {
    QString ns;
    QString local;
};

// A strict walk over a SOAP message: the root must be a SOAP 1.2 envelope, and a DTD, an
// entity reference, a malformed document or nesting beyond MaxDepth ends it as a fault.
class SoapWalker {
public:
    enum Event { Start, End, Finished, Fault };

    explicit SoapWalker(const QByteArray& doc) : r_(doc) {}

    Event Next() {
        if (fault_)
            return Fault;
        while (!r_.atEnd()) {
            switch (r_.readNext()) {
                case QXmlStreamReader::StartElement:
                    if (path_.size() >= MaxDepth)
                        return Fail();
                    path_.push_back({r_.namespaceUri().toString(), r_.name().toString()});
                    scopes_.push_back(r_.namespaceDeclarations());
                    if (path_.size() == 1 && !IsAt(0, SoapNs, u"Envelope"))
                        return Fail();
                    return Start;
                case QXmlStreamReader::EndElement:
                    ended_ = path_.empty() ? Name{} : path_.back();
                    Pop();
                    return End;
                case QXmlStreamReader::DTD:
                case QXmlStreamReader::EntityReference:
                case QXmlStreamReader::Invalid:
                    return Fail();
                default:
                    break;  // text between elements, comments, the declaration
            }
        }
        return r_.hasError() ? Fail() : Finished;
    }

    // True when the open elements are exactly `names`, outermost first.
    bool PathIs(std::initializer_list<std::pair<const QString&, QStringView>> names) const {
        if (path_.size() != names.size())
            return false;
        std::size_t i = 0;
        for (const auto& [ns, local] : names)
            if (!IsAt(i++, ns, local))
                return false;
        return true;
    }
    bool EndedIs(const QString& ns, QStringView local) const {
        return ended_.ns == ns && ended_.local == local;
    }
    std::size_t Depth() const { return path_.size(); }

    // The text of the element just opened; an element inside it is a fault. Its QNames are
    // resolved by Uri() before the element is closed here.
    QString Text() {
        const QString text = r_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (r_.hasError() || text.size() > MaxFieldChars) {
            Fail();
            return {};
        }
        return text;
    }
    void CloseText() { Pop(); }

    // The namespace a prefix stands for where the walk is; nothing when it is not declared.
    std::optional<QString> Uri(QStringView prefix) const {
        if (prefix == u"xml")
            return QStringLiteral("http://www.w3.org/XML/1998/namespace");
        for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s)
            for (const QXmlStreamNamespaceDeclaration& d : *s)
                if (d.prefix() == prefix)
                    return d.namespaceUri().toString();
        return std::nullopt;
    }

    bool Failed() const { return fault_; }

private:
    bool IsAt(std::size_t i, const QString& ns, QStringView local) const {
        return i < path_.size() && path_[i].ns == ns && path_[i].local == local;
    }
    void Pop() {
        if (!path_.empty()) {
            path_.pop_back();
            scopes_.pop_back();
        }
    }
    Event Fail() {
        fault_ = true;
        return Fault;
    }

    QXmlStreamReader r_;
    std::vector<Name> path_;
    std::vector<QXmlStreamNamespaceDeclarations> scopes_;
    Name ended_;
    bool fault_ = false;
};

bool HasControlCharacters(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

// Whether a list of QNames names the PnP-X computer type.
bool NamesComputer(const QString& types, const SoapWalker& w) {
    for (const QString& qname : types.simplified().split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = qname.indexOf(u':');
        const QStringView prefix = colon < 0 ? QStringView() : QStringView(qname).left(colon);
        const QStringView local =
            colon < 0 ? QStringView(qname) : QStringView(qname).mid(colon + 1);
        if (local == u"Computer" && w.Uri(prefix) == PubNs)
            return true;
    }
    return false;
}

}  // namespace

QByteArray ProbeMessage(const QString& messageId) {
    Envelope e(DiscoveryTo, ProbeAction, messageId);
    e.StartBody();
    QXmlStreamWriter& w = e.Writer();
    w.writeStartElement(WsdNs, QStringLiteral("Probe"));
    w.writeTextElement(WsdNs, QStringLiteral("Types"), QStringLiteral("wsdp:Device"));
    w.writeEndElement();
    return e.Finish();
}

QByteArray ResolveMessage(const QString& messageId, const QString& endpoint) {
    Envelope e(DiscoveryTo, ResolveAction, messageId);
    e.StartBody();
    QXmlStreamWriter& w = e.Writer();
    w.writeStartElement(WsdNs, QStringLiteral("Resolve"));
    w.writeStartElement(WsaNs, QStringLiteral("EndpointReference"));
    w.writeTextElement(WsaNs, QStringLiteral("Address"), endpoint);
    w.writeEndElement();
    w.writeEndElement();
    return e.Finish();
}

QByteArray GetMessage(const QString& messageId, const QString& endpoint, const QString& from) {
    Envelope e(endpoint, GetAction, messageId);
    QXmlStreamWriter& w = e.Writer();
    w.writeStartElement(WsaNs, QStringLiteral("ReplyTo"));
    w.writeTextElement(WsaNs, QStringLiteral("Address"), Anonymous);
    w.writeEndElement();
    w.writeStartElement(WsaNs, QStringLiteral("From"));
    w.writeTextElement(WsaNs, QStringLiteral("Address"), from);
    w.writeEndElement();
    e.StartBody();
    return e.Finish();
}

std::optional<Matches> ParseMatches(const QByteArray& message, MatchKind kind) {
    if (message.size() > MaxDatagramBytes)
        return std::nullopt;
    const bool probe = kind == MatchKind::Probe;
    const QStringView list = probe ? u"ProbeMatches" : u"ResolveMatches";
    const QStringView one = probe ? u"ProbeMatch" : u"ResolveMatch";
    const QString& wantedAction = probe ? ProbeMatchesAction : ResolveMatchesAction;

    SoapWalker w(message);
    QString action;
    Matches out;
    Match current;
    bool inMatch = false;
    for (SoapWalker::Event e = w.Next(); e != SoapWalker::Finished; e = w.Next()) {
        if (e == SoapWalker::Fault)
            return std::nullopt;
        if (e == SoapWalker::End) {
            if (inMatch && w.Depth() == 3 && w.EndedIs(WsdNs, one)) {
                inMatch = false;
                if (!current.endpoint.isEmpty() && out.list.size() < MaxMatchesPerMessage)
                    out.list.push_back(std::move(current));
                current = {};
            }
            continue;
        }
        const QString& S = SoapNs;
        if (w.PathIs({{S, u"Envelope"}, {S, u"Header"}, {WsaNs, u"Action"}})) {
            action = w.Text().trimmed();
            w.CloseText();
        } else if (w.PathIs({{S, u"Envelope"}, {S, u"Header"}, {WsaNs, u"RelatesTo"}})) {
            out.relatesTo = w.Text().trimmed();
            w.CloseText();
        } else if (w.PathIs({{S, u"Envelope"}, {S, u"Body"}, {WsdNs, list}, {WsdNs, one}})) {
            inMatch = true;
            current = {};
            current.computer = true;  // until its types say otherwise
        } else if (inMatch && w.PathIs({{S, u"Envelope"},
                                        {S, u"Body"},
                                        {WsdNs, list},
                                        {WsdNs, one},
                                        {WsaNs, u"EndpointReference"},
                                        {WsaNs, u"Address"}})) {
            current.endpoint = w.Text().trimmed();
            if (HasControlCharacters(current.endpoint))
                current.endpoint.clear();
            w.CloseText();
        } else if (inMatch && w.PathIs({{S, u"Envelope"},
                                        {S, u"Body"},
                                        {WsdNs, list},
                                        {WsdNs, one},
                                        {WsdNs, u"Types"}})) {
            current.computer = NamesComputer(w.Text(), w);
            w.CloseText();
        } else if (inMatch && w.PathIs({{S, u"Envelope"},
                                        {S, u"Body"},
                                        {WsdNs, list},
                                        {WsdNs, one},
                                        {WsdNs, u"XAddrs"}})) {
            current.xaddrs =
                w.Text().simplified().split(u' ', Qt::SkipEmptyParts).mid(0, MaxXAddrs);
            w.CloseText();
        }
        if (w.Failed())
            return std::nullopt;
    }
    if (action != wantedAction || out.relatesTo.isEmpty())
        return std::nullopt;
    return out;
}

std::optional<Computer> ParseMetadata(const QByteArray& body) {
    if (body.size() > MaxMetadataBytes)
        return std::nullopt;
    SoapWalker w(body);
    QString action;
    std::optional<QString> computer;
    const QString& S = SoapNs;
    for (SoapWalker::Event e = w.Next(); e != SoapWalker::Finished; e = w.Next()) {
        if (e == SoapWalker::Fault)
            return std::nullopt;
        if (e != SoapWalker::Start)
            continue;
        if (w.PathIs({{S, u"Envelope"}, {S, u"Header"}, {WsaNs, u"Action"}})) {
            action = w.Text().trimmed();
            w.CloseText();
        } else if (!computer && w.PathIs({{S, u"Envelope"},
                                          {S, u"Body"},
                                          {WsxNs, u"Metadata"},
                                          {WsxNs, u"MetadataSection"},
                                          {WsdpNs, u"Relationship"},
                                          {WsdpNs, u"Host"},
                                          {PubNs, u"Computer"}})) {
            computer = w.Text().trimmed();
            w.CloseText();
        }
        if (w.Failed())
            return std::nullopt;
    }
    if (action != GetResponseAction || !computer)
        return std::nullopt;

    // "NAME/Workgroup:GROUP", "NAME/Domain:DOMAIN", or a name alone.
    const qsizetype slash = computer->indexOf(u'/');
    Computer c;
    c.name = computer->left(slash < 0 ? computer->size() : slash).trimmed().toStdString();
    if (slash >= 0) {
        const QString membership = computer->mid(slash + 1).trimmed();
        for (const QStringView prefix : {QStringView(u"Workgroup:"), QStringView(u"Domain:")})
            if (membership.startsWith(prefix, Qt::CaseInsensitive))
                c.group = membership.mid(prefix.size()).trimmed().toStdString();
    }
    if (!UsableName(c.name, MaxServerNameBytes) ||
        (!c.group.empty() && !UsableName(c.group, MaxGroupNameBytes)))
        return std::nullopt;
    return c;
}

std::optional<QUrl> MetadataUrl(const QStringList& xaddrs, const QHostAddress& source) {
    QHostAddress from = source;
    from.setScopeId({});
    for (const QString& x : xaddrs) {
        QUrl url(x, QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != u"http" || !url.userInfo().isEmpty() ||
            url.path().size() > 256 || url.port(80) <= 0)
            continue;
        QHostAddress host;
        if (!host.setAddress(url.host()))
            continue;
        host.setScopeId({});
        if (!host.isEqual(from, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        // A link-local IPv6 address needs the interface the answer came in on.
        if (source.protocol() == QAbstractSocket::IPv6Protocol && !source.scopeId().isEmpty())
            url.setHost(source.toString());
        url.setFragment({});
        return url;
    }
    return std::nullopt;
}

namespace {

QString NewId() {
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// One round of WS-Discovery, driven by the event loop of the thread it was made on.
class Round : public QObject {
public:
    Round(Clock::time_point deadline, std::function<void()> done)
        : deadline_(deadline), done_(std::move(done)) {
        nam_.setProxy(QNetworkProxy::NoProxy);  // the devices are on this link
        nam_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    ~Round() override {
        // Replies still running must not call back into a round that is going away.
        for (QNetworkReply* r : replies_) {
            r->disconnect(this);
            r->abort();
        }
    }

    bool Start() {
        started_.start();
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
            const auto f = i.flags();
            if (f.testFlag(QNetworkInterface::IsUp) && f.testFlag(QNetworkInterface::IsRunning) &&
                f.testFlag(QNetworkInterface::CanMulticast) &&
                !f.testFlag(QNetworkInterface::IsLoopBack) && interfaces_.size() < MaxInterfaces)
                interfaces_.push_back(i);
        }
        if (interfaces_.isEmpty())
            return false;  // no link to ask on: nothing to wait for
        if (v4_.bind(QHostAddress::AnyIPv4, 0))
            connect(&v4_, &QUdpSocket::readyRead, this, [this] { Read(v4_); });
        if (v6_.bind(QHostAddress::AnyIPv6, 0))
            connect(&v6_, &QUdpSocket::readyRead, this, [this] { Read(v6_); });
        if (v4_.state() != QAbstractSocket::BoundState &&
            v6_.state() != QAbstractSocket::BoundState)
            return false;
        probeId_ = NewId();
        Multicast(ProbeMessage(probeId_), {});
        connect(&tick_, &QTimer::timeout, this, [this] { Check(); });
        tick_.start(50);
        return true;
    }

    std::vector<Found> Results() const { return found_; }

private:
    enum class State { Resolving, Queued, Fetching, Finished };
    struct Device {
        QString endpoint;
        QHostAddress source;
        State state = State::Finished;
        QString resolveId;
        qint64 resolveSentMs = 0;
        QUrl url;
    };

    // Sends to every interface, once now and once more a little later: UDP may drop one.
    void Multicast(const QByteArray& message,
                   std::optional<QAbstractSocket::NetworkLayerProtocol> only) {
        SendToGroups(message, only);
        QTimer::singleShot(RepeatDelayMs, this,
                           [this, message, only] { SendToGroups(message, only); });
    }

    void SendToGroups(const QByteArray& message,
                      std::optional<QAbstractSocket::NetworkLayerProtocol> only) {
        for (const QNetworkInterface& i : interfaces_) {
            bool v4 = false;
            bool v6 = false;
            for (const QNetworkAddressEntry& a : i.addressEntries()) {
                v4 |= a.ip().protocol() == QAbstractSocket::IPv4Protocol;
                v6 |= a.ip().protocol() == QAbstractSocket::IPv6Protocol && a.ip().isLinkLocal();
            }
            if (v4 && v4_.state() == QAbstractSocket::BoundState &&
                only.value_or(QAbstractSocket::IPv4Protocol) == QAbstractSocket::IPv4Protocol) {
                v4_.setMulticastInterface(i);
                v4_.writeDatagram(message, QHostAddress(QStringLiteral("239.255.255.250")),
                                  DiscoveryPort);
            }
            if (v6 && v6_.state() == QAbstractSocket::BoundState &&
                only.value_or(QAbstractSocket::IPv6Protocol) == QAbstractSocket::IPv6Protocol) {
                QHostAddress group(QStringLiteral("ff02::c"));
                group.setScopeId(i.name());
                v6_.setMulticastInterface(i);
                v6_.writeDatagram(message, group, DiscoveryPort);
            }
        }
    }

    void Read(QUdpSocket& socket) {
        while (socket.hasPendingDatagrams()) {
            if (++datagrams_ > MaxDatagrams) {
                socket.close();
                return;
            }
            if (socket.pendingDatagramSize() > MaxDatagramBytes) {
                socket.readDatagram(nullptr, 0);  // drops it
                continue;
            }
            const QNetworkDatagram d = socket.receiveDatagram(MaxDatagramBytes);
            if (d.isValid())
                Handle(d.data(), d.senderAddress());
        }
    }

    void Handle(const QByteArray& data, const QHostAddress& source) {
        if (const auto m = ParseMatches(data, MatchKind::Probe)) {
            if (m->relatesTo == probeId_)
                for (const Match& match : m->list)
                    Follow(match, source, false);
        } else if (const auto r = ParseMatches(data, MatchKind::Resolve)) {
            for (const Match& match : r->list) {
                for (auto& [key, d] : devices_)
                    if (d.state == State::Resolving && d.resolveId == r->relatesTo &&
                        d.endpoint == match.endpoint)
                        Follow(match, d.source, true);
            }
        }
    }

    void Follow(const Match& match, const QHostAddress& source, bool resolved) {
        if (!match.computer)
            return;
        const QString key = match.endpoint + u'\n' + source.toString();
        auto it = devices_.find(key);
        if (it == devices_.end()) {
            if (devices_.size() >= MaxDevices)
                return;
            Device d;
            d.endpoint = match.endpoint;
            d.source = source;
            d.state = State::Resolving;
            it = devices_.emplace(key, std::move(d)).first;
        } else if (it->second.state != State::Resolving || !resolved) {
            return;  // a repeated answer, or one already followed
        }
        Device& d = it->second;
        if (const auto url = MetadataUrl(match.xaddrs, source)) {
            d.url = *url;
            d.state = State::Queued;
            queue_.push_back(key);
            Pump();
        } else if (!resolved && d.resolveId.isEmpty()) {
            d.resolveId = NewId();
            d.resolveSentMs = started_.elapsed();
            Multicast(ResolveMessage(d.resolveId, d.endpoint), source.protocol());
        } else {
            d.state = State::Finished;
        }
    }

    void Pump() {
        while (inFlight_ < MaxConcurrentFetches && !queue_.empty()) {
            const QString key = queue_.front();
            queue_.pop_front();
            Fetch(key);
        }
    }

    void Fetch(const QString& key) {
        Device& d = devices_[key];
        d.state = State::Fetching;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        QNetworkRequest request(d.url);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/soap+xml"));
        request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mapeo"));
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setTransferTimeout(std::max<int>(1, static_cast<int>(left.count())));
        QNetworkReply* reply = nam_.post(request, GetMessage(NewId(), d.endpoint, self_));
        reply->setReadBufferSize(MaxMetadataBytes);
        replies_.insert(reply);
        ++inFlight_;
        auto body = std::make_shared<QByteArray>();
        auto tooBig = std::make_shared<bool>(false);
        // A reply longer than any metadata is cut off as soon as that is known.
        connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooBig] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > MaxMetadataBytes) {
                *tooBig = true;
                reply->abort();
            }
        });
        connect(reply, &QNetworkReply::readyRead, this, [reply, body, tooBig] {
            body->append(reply->read(MaxMetadataBytes + 1 - body->size()));
            if (body->size() > MaxMetadataBytes) {
                *tooBig = true;
                reply->abort();
            }
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply, body, tooBig, key] {
            replies_.erase(reply);
            --inFlight_;
            reply->deleteLater();
            Device& dev = devices_[key];
            dev.state = State::Finished;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (!*tooBig && reply->error() == QNetworkReply::NoError && status == 200) {
                body->append(reply->read(MaxMetadataBytes + 1 - body->size()));
                if (const auto computer = ParseMetadata(*body)) {
                    Found f{computer->name, computer->group, {}};
                    if (dev.source.protocol() == QAbstractSocket::IPv4Protocol)
                        f.address = dev.source.toString().toStdString();
                    found_.push_back(std::move(f));
                }
            }
            Pump();
            Check();
        });
    }

    void Check() {
        if (finished_)
            return;
        const qint64 now = started_.elapsed();
        bool waiting = false;
        for (auto& [key, d] : devices_) {
            if (d.state == State::Resolving && now - d.resolveSentMs > ResolveWaitMs)
                d.state = State::Finished;
            waiting |= d.state != State::Finished;
        }
        if (now >= ProbeWindowMs && !waiting && inFlight_ == 0 && queue_.empty()) {
            finished_ = true;
            tick_.stop();
            done_();
        }
    }

    Clock::time_point deadline_;
    std::function<void()> done_;
    QElapsedTimer started_;
    QList<QNetworkInterface> interfaces_;
    QUdpSocket v4_;
    QUdpSocket v6_;
    QNetworkAccessManager nam_;
    QTimer tick_;
    QString probeId_;
    const QString self_ = NewId();
    std::map<QString, Device> devices_;
    std::deque<QString> queue_;
    std::set<QNetworkReply*> replies_;
    int inFlight_ = 0;
    int datagrams_ = 0;
    bool finished_ = false;
    std::vector<Found> found_;
};

}  // namespace

std::vector<Found> Discover(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return {};
    QEventLoop loop;
    Round round(deadline, [&loop] { loop.quit(); });
    if (!round.Start())
        return {};
    QTimer::singleShot(static_cast<int>(left.count()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return round.Results();
}

}  // namespace platform::discovery::wsd
