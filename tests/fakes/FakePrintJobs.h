#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/PrintJobs.h"

namespace quernel::test {

// A print system's jobs, as a test sets them up: RecordingPrinter creates one per document it
// sends to a queue; tests change their states, lose them or make the print system unreachable.
class FakePrintJobs final : public IPrintJobs {
  public:
    struct Job {
        std::string queue;
        std::string title;
        TJobState state = TJobState::kPending;
        int documents = 0;
        std::string reason;
        std::string content;  // what its document holds
    };

    // A new job without a document; answers its number.
    int Create(const std::string& queue, const std::string& title) {
        jobs[next] = {queue, title, TJobState::kPending, 0, "", ""};
        return next++;
    }
    // What the jobs that got their document hold, unless cancelled or aborted: what prints.
    std::vector<std::string> Delivered() const {
        std::vector<std::string> out;
        for (const auto& [id, job] : jobs) {
            if (job.documents > 0 && job.state != TJobState::kCanceled &&
                job.state != TJobState::kAborted) {
                out.push_back(job.content);
            }
        }
        return out;
    }

    TJobStatus Status(int job) override {
        ++asked;
        TJobStatus status;
        if (!reachable) return status;
        const auto it = jobs.find(job);
        if (it == jobs.end()) {
            status.answer = TJobStatus::Answer::kNotFound;
            return status;
        }
        status.answer = TJobStatus::Answer::kFound;
        status.state = it->second.state;
        status.documents = it->second.documents;
        status.reason = it->second.reason;
        return status;
    }
    bool Cancel(int job) override {
        const auto it = jobs.find(job);
        if (!reachable || it == jobs.end()) return false;
        it->second.state = TJobState::kCanceled;
        cancelled.push_back(job);
        return true;
    }
    std::vector<int> EmptyJobs(const std::string& queue, const std::string& title) override {
        std::vector<int> out;
        if (!reachable) return out;
        for (const auto& [id, job] : jobs) {
            if (job.queue == queue && job.title == title && job.documents == 0 &&
                job.state != TJobState::kCanceled && job.state != TJobState::kAborted &&
                job.state != TJobState::kCompleted) {
                out.push_back(id);
            }
        }
        return out;
    }

    std::map<int, Job> jobs;
    int next = 1;
    bool reachable = true;
    std::vector<int> cancelled;
    int asked = 0;
};

}  // namespace quernel::test
