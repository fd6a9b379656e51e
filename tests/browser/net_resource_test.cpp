// The resource objects over a fake enumeration: when they ask the platform, what they keep
// and how they read the buffer it fills.
#include <gtest/gtest.h>

#include "browser/netresource.h"
#include "fakes/browser.h"

namespace {

using browser::NETRESOURCE;
using browser::NetResources;
using fakes::Box;
using fakes::FakeNetEnumeration;
using fakes::FakeRecord;
using fakes::Leaf;
using namespace platform;

std::vector<std::string> Names(NetResources& list) {
    std::vector<std::string> names;
    for (NETRESOURCE& r : list)
        names.push_back(r.RemoteName().toStdString());
    return names;
}

class NetResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        net.containers[""] = {Box(RESOURCEDISPLAYTYPE_NETWORK, "Red")};
        net.containers["Red"] = {Box(RESOURCEDISPLAYTYPE_DOMAIN, "WG")};
        net.containers["WG"] = {Box(RESOURCEDISPLAYTYPE_SERVER, "\\\\SRV", "servidor"),
                                Box(RESOURCEDISPLAYTYPE_SERVER, "\\\\srv", "otro")};
        net.containers["\\\\SRV"] = {
            Leaf(RESOURCETYPE_PRINT, "\\\\SRV\\laser"), Leaf(RESOURCETYPE_DISK, "\\\\SRV\\docs"),
            Leaf(RESOURCETYPE_PRINT, "\\\\SRV\\fax", RESOURCEDISPLAYTYPE_GENERIC),
            Leaf(RESOURCETYPE_DISK, "\\\\SRV\\c$", RESOURCEDISPLAYTYPE_SHAREADMIN),
            Leaf(RESOURCETYPE_PRINT, "\\\\SRV\\color")};
    }
    NETRESOURCE* Wg() { return root.Children().Item(1)->Children().Item(QStringLiteral("wg")); }
    NETRESOURCE* Server() { return Wg()->Children().Item(QStringLiteral("\\\\srv")); }

    FakeNetEnumeration net;
    NETRESOURCE root{net};
};

TEST_F(NetResourceTest, EnumeratesOnFirstDemandOnlyDisksThenPrinterSharesAndClosesWhatItOpens) {
    NETRESOURCE fresh(net);
    EXPECT_EQ(net.Calls(), 0);
    root.Children();
    ASSERT_EQ(net.opens.size(), 2u);
    const auto& o = net.opens;
    EXPECT_EQ(std::tuple(o[0].scope, o[0].remote, o[0].type, o[0].usage, o[1].type, o[1].usage),
              std::tuple(RESOURCE_GLOBALNET, std::string(), RESOURCETYPE_DISK, 0u,
                         RESOURCETYPE_PRINT, RESOURCEUSAGE_CONNECTABLE));

    ASSERT_NE(Server(), nullptr);
    EXPECT_EQ(Names(Server()->Children()),
              (std::vector<std::string>{"\\\\SRV\\docs", "\\\\SRV\\c$", "\\\\SRV\\laser",
                                        "\\\\SRV\\color"}));
    EXPECT_EQ(net.opens.back().remote, "\\\\SRV") << "a child is opened with its own record";
    const int calls = net.Calls();
    EXPECT_EQ(Server()->Children().Count(), 4);
    EXPECT_EQ(net.Calls(), calls) << "walking an opened path again asked the platform";
    EXPECT_EQ(net.closes, static_cast<int>(net.opens.size()));

    EXPECT_EQ(Wg()->Children().Count(), 1);
    EXPECT_EQ(Server()->Comment(), QStringLiteral("servidor")) << "a name reported twice";
    for (int bad : {0, 5, -1})
        EXPECT_EQ(Server()->Children().Item(bad), nullptr);
}

TEST_F(NetResourceTest, FailedOpenIsTriedAgainIntoAFreshCollection) {
    net.openFailures["WG"] = {ERROR_NO_NETWORK};
    EXPECT_EQ(Wg()->Children().Count(), 0);
    EXPECT_FALSE(Wg()->Enumerated());
    EXPECT_EQ(Names(Wg()->Children()), std::vector<std::string>{"\\\\SRV"});
    EXPECT_TRUE(Wg()->Enumerated());

    net.openFailures["\\\\SRV"] = {NO_ERROR, ERROR_ACCESS_DENIED};
    EXPECT_EQ(Names(Server()->Children()),
              (std::vector<std::string>{"\\\\SRV\\docs", "\\\\SRV\\c$"}));
    EXPECT_TRUE(Server()->Enumerated()) << "a failed printer open still ends the enumeration";
    EXPECT_EQ(Server()->Children().Item(1)->Children().Count(), 0) << "a share is no container";
}

TEST_F(NetResourceTest, NamesOfAnyLengthOverSeveralCallsAndALargerBufferArriveWholeAndInOrder) {
    net.perCall = 2;
    const std::string long300 = "\\\\" + std::string(300, 'S');
    const std::string long5000 = "\\\\" + std::string(5000, 'T');
    FakeRecord unnamed = Box(RESOURCEDISPLAYTYPE_SERVER, "");
    unnamed.nullRemote = true;
    net.containers["WG"] = {Box(2, "\\\\A"), Box(2, long300), Box(2, "\\\\B"), Box(2, long5000),
                            unnamed};
    EXPECT_EQ(Names(Wg()->Children()),
              (std::vector<std::string>{"\\\\A", long300, "\\\\B", long5000, ""}));
    EXPECT_EQ(Wg()->Children().Item(4)->ShortName().size(), 5000);
}

TEST_F(NetResourceTest, PlatformThatNeverEndsTheListIsNotWaitedOnForever) {
    net.errorKeepsCount = true;
    EXPECT_EQ(root.Children().Count(), 0);
    net.errorKeepsCount = false;
    net.moreDataNeverGrows = true;
    NETRESOURCE again(net);
    EXPECT_EQ(again.Children().Count(), 0);
    EXPECT_LE(net.enums, 4);
}

}  // namespace
