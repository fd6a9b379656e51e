// Times the first expansion of the provider level on a network whose servers only announce
// themselves (run by bench/browser/discovery.sh in its client namespace): SMB1 browsing,
// WS-Discovery and DNS-SD together, as the window waits for them; then each source's round
// alone. Prints figures; asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "browser/netresource.h"
#include "platform/linux/discovery_dnssd.h"
#include "platform/linux/discovery_wsd.h"
#include "platform/netenum.h"

namespace {

using namespace platform;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <typename Work>
double Ms(Work&& work) {
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void Report(const char* what, const std::vector<double>& times) {
    std::printf("%-58s first %8.2f ms   median %8.2f ms   max %8.2f ms (n=%zu)\n", what,
                times.front(), Median(times), *std::max_element(times.begin(), times.end()),
                times.size());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::vector<double> times;
    QStringList seen;
    for (int i = 0; i < reps; ++i) {
        browser::NETRESOURCE root(SystemNetEnumeration());
        browser::NETRESOURCE* provider = root.Children().Item(1);
        if (!provider) {
            std::fprintf(stderr, "no provider\n");
            return 1;
        }
        times.push_back(Ms([&] { provider->Children(); }));
        if (i == 0)
            for (browser::NETRESOURCE& group : provider->Children())
                for (browser::NETRESOURCE& server : group.Children())
                    seen << group.ShortName() + u'/' + server.ShortName();
    }
    Report("provider level, first expansion (SMB1 + WSD + DNS-SD)", times);
    std::printf("    workgroup/server found: %s\n", qPrintable(seen.join(u' ')));

    const auto wait = discovery::AnswerWait;
    std::vector<double> wsdTimes, dnssdTimes;
    std::size_t wsdFound = 0, dnssdFound = 0;
    for (int i = 0; i < reps; ++i) {
        wsdTimes.push_back(Ms(
            [&] { wsdFound = discovery::wsd::Discover(discovery::Clock::now() + wait).size(); }));
        dnssdTimes.push_back(Ms(
            [&] { dnssdFound = discovery::dnssd::Browse(discovery::Clock::now() + wait).size(); }));
    }
    Report("WS-Discovery round alone (probe window, resolve, get)", wsdTimes);
    std::printf("    computers found: %zu\n", wsdFound);
    Report("DNS-SD round alone (Avahi browse and resolve)", dnssdTimes);
    std::printf("    services found: %zu\n", dnssdFound);
    std::printf("RESULT provider_median_ms=%.2f provider_max_ms=%.2f\n", Median(times),
                *std::max_element(times.begin(), times.end()));
    return 0;
}
