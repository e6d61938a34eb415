#include "platform/CupsJobs.h"

#include <cups/cups.h>

#include <string>

namespace quernel {

namespace {

std::string JobUri(int job) {
    return "ipp://localhost/jobs/" + std::to_string(job);
}

TJobState StateOf(int state) {
    switch (state) {
        case IPP_JSTATE_HELD:
            return TJobState::kHeld;
        case IPP_JSTATE_PROCESSING:
            return TJobState::kProcessing;
        case IPP_JSTATE_STOPPED:
            return TJobState::kStopped;
        case IPP_JSTATE_CANCELED:
            return TJobState::kCanceled;
        case IPP_JSTATE_ABORTED:
            return TJobState::kAborted;
        case IPP_JSTATE_COMPLETED:
            return TJobState::kCompleted;
        default:
            return TJobState::kPending;
    }
}

}  // namespace

TJobStatus TCupsJobs::Status(int job) {
    TJobStatus status;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, JobUri(job).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const kWanted[] = {"job-state", "number-of-documents",
                                          "document-format-supplied", "job-printer-state-message",
                                          "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  sizeof kWanted / sizeof kWanted[0], nullptr, kWanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    const ipp_status_t error = cupsLastError();
    if (response == nullptr || error > IPP_STATUS_OK_EVENTS_COMPLETE) {
        ippDelete(response);
        // Anything but "not found" (no scheduler, a refusal) leaves the job's fate unknown.
        status.answer = error == IPP_STATUS_ERROR_NOT_FOUND ? TJobStatus::Answer::kNotFound
                                                            : TJobStatus::Answer::kUnreachable;
        return status;
    }
    status.answer = TJobStatus::Answer::kFound;
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
        status.state = StateOf(ippGetInteger(a, 0));
    }
    if (ipp_attribute_t* a = ippFindAttribute(response, "number-of-documents", IPP_TAG_INTEGER)) {
        status.documents = ippGetInteger(a, 0);
    }
    // A finished job has its documents removed (and counts none), but keeps the format of the
    // one it got: a job that never got one has none.
    if (status.documents == 0 &&
        ippFindAttribute(response, "document-format-supplied", IPP_TAG_MIMETYPE) != nullptr) {
        status.documents = 1;
    }
    if (ipp_attribute_t* a =
            ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT)) {
        if (const char* text = ippGetString(a, 0, nullptr)) status.reason = text;
    }
    if (status.reason.empty()) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
            if (const char* text = ippGetString(a, 0, nullptr);
                text && std::string(text) != "none") {
                status.reason = text;
            }
        }
    }
    ippDelete(response);
    return status;
}

bool TCupsJobs::Cancel(int job) {
    return cupsCancelJob2(CUPS_HTTP_DEFAULT, nullptr, job, 0) == IPP_STATUS_OK;
}

std::vector<int> TCupsJobs::EmptyJobs(const std::string& queue, const std::string& title) {
    std::vector<int> empty;
    cups_job_t* jobs = nullptr;
    const int count =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 1, CUPS_WHICHJOBS_ACTIVE);
    for (int i = 0; i < count; ++i) {
        if (jobs[i].title == nullptr || title != jobs[i].title) continue;
        const TJobStatus status = Status(jobs[i].id);
        if (status.answer == TJobStatus::Answer::kFound && status.documents == 0 &&
            !status.Finished()) {
            empty.push_back(jobs[i].id);
        }
    }
    cupsFreeJobs(count, jobs);
    return empty;
}

}  // namespace quernel
