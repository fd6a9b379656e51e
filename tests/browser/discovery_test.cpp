// Discovery's own rules, without a network: what WS-Discovery answers and metadata give (and
// that hostile ones give nothing), where a metadata request may go, and how the sources merge
// into the SMB1 lists.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <map>

#include "platform/linux/discovery.h"
#include "platform/linux/discovery_dnssd.h"
#include "platform/linux/discovery_hosts.h"
#include "platform/linux/discovery_wsd.h"

namespace {

using namespace platform::discovery;
using wsd::MatchKind;
using platform::smbenum::Entry;

const QString Ns =
    "xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\" "
    "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
    "xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
    "xmlns:wsx=\"http://schemas.xmlsoap.org/ws/2004/09/mex\" "
    "xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\" "
    "xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\"";
const QString Laughs = [] {
    QString d = "<!DOCTYPE x [<!ENTITY l0 \"MALO\">";
    for (int i = 1; i < 10; ++i)
        d += QString("<!ENTITY l%1 \"%2\">").arg(i).arg(QString("&l%1;").arg(i - 1).repeated(10));
    return d + "]>";
}();

// A ProbeMatches as wsdd sends it, with the parts a test changes.
QByteArray Matches(const QString& types = "wsdp:Device pub:Computer", const QString& xaddrs = {},
                   const QString& prolog = {}, const QString& ns = Ns,
                   const QString& action = "ProbeMatches") {
    return (prolog + "<soap:Envelope " + ns +
            "><soap:Header><wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/"
            "anonymous</wsa:To><wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/" +
            action +
            "</wsa:Action><wsa:MessageID>urn:uuid:b7c6faba</wsa:MessageID>"
            "<wsa:RelatesTo>urn:uuid:sonda</wsa:RelatesTo></soap:Header><soap:Body>"
            "<wsd:ProbeMatches><wsd:ProbeMatch><wsa:EndpointReference><wsa:Address>"
            "urn:uuid:6d617065</wsa:Address></wsa:EndpointReference><wsd:Types>" +
            types + "</wsd:Types>" +
            (xaddrs.isEmpty() ? QString() : "<wsd:XAddrs>" + xaddrs + "</wsd:XAddrs>") +
            "<wsd:MetadataVersion>1</wsd:MetadataVersion></wsd:ProbeMatch></wsd:ProbeMatches>"
            "</soap:Body></soap:Envelope>")
        .toUtf8();
}

QByteArray Metadata(const QString& computer, const QString& prolog = {}, const QString& ns = Ns,
                    const QString& action = "GetResponse") {
    return (prolog + "<soap:Envelope " + ns +
            "><soap:Header><wsa:Action>http://schemas.xmlsoap.org/ws/2004/09/transfer/" + action +
            "</wsa:Action></soap:Header><soap:Body><wsx:Metadata><wsx:MetadataSection "
            "Dialect=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/Relationship\">"
            "<wsdp:Relationship Type=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/host\">"
            "<wsdp:Host><wsdp:Types>pub:Computer</wsdp:Types><pub:Computer>" +
            computer +
            "</pub:Computer></wsdp:Host></wsdp:Relationship></wsx:MetadataSection>"
            "</wsx:Metadata></soap:Body></soap:Envelope>")
        .toUtf8();
}

TEST(WsDiscoveryAnswers, ProbeMatchGivesTheEndpointOfAComputerOfTheRightNamespaceOnly) {
    const auto m = wsd::ParseMatches(Matches(), MatchKind::Probe);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->relatesTo, "urn:uuid:sonda");
    ASSERT_EQ(m->list.size(), 1u);
    EXPECT_EQ(m->list[0].endpoint, "urn:uuid:6d617065");
    EXPECT_TRUE(m->list[0].xaddrs.isEmpty()) << "wsdd leaves them to a Resolve";
    EXPECT_FALSE(wsd::ParseMatches(Matches(), MatchKind::Resolve)) << "not a ResolveMatches";
    const auto computer = [](const QString& types, const QString& ns) {
        return wsd::ParseMatches(Matches(types, {}, {}, ns), MatchKind::Probe)->list[0].computer;
    };
    EXPECT_TRUE(computer("wsdp:Device pub:Computer", Ns));
    EXPECT_FALSE(computer("wsdp:Device", Ns)) << "a printer";
    EXPECT_FALSE(computer("p:Computer", Ns + " xmlns:p=\"urn:otro\"")) << "another namespace";
    EXPECT_TRUE(computer("pc:Computer",
                         Ns + " xmlns:pc=\"http://schemas.microsoft.com/windows/pub/2005/07\""))
        << "prefixes are the sender's choice";
}

TEST(WsDiscoveryAnswers, MalformedOrHostileAnswersGiveNothing) {
    QString soap11 = Ns;
    soap11.replace("http://www.w3.org/2003/05/soap-envelope",
                   "http://schemas.xmlsoap.org/soap/envelope/");
    const QByteArray deep =
        Matches("pub:Computer" + QString("<a>").repeated(100) + QString("</a>").repeated(100));
    const QByteArray oversize =
        Matches().replace("<soap:Body>", "<soap:Body><!--" + QByteArray(40000, 'x') + "-->");
    for (const QByteArray& bad :
         {Matches({}, {}, Laughs), Matches("&l9;", {}, Laughs),
          Matches({}, {}, "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/hostname\">]>"),
          Matches("&e;"), Matches({}, {}, {}, soap11), Matches({}, {}, {}, Ns, "Hello"), deep,
          oversize, QByteArray(), QByteArray("<<<"), Matches().replace("urn:uuid:sonda", "")})
        EXPECT_FALSE(wsd::ParseMatches(bad, MatchKind::Probe)) << bad.left(120).toStdString();
}

TEST(WsDiscoveryAnswers, TruncatedOrScrambledMessagesNeverCrash) {
    const QByteArray good = Matches("wsdp:Device pub:Computer", "http://10.0.0.2:5357/x");
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_FALSE(wsd::ParseMatches(good.left(n), MatchKind::Probe)) << n;
    const QByteArray meta = Metadata("SRV/Workgroup:GRUPO");
    for (qsizetype n = 0; n < meta.size(); ++n)
        EXPECT_FALSE(wsd::ParseMetadata(meta.left(n))) << n;
    QRandomGenerator random(8);  // fixed: a failure must repeat
    for (int i = 0; i < 3000; ++i) {
        QByteArray m = i % 2 ? good : meta;
        for (int flips = 1 + i % 5; flips > 0; --flips)
            m[random.bounded(m.size())] = char(random.bounded(256));
        wsd::ParseMatches(m, MatchKind::Probe);
        if (const auto c = wsd::ParseMetadata(m)) {
            EXPECT_TRUE(UsableName(c->name, MaxServerNameBytes));
        }
    }
}

TEST(WsDiscoveryMetadata, NamesTheComputerAndItsWorkgroupOrDomain) {
    const auto wg = wsd::ParseMetadata(Metadata("MAPEO-WSD/Workgroup:GRUPOWSD"));
    ASSERT_TRUE(wg);
    EXPECT_EQ(wg->name, "MAPEO-WSD");
    EXPECT_EQ(wg->group, "GRUPOWSD");
    const auto dom = wsd::ParseMetadata(Metadata("equipo/Domain:pruebas.lan"));
    ASSERT_TRUE(dom);
    EXPECT_EQ(dom->group, "pruebas.lan");
    EXPECT_EQ(wsd::ParseMetadata(Metadata("SOLO"))->group, "") << "goes under the local workgroup";
}

TEST(WsDiscoveryMetadata, HostileMetadataGivesNoEntry) {
    QString otherPub = Ns;
    otherPub.replace("windows/pub/2005/07", "otro");
    for (const QByteArray& bad :
         {Metadata("A\\B|C/Workgroup:GRUPO"), Metadata("EQUIPO/Workgroup:GR|UPO"),
          Metadata("/Workgroup:GRUPO"), Metadata("&l9;/Workgroup:GRUPO", Laughs),
          Metadata("EQUIPO&e;", "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/hostname\">]>"),
          Metadata("EQUIPO", {}, otherPub), Metadata("EQUIPO", {}, Ns, "Get"),
          Metadata("EQUIPO<b>x</b>"), Metadata(QString(64, 'A')),
          Metadata("EQUIPO").replace("wsdp:Host>", "wsdp:Otro>"),
          Metadata("EQUIPO") + QByteArray(wsd::MaxMetadataBytes, ' ')})
        EXPECT_FALSE(wsd::ParseMetadata(bad)) << bad.left(200).toStdString();
}

TEST(WsDiscoveryMetadata, IsFetchedOnlyFromTheDeviceThatAnswered) {
    const QHostAddress source("10.0.0.2");
    EXPECT_EQ(wsd::MetadataUrl({"http://10.0.0.9:5357/a", "http://10.0.0.2:5357/b"}, source),
              QUrl("http://10.0.0.2:5357/b"));
    for (const QString& refused :
         {QString("https://10.0.0.2/x"), QString("http://user@10.0.0.2/x"),
          QString("http://servidor.lan:5357/x"), QString("file:///etc/passwd"),
          QString("http://10.0.0.3/x"), QString("http://[::ffff:10.0.0.3]/x")})
        EXPECT_FALSE(wsd::MetadataUrl({refused}, source)) << refused.toStdString();
    QHostAddress linkLocal("fe80::1");
    linkLocal.setScopeId("eth0");
    const auto v6 = wsd::MetadataUrl({"http://[fe80::1]:5357/c"}, linkLocal);
    ASSERT_TRUE(v6);
    EXPECT_TRUE(v6->isValid());
    EXPECT_TRUE(v6->host().contains("eth0")) << "a link-local address needs its interface";
}

// Which workgroups are listed, and where a server announced without one goes,
// discovery_integration_test checks with real SMB1 browsing, wsdd and Avahi.
TEST(DiscoveryMerge, AServerSeenByBothAnnouncersOrBySmbBrowsingTooIsListedOnce) {
    Neighbourhood n;
    n.servers = Combine({{"MAPEO-NB", "MAPEOGRP", "10.0.0.4"}, {"PC1", "grupowsd", "10.0.0.66"}},
                        {{"mapeo-nb", "", ""}, {"pc1", "", "10.0.0.7"}, {"nas", "", "10.0.0.3"}});
    ASSERT_EQ(n.servers.size(), 3u);
    EXPECT_EQ(n.servers[0].address, "10.0.0.4");
    EXPECT_EQ(n.servers[1].group, "grupowsd") << "WS-Discovery knows the workgroup";
    EXPECT_EQ(n.servers[1].address, "10.0.0.7") << "DNS-SD resolved it; anyone can answer a Probe";
    std::vector<platform::smbenum::Entry> listed{
        {platform::smbenum::Entry::Server, "MAPEO-NB", {}}};
    AddServers(n, "mapeogrp", listed);
    EXPECT_EQ(listed.size(), 1u) << "SMB1 and WS-Discovery saw the same server";
}

TEST(DiscoveryMerge, SmbBrowsingIsAskedOnlyForWorkgroupsItListed) {
    Neighbourhood n;
    n.smb1Answered = true;
    n.smb1Workgroups = {"MAPEOGRP"};
    EXPECT_TRUE(Smb1MayList(n, "mapeogrp"));
    EXPECT_FALSE(Smb1MayList(n, "GRUPOWSD")) << "asking would only wait for a time-out";
    n.smb1Answered = false;
    EXPECT_FALSE(Smb1MayList(n, "MAPEOGRP"));
}

TEST(DiscoveryNames, UnusableNamesFromTheNetworkAreRefused) {
    EXPECT_TRUE(UsableName("Equipo de Ana", MaxServerNameBytes));
    EXPECT_TRUE(UsableName("Señal", MaxServerNameBytes));
    for (const char* bad : {"", ".", "..", "a\\b", "a|b", "a/b", "a:b", " a", "a\tb", "\xff\xfe",
                            "a*", "a?", "a<b", "a\"b"})
        EXPECT_FALSE(UsableName(bad, MaxServerNameBytes)) << bad;
    EXPECT_FALSE(UsableName(std::string(64, 'a'), MaxServerNameBytes));
    EXPECT_EQ(dnssd::ServerName("nas.local"), "nas");
    EXPECT_EQ(dnssd::ServerName("mal|o.local"), "");
}

// Names and lookups as a stand-in resolver answers them; each test uses names of its own, as
// what is learned stays for the process.
struct StandIn {
    std::map<std::string, Resolution> dns;  // others do not resolve
    std::vector<std::string> asked;
    Lookups lookups{[this](const std::string& name) {
        asked.push_back(name);
        const auto it = dns.find(name);
        return it == dns.end() ? Resolution::DoesNotResolve : it->second;
    }};
};

TEST(DiscoveryAddresses, AnAnnouncementRedirectsOnlyANameNothingElseKnows) {
    StandIn s;
    s.dns = {{"Servidor", Resolution::Resolves}, {"Lento", Resolution::NoAnswer}};
    RememberAddress("Equipo-Visto", "10.0.0.8");
    RememberAddress("Servidor", "10.0.0.66");  // anyone may announce a name DNS knows
    RememberAddress("Otro", "fe80::1");
    RememberAddress("Lento", "10.0.0.9");
    RememberAddress("Mapeo-NB", "10.0.0.4");
    std::vector<Entry> servers;
    ListServers(
        "MAPEOGRP",
        [](std::vector<Entry>& out) {
            out = {{Entry::Server, "MAPEO-NB", {}}};
            return 0;
        },
        servers);
    EXPECT_EQ(SmbHostFor("EQUIPO-VISTO", s.lookups), "10.0.0.8");
    EXPECT_EQ(SmbHostFor("Servidor", s.lookups), "Servidor") << "its ticket and passwords go there";
    EXPECT_EQ(SmbHostFor("mapeo-nb", s.lookups), "mapeo-nb") << "SMB1 browsing listed it";
    EXPECT_EQ(SmbHostFor("Otro", s.lookups), "Otro") << "libsmbclient takes no IPv6 literal";
    EXPECT_EQ(SmbHostFor("Desconocido", s.lookups), "Desconocido");
    EXPECT_EQ(SmbHostFor("Lento", s.lookups), "Lento") << "a silent name server proves nothing";
    s.dns["Lento"] = Resolution::DoesNotResolve;
    EXPECT_EQ(SmbHostFor("Lento", s.lookups), "10.0.0.9") << "so it is asked again";
    EXPECT_EQ(SmbHostFor("equipo-visto", s.lookups), "10.0.0.8");
    EXPECT_EQ(s.asked, (std::vector<std::string>{"EQUIPO-VISTO", "Servidor", "Lento", "Lento"}))
        << "only announced names are looked up, once per announcement";
    RememberAddress("equipo-visto", "10.0.0.10");
    EXPECT_EQ(SmbHostFor("Equipo-Visto", s.lookups), "10.0.0.10") << "the latest round wins";
}

}  // namespace
