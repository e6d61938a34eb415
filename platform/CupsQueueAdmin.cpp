#include "platform/CupsQueueAdmin.h"

#include <cups/adminutil.h>
#include <cups/cups.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "host/ProgramDir.h"

namespace quernel {

namespace {

using TKind = QueueAdminError::TKind;

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

// The last IPP failure as the error the user can act on.
[[noreturn]] void ThrowLast(const std::string& what) {
    const ipp_status_t status = cupsLastError();
    const std::string why = cupsLastErrorString() ? cupsLastErrorString() : "";
    if (status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
        throw QueueAdminError(TKind::kNoScheduler, "serwer CUPS nie odpowiada (" +
                                                       std::string(cupsServer()) + "): " + why);
    }
    if (status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
        status == IPP_STATUS_ERROR_NOT_AUTHENTICATED) {
        throw QueueAdminError(TKind::kNotAllowed,
                              "brak uprawnień do zarządzania drukarkami (" + why +
                                  "): uruchom jako root (sudo) albo jako członek grupy lpadmin");
    }
    throw QueueAdminError(TKind::kFailed, what + ": " + why);
}

std::string PrinterUri(const std::string& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.c_str());
    return uri;
}

// Sends the request (with a file, when one is given) and raises its failure.
void Send(ipp_t* request, const char* file, const std::string& what) {
    ipp_t* response = cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, "/admin/", file);
    ippDelete(response);
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) ThrowLast(what);
}

}  // namespace

CupsQueueAdmin::CupsQueueAdmin() {
    cupsSetPasswordCB2(NoPassword, nullptr);
}

std::vector<TQueueInfo> CupsQueueAdmin::Queues() {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kWanted[] = {"printer-name", "printer-make-and-model", "device-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  kWanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING &&
        cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
        ippDelete(response);
        ThrowLast("nie można odczytać listy drukarek");
    }
    std::vector<TQueueInfo> queues;
    TQueueInfo current;
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char* name = ippGetName(a);
        if (!name) {
            if (!current.name.empty()) queues.push_back(current);
            current = {};
            continue;
        }
        const char* value = ippGetString(a, 0, nullptr);
        if (!value) continue;
        if (std::strcmp(name, "printer-name") == 0) current.name = value;
        if (std::strcmp(name, "printer-make-and-model") == 0) current.makeAndModel = value;
        if (std::strcmp(name, "device-uri") == 0) current.deviceUri = value;
    }
    if (!current.name.empty()) queues.push_back(current);
    ippDelete(response);
    return queues;
}

void CupsQueueAdmin::AddQueue(const TNewQueue& queue) {
    char ppd[] = "/tmp/quernel-queue-XXXXXX";
    const int fd = ::mkstemp(ppd);
    if (fd < 0) throw QueueAdminError(TKind::kFailed, "nie można zapisać pliku PPD w /tmp");
    const bool written =
        ::write(fd, queue.ppd.data(), queue.ppd.size()) == static_cast<ssize_t>(queue.ppd.size());
    ::close(fd);
    struct TRemove {
        const char* path;
        ~TRemove() { ::unlink(path); }
    } remove{ppd};
    if (!written) throw QueueAdminError(TKind::kFailed, "nie można zapisać pliku PPD w /tmp");

    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(queue.name).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
                 queue.deviceUri.c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                 queue.info.c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-shared", queue.shared ? 1 : 0);
    // A job the device does not take waits and is tried again instead of stopping the queue.
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-error-policy", nullptr,
                 "retry-job");
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "copies-default", queue.copies);
    Send(request, ppd, "serwer CUPS nie utworzył kolejki \"" + queue.name + "\"");
}

void CupsQueueAdmin::RemoveQueue(const std::string& name) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_DELETE_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(name).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    Send(request, nullptr, "serwer CUPS nie usunął kolejki \"" + name + "\"");
}

bool CupsQueueAdmin::SharesQueues() {
    int count = 0;
    cups_option_t* settings = nullptr;
    if (!cupsAdminGetServerSettings(CUPS_HTTP_DEFAULT, &count, &settings)) return false;
    const char* share = cupsGetOption(CUPS_SERVER_SHARE_PRINTERS, count, settings);
    const bool shares = share && std::strcmp(share, "1") == 0;
    cupsFreeOptions(count, settings);
    return shares;
}

std::string CupsQueueAdmin::Server() {
    return cupsServer();
}

int CupsQueueAdmin::Port() {
    return ippPort();
}

int RunQueueCommandLine(const std::vector<std::string>& args) {
    const auto executableDir = ExecutablePath().parent_path();
    const auto filter = QueueFilterProgram(executableDir);
    if (!filter) {
        std::cerr << "quernel: nie znaleziono filtra CUPS quernel-filter (ani obok programu, ani w "
                  << (executableDir / ".." / "lib" / "cups" / "filter").string() << ")\n";
        return 1;
    }
    CupsQueueAdmin admin;
    return RunQueueCommand(args, admin, {ShippedDataDir(executableDir), *filter}, std::cout,
                           std::cerr);
}

}  // namespace quernel
