#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/PrintJobs.h"
#include "host/Bytes.h"
#include "host/Clock.h"
#include "monitor/MonitorServices.h"
#include "monitor/PrintedState.h"

namespace quernel {

// Why a job in this state took its printout with it ("zadanie 7 zostało anulowane", ...);
// empty while it may still print, or once it printed.
std::string LostJobReason(int job, const TJobStatus& status);

// The print-system jobs that took printouts, followed until the print system reports them
// completed. A job that ends cancelled or aborted, or that the print system no longer knows
// (its queue was deleted, the scheduler lost it), took its printout with it: the printout is
// kept as a failed one, reported with its printer, and offered for printing again.
//
// Each job's bytes are copied into a folder of their own ("<job>.prn") when it is followed, so
// the printout outlives its monitored file (deleted after printing, rewritten by the DOS
// program); the list lives in the printed state, so the following goes on after a restart. A
// finished job's copy is removed once the state without it is written.
class TJobFollower {
  public:
    // How often the print system is asked about the jobs.
    static constexpr std::chrono::seconds kPollInterval{5};
    // How many jobs one poll asks about at most.
    static constexpr std::size_t kJobsPerPoll = 20;

    // Without a folder no copies are kept: a lost job's bytes then come from its monitored
    // file, while that still holds them.
    TJobFollower(TMonitorServices& services, std::filesystem::path copies);

    // The jobs the last run followed; copies of no followed job (left by a stop) go.
    void Restore(std::vector<TFollowedJob> jobs);
    // Follows a job that took `bytes`; a job followed already stays as it is.
    void Follow(TFollowedJob job, ByteView bytes);
    // Asks the print system about every job, at most once per interval; true when a job
    // finished (the state is to be written).
    bool Poll();
    // The state without the finished jobs is written: their copies go.
    void Saved();

    const std::vector<TFollowedJob>& Jobs() const { return jobs_; }
    // The list changed (a job was added); the state is to be written.
    std::function<void()> onChanged;

  private:
    std::filesystem::path CopyOf(const TFollowedJob& job) const;
    // The job's bytes: its copy, or its monitored file's part; empty when neither holds them.
    Bytes BytesOf(const TFollowedJob& job);

    TMonitorServices& services_;
    std::filesystem::path copies_;
    std::vector<TFollowedJob> jobs_;
    std::vector<std::filesystem::path> finished_;
    std::optional<TimePoint> lastPoll_;
    std::size_t next_ = 0;  // the job the next poll asks about first
    bool copyFailureSaid_ = false;
};

}  // namespace quernel
