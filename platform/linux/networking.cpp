#include "platform/networking.h"
#include "platform/linux/netbackends.h"
#include "platform/linux/netpath.h"

namespace platform {
namespace {

class LinuxNetConnections final : public NetConnections {
public:
    DWORD WNetAddConnection2A(const NETRESOURCEA* res, LPCSTR, LPCSTR, DWORD) override {
        if (!res || !res->lpLocalName || !res->lpRemoteName)
            return ERROR_INVALID_PARAMETER;
        const auto unc = netpath::ParseUnc(res->lpRemoteName);
        if (res->dwType == RESOURCETYPE_DISK) {
            const auto drive = netpath::DriveName(res->lpLocalName);
            if (!drive)
                return ERROR_BAD_DEVICE;
            if (!unc)
                return ERROR_BAD_NET_NAME;
            return netbackends::ConnectDrive(*drive, *unc);
        }
        if (res->dwType == RESOURCETYPE_PRINT) {
            const auto queue = netpath::PortQueueName(res->lpLocalName);
            if (!queue)
                return ERROR_BAD_DEVICE;
            if (!unc || !unc->folder.empty())
                return ERROR_BAD_NET_NAME;
            return netbackends::ConnectPort(*queue, *unc);
        }
        return ERROR_BAD_DEVICE;
    }

    DWORD WNetCancelConnection2A(LPCSTR name, DWORD, BOOL force) override {
        if (!name || !*name)
            return ERROR_NOT_CONNECTED;
        if (const auto drive = netpath::DriveName(name))
            return netbackends::CancelDrive(*drive, force != 0);
        if (const auto queue = netpath::PortQueueName(name))
            return netbackends::CancelPort(*queue);
        return ERROR_BAD_DEVICE;
    }
};

}  // namespace

NetConnections& SystemNetConnections() {
    static LinuxNetConnections net;
    return net;
}

}  // namespace platform
