#include "platform/CupsPrinterState.h"

#include <cups/cups.h>

#include <chrono>

namespace quernel {

TCupsPrinterState::~TCupsPrinterState() {
    if (reading_.valid()) reading_.wait();
}

std::optional<TQueueState> TCupsPrinterState::Read(const std::string& printer) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", printer.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const kWanted[] = {"printer-state", "printer-state-reasons",
                                          "printer-is-accepting-jobs", "queued-job-count",
                                          "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kWanted)), nullptr, kWanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response == nullptr) return std::nullopt;
    std::optional<TQueueState> state;
    if (ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING) {
        state.emplace();
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM)) {
            state->stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
        }
        if (ipp_attribute_t* a =
                ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN)) {
            state->accepting = ippGetBoolean(a, 0) != 0;
        }
        if (ipp_attribute_t* a = ippFindAttribute(response, "queued-job-count", IPP_TAG_INTEGER)) {
            state->queuedJobs = ippGetInteger(a, 0);
        }
        if (ipp_attribute_t* a =
                ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
            if (const char* text = ippGetString(a, 0, nullptr)) state->message = text;
        }
        if (ipp_attribute_t* a =
                ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
            for (int i = 0; i < ippGetCount(a); ++i) {
                const char* reason = ippGetString(a, i, nullptr);
                if (reason != nullptr && std::string(reason) != "none") {
                    state->reasons.emplace_back(reason);
                }
            }
        }
    }
    ippDelete(response);
    return state;
}

void TCupsPrinterState::BeginReading(const std::string& printer) {
    if (reading_.valid()) return;
    // The built-in PDF printer is no queue of the scheduler.
    if (printer == "Quernel PDF") {
        std::promise<std::optional<TQueueState>> none;
        none.set_value(std::nullopt);
        reading_ = none.get_future();
        return;
    }
    reading_ = std::async(std::launch::async, [printer] { return Read(printer); });
}

std::optional<std::optional<TQueueState>> TCupsPrinterState::FinishedReading() {
    if (!reading_.valid() ||
        reading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return reading_.get();
}

}  // namespace quernel
