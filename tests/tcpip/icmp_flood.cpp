// Floods an address with ICMP echo replies that answer no probe of anyone's: the stream of
// other hosts' traffic that every raw ICMP socket on the way has to read past. Runs until it
// is killed. Usage: icmp_flood ADDRESS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/linux/icmp_packets.h"

namespace {

constexpr int Batch = 64;

void Flood(in_addr to, unsigned seed) {
    const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("icmp_flood: socket");
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = to;
    std::uint8_t packets[Batch][8 + 15];
    iovec iov[Batch];
    mmsghdr messages[Batch] = {};
    for (int i = 0; i < Batch; ++i) {
        std::uint8_t* p = packets[i];
        const platform::icmp::Probe other{to.s_addr, std::uint16_t(seed), std::uint16_t(i << 8),
                                          true};
        platform::icmp::BuildEchoRequest(other, "Enviando sondeo", 15, p, sizeof packets[i]);
        p[0] = p[2] = p[3] = 0;  // a reply, its checksum made again
        const std::uint16_t sum = platform::icmp::InternetChecksum(p, sizeof packets[i]);
        p[2] = std::uint8_t(sum >> 8);
        p[3] = std::uint8_t(sum);
        iov[i] = {p, sizeof packets[i]};
        messages[i].msg_hdr.msg_name = &address;
        messages[i].msg_hdr.msg_namelen = sizeof address;
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    for (;;)
        ::sendmmsg(fd, messages, Batch, 0);
}

}  // namespace

int main(int argc, char** argv) {
    in_addr to{};
    if (argc != 2 || ::inet_pton(AF_INET, argv[1], &to) != 1) {
        std::fprintf(stderr, "usage: icmp_flood ADDRESS\n");
        return 2;
    }
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < 2; ++i)
        threads.emplace_back(Flood, to, 0xF100 + i);
    for (std::thread& t : threads)
        t.join();
    return 1;
}
