// Printer ports on Linux: LPT1: becomes a CUPS queue named "LPT1" that prints to the SMB
// printer through CUPS's smb back end.
#include <arpa/inet.h>
#include <cups/cups.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/netbackends.h"
#include "platform/linux/smb_uri.h"

namespace platform::netbackends {
namespace {

struct HttpClose {
    void operator()(http_t* h) const { httpClose(h); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
    void operator()(ipp_t* p) const { ippDelete(p); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

Http Connect() {
    // libcups would otherwise ask for a password on the terminal Mapeo was started from, with
    // no time-out, when the scheduler wants one (a user outside lpadmin): no answer ends the
    // request at once with "not authorized". The callback is kept per thread.
    static thread_local const bool quiet =
        (cupsSetPasswordCB2([](const char*, http_t*, const char*, const char*,
                               void*) -> const char* { return nullptr; },
                            nullptr),
         true);
    (void)quiet;
    Http http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                           ServerTimeoutMs, nullptr));
    if (http) {
        // Give up on a scheduler that stops answering instead of waiting forever.
        httpSetTimeout(
            http.get(), ServerTimeoutMs / 1000.0, [](http_t*, void*) { return 0; }, nullptr);
    }
    return http;
}

std::string QueueUri(const std::string& queue) {
    return "ipp://localhost/printers/" + queue;
}

ipp_t* NewRequest(ipp_op_t op, const std::string& queue) {
    ipp_t* req = ippNewRequest(op);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 QueueUri(queue).c_str());
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return req;
}

DWORD Code(ipp_status_t status) {
    if (status <= IPP_STATUS_OK_CONFLICTING)
        return NO_ERROR;
    switch (status) {
        case IPP_STATUS_ERROR_NOT_AUTHORIZED:
        case IPP_STATUS_ERROR_FORBIDDEN:
        case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
            return ERROR_ACCESS_DENIED;
        case IPP_STATUS_ERROR_NOT_FOUND:
            return ERROR_NOT_CONNECTED;
        default:
            return ERROR_NO_NETWORK;
    }
}

DWORD Send(http_t* http, ipp_t* request) {
    Ipp response(cupsDoRequest(http, request, "/admin/"));
    return Code(cupsLastError());
}

// Jobs print as the user who connected the port: with the ticket, or with a user name and
// password that the desktop asks for when a job is sent. A password never goes into the
// device URI, where any user of the scheduler could read it.
void AddAuthInfoRequired(ipp_t* request, identity::Source used) {
    static const char* const ticket[] = {"negotiate"};
    static const char* const password[] = {"username", "password"};
    if (used == identity::Source::Ticket)
        ippAddStrings(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "auth-info-required", 1, nullptr,
                      ticket);
    else if (used == identity::Source::Saved || used == identity::Source::Typed)
        ippAddStrings(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "auth-info-required", 2, nullptr,
                      password);
}

// The end of the mark: queues are the whole system's, and each user's Mapeo owns only its own.
std::string MarkTail() {
    return " (Mapeo, uid " + std::to_string(::getuid()) + ")";
}

// What Mapeo writes as the description of a queue it makes.
std::string Description(const std::string& queue, const netpath::UncPath& path) {
    return queue + ": \\\\" + path.server + "\\" + path.share + MarkTail();
}

// The description is Mapeo's mark on its queues. A queue is taken for this user's Mapeo's only
// when the mark is there, names this user, and names the very printer its device prints to, so
// neither an administrator's queue to an SMB printer, nor one whose device was changed by hand,
// nor another user's (whose jobs would go with it) is ever deleted. A mark without a user, as
// older versions wrote, proves no owner and is left alone too.
bool MadeByMapeo(const std::string& queue, const char* info, const char* device) {
    if (!info || !device)
        return false;
    const std::string tailText = MarkTail();
    const std::string_view text(info), tail = tailText;
    const std::string head = queue + ": ";
    if (text.size() <= head.size() + tail.size() || text.substr(0, head.size()) != head ||
        text.substr(text.size() - tail.size()) != tail)
        return false;
    const std::string unc(text.substr(head.size(), text.size() - head.size() - tail.size()));
    const auto path = netpath::ParseUnc(unc.c_str());
    if (!path || !path->folder.empty() || Description(queue, *path) != text)
        return false;
    const auto uri = smburi::ShareUri(path->server, path->share);
    if (uri && *uri == device)
        return true;
    // Made while the server was reached at the IPv4 address it announced, which a later
    // process need not know: the same share at an address literal is still this queue's.
    const std::string_view d(device), scheme = "smb://";
    if (d.substr(0, scheme.size()) != scheme)
        return false;
    const std::string host(d.substr(scheme.size(), d.find('/', scheme.size()) - scheme.size()));
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1)
        return false;
    const auto atAddress = smburi::ShareUri(host, path->share);
    return atAddress && *atAddress == device;
}

enum class Queue { Missing, Ours, Foreign, Unknown };

// `mark`, when given, receives the description of a queue of ours.
Queue FindQueue(http_t* http, const std::string& queue, std::string* mark = nullptr) {
    ipp_t* req = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    static const char* const wanted[] = {"device-uri", "printer-info"};
    ippAddStrings(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
    Ipp response(cupsDoRequest(http, req, "/"));
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_NOT_FOUND)
        return Queue::Missing;
    if (!response || status > IPP_STATUS_OK_CONFLICTING)
        return Queue::Unknown;
    ipp_attribute_t* uri = ippFindAttribute(response.get(), "device-uri", IPP_TAG_URI);
    ipp_attribute_t* info = ippFindAttribute(response.get(), "printer-info", IPP_TAG_TEXT);
    const char* text = info ? ippGetString(info, 0, nullptr) : nullptr;
    if (!MadeByMapeo(queue, text, uri ? ippGetString(uri, 0, nullptr) : nullptr))
        return Queue::Foreign;
    if (mark)
        *mark = text;
    return Queue::Ours;
}

// Whether the queue holds a job not yet printed (held, waiting for a password, printing):
// deleting the queue would lose it. 2401 when there is one.
DWORD CheckNoUnfinishedJobs(http_t* http, const std::string& queue) {
    ipp_t* req = NewRequest(IPP_OP_GET_JOBS, queue);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
    ippAddInteger(req, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "limit", 1);
    ippAddString(req, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-id");
    Ipp response(cupsDoRequest(http, req, "/"));
    if (const DWORD r = Code(cupsLastError()); r != NO_ERROR || !response)
        return r != NO_ERROR ? r : ERROR_NO_NETWORK;
    return ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER) ? ERROR_OPEN_FILES
                                                                       : NO_ERROR;
}

}  // namespace

DWORD ConnectPort(const std::string& queue, const netpath::UncPath& path) {
    const auto device = smburi::ShareUri(path.server, path.share);
    if (!device)
        return ERROR_BAD_NET_NAME;
    Http http = Connect();
    if (!http)
        return ERROR_NO_NETWORK;
    std::string mark;
    switch (FindQueue(http.get(), queue, &mark)) {
        case Queue::Missing:
            break;
        case Queue::Unknown:
            return Code(cupsLastError());
        case Queue::Ours:
            // At start-up a port whose cancel was refused for unfinished jobs is connected
            // again to the same printer: that is no failure.
            return mark == Description(queue, path) ? NO_ERROR : ERROR_ALREADY_ASSIGNED;
        default:
            return ERROR_ALREADY_ASSIGNED;
    }
    identity::Source used = identity::Source::None;
    if (const DWORD r = CheckPrinterShare(path, &used); r != NO_ERROR)
        return r;

    ipp_t* add = NewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
    ippAddString(add, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device->c_str());
    ippAddString(add, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                 Description(queue, path).c_str());
    ippAddBoolean(add, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(add, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    AddAuthInfoRequired(add, used);
    if (const DWORD r = Send(http.get(), add); r != NO_ERROR)
        return r;
    Send(http.get(), NewRequest(IPP_OP_CUPS_ACCEPT_JOBS, queue));
    Send(http.get(), NewRequest(IPP_OP_RESUME_PRINTER, queue));
    return NO_ERROR;
}

DWORD CancelPort(const std::string& queue) {
    Http http = Connect();
    if (!http)
        return ERROR_NO_NETWORK;
    switch (FindQueue(http.get(), queue)) {
        case Queue::Ours:
            if (const DWORD r = CheckNoUnfinishedJobs(http.get(), queue); r != NO_ERROR)
                return r;
            return Send(http.get(), NewRequest(IPP_OP_CUPS_DELETE_PRINTER, queue));
        case Queue::Unknown:
            return Code(cupsLastError());
        default:
            return ERROR_NOT_CONNECTED;
    }
}

}  // namespace platform::netbackends
