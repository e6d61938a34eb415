#include "monitor/JobFollower.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "host/BW_log.h"
#include "host/FileUtil.h"
#include "monitor/FailedPrintouts.h"
#include "monitor/Md5.h"

namespace quernel {

namespace fs = std::filesystem;

std::string LostJobReason(int job, const TJobStatus& status) {
    const std::string name = "zadanie " + std::to_string(job);
    if (status.answer == TJobStatus::Answer::kNotFound) return name + " zniknęło z kolejki";
    if (status.answer != TJobStatus::Answer::kFound) return {};
    if (status.state != TJobState::kCanceled && status.state != TJobState::kAborted) return {};
    std::string why =
        name + (status.state == TJobState::kCanceled ? " zostało anulowane" : " zostało przerwane");
    if (!status.reason.empty()) why += " (" + status.reason + ")";
    return why;
}

TJobFollower::TJobFollower(TMonitorServices& services, fs::path copies)
    : services_(services), copies_(std::move(copies)) {}

fs::path TJobFollower::CopyOf(const TFollowedJob& job) const {
    return copies_.empty() ? fs::path() : copies_ / (std::to_string(job.job) + ".prn");
}

void TJobFollower::Restore(std::vector<TFollowedJob> jobs) {
    jobs_ = std::move(jobs);
    if (copies_.empty()) return;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(copies_, ec)) {
        const bool followed = std::any_of(jobs_.begin(), jobs_.end(), [&](const auto& job) {
            return CopyOf(job) == entry.path();
        });
        if (!followed) fs::remove(entry.path(), ec);
    }
}

void TJobFollower::Follow(TFollowedJob job, ByteView bytes) {
    if (job.job == 0) return;
    for (const TFollowedJob& known : jobs_) {
        if (known.job == job.job && known.printer == job.printer) return;
    }
    job.digest = Md5Digest(bytes);
    if (!copies_.empty()) {
        try {
            std::error_code ec;
            fs::create_directories(copies_, ec);
            WriteFileAtomic(CopyOf(job), bytes);
            copyFailureSaid_ = false;
        } catch (const std::exception& e) {
            // Followed all the same: the monitored file may still hold the bytes.
            if (!std::exchange(copyFailureSaid_, true)) {
                services_.history.Add(std::string("Nie udało się zachować kopii wydruku do "
                                                  "czasu jego wydrukowania: ") +
                                      e.what());
            }
        }
    }
    jobs_.push_back(std::move(job));
    if (onChanged) onChanged();
}

bool TJobFollower::Poll() {
    IPrintJobs* printJobs = services_.jobs;
    if (jobs_.empty() || printJobs == nullptr) return false;
    const TimePoint now = services_.clock.Now();
    if (lastPoll_ && now - *lastPoll_ < kPollInterval) return false;
    lastPoll_ = now;
    // Many jobs waiting in a stopped queue are asked about a few at a time, in turn, so that
    // one poll never holds the program up for long.
    const std::size_t asked = std::min(jobs_.size(), kJobsPerPoll);
    std::vector<TFollowedJob> ended;
    std::vector<std::string> reasons;
    for (std::size_t n = 0; n < asked; ++n) {
        next_ %= jobs_.size();
        const TFollowedJob& job = jobs_[next_];
        const TJobStatus status = printJobs->Status(job.job);
        // Without an answer nothing is known of any job: asked again at the next poll.
        if (status.answer == TJobStatus::Answer::kUnreachable) break;
        std::string why = LostJobReason(job.job, status);
        if (why.empty() && !status.Finished()) {
            ++next_;
            continue;
        }
        ended.push_back(job);
        reasons.push_back(std::move(why));
        jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(next_));
        if (jobs_.empty()) break;
    }
    for (std::size_t i = 0; i < ended.size(); ++i) {
        const TFollowedJob& job = ended[i];
        if (!reasons[i].empty()) {
            KeepLostPrintout(services_, {job.path, job.title, job.printer, std::nullopt},
                             reasons[i], BytesOf(job), job.kept);
        }
        if (!copies_.empty()) finished_.push_back(CopyOf(job));
    }
    return !ended.empty();
}

void TJobFollower::Saved() {
    std::error_code ec;
    for (const fs::path& copy : finished_) {
        const bool followed = std::any_of(jobs_.begin(), jobs_.end(),
                                          [&](const auto& job) { return CopyOf(job) == copy; });
        if (!followed) fs::remove(copy, ec);
    }
    finished_.clear();
}

Bytes TJobFollower::BytesOf(const TFollowedJob& job) {
    try {
        if (!copies_.empty()) {
            Bytes bytes = ReadWholeFile(CopyOf(job));
            if (Md5Digest(bytes) == job.digest) return bytes;
        }
    } catch (const std::exception&) {
        // No copy: perhaps the monitored file still holds the part.
    }
    Bytes bytes = ReadFilePart(services_.files, job.path, job.start, job.end);
    if (!bytes.empty() && Md5Digest(bytes) == job.digest) return bytes;
    return {};
}

}  // namespace quernel
