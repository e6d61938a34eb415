#pragma once

#include <string>
#include <vector>

namespace quernel {

// A print-system job's state, as the print system reports it.
enum class TJobState { kPending, kHeld, kProcessing, kStopped, kCanceled, kAborted, kCompleted };

// What the print system answers about one job.
struct TJobStatus {
    enum class Answer {
        kUnreachable,  // the print system cannot be asked now
        kNotFound,     // it does not know the job (any more)
        kFound,
    };
    Answer answer = Answer::kUnreachable;
    TJobState state = TJobState::kPending;
    int documents = 0;   // the documents the job got (complete ones only)
    std::string reason;  // the print system's words about the state, when it has some

    bool Finished() const {
        return state == TJobState::kCanceled || state == TJobState::kAborted ||
               state == TJobState::kCompleted;
    }
};

// What the program asks of the print system about the jobs it submitted: whether a job got its
// document, how it ended, and cancelling one that did not get it.
class IPrintJobs {
  public:
    virtual ~IPrintJobs() = default;
    virtual TJobStatus Status(int job) = 0;
    // False when the print system refused or could not be asked.
    virtual bool Cancel(int job) = 0;
    // This user's jobs on the queue that are not finished, named `title`, without a document:
    // left by a program stopped between creating a job and sending its document.
    virtual std::vector<int> EmptyJobs(const std::string& queue, const std::string& title) = 0;
};

}  // namespace quernel
