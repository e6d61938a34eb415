#include "platform/SingleInstance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

#include "host/Environment.h"

namespace quernel {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr std::size_t kMaxRequestBytes = 16;
constexpr std::size_t kMaxOpenRequests = 16;
// The running copy may still be starting (bound, not yet listening), or ending: 3 seconds.
constexpr int kConnectTries = 30;
constexpr auto kConnectPause = std::chrono::milliseconds(100);
// The bytes of a socket name after the leading NUL of the abstract namespace.
constexpr std::size_t kMaxNameBytes = sizeof(sockaddr_un::sun_path) - 1;

struct TAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

TAddress AbstractAddress(const std::string& name) {
    TAddress a;
    a.address.sun_family = AF_UNIX;
    std::memcpy(a.address.sun_path + 1, name.data(), name.size());
    a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return a;
}

const sockaddr* Raw(const TAddress& a) {
    return reinterpret_cast<const sockaddr*>(&a.address);
}

std::optional<ucred> PeerCredentials(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return {};
    return credentials;
}

UniqueFd NewSocket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

enum class TReach { kConnected, kNobody, kBusy };

// A non-blocking connect on a local socket finishes at once, or says why it could not.
TReach Connect(int fd, const TAddress& address) {
    if (::connect(fd, Raw(address), address.length) == 0) return TReach::kConnected;
    return errno == EAGAIN ? TReach::kBusy : TReach::kNobody;
}

std::string Shown(const std::string& name) {
    return "\"@" + name + "\"";
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::string OneCopySocketName(const std::string& title, uid_t user, const std::string& runtime) {
    const std::string head = title + " " + std::to_string(user) + " ";
    if (head.size() + runtime.size() <= kMaxNameBytes) return head + runtime;
    char digest[20];
    std::snprintf(digest, sizeof digest, "#%016llx",
                  static_cast<unsigned long long>(Fnv1a(runtime)));
    return (head + digest).substr(0, kMaxNameBytes);
}

std::string OneCopySocketName(const std::string& title) {
    const uid_t user = ::getuid();
    return OneCopySocketName(
        title, user, GetEnv("XDG_RUNTIME_DIR").value_or("/run/user/" + std::to_string(user)));
}

// One connection of another copy: its request is read as it arrives, without waiting.
class TSingleInstance::TRequest {
  public:
    TRequest(UniqueFd fd, TSingleInstance& owner)
        : fd_(std::move(fd)),
          owner_(owner),
          notifier_(std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read)) {
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Read(); });
    }
    ~TRequest() {
        // Deleted later: the notifier may be the one whose signal is running.
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
    }

  private:
    void Read() {
        char buffer[kMaxRequestBytes];
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got > 0) text_.append(buffer, static_cast<std::size_t>(got));
        const bool complete = text_.find('\n') != std::string::npos;
        if (got > 0 && !complete && text_.size() < kMaxRequestBytes) return;
        const bool show = text_ == kShowRequest;
        TSingleInstance& owner = owner_;
        owner.Finished(this);  // deletes this
        if (show && owner.onShowRequest) owner.onShowRequest();
    }

    UniqueFd fd_;
    TSingleInstance& owner_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::string text_;
};

TSingleInstance::TSingleInstance(std::string socketName) : name_(std::move(socketName)) {}

TSingleInstance::~TSingleInstance() {
    requests_.clear();
    if (acceptNotifier_) acceptNotifier_->setEnabled(false);
}

TSingleInstance::TStart TSingleInstance::BecomeRunningCopy() {
    const TAddress address = AbstractAddress(name_);
    const std::string prefix = "Nie uruchomiono programu: ";
    for (int i = 0; i < kConnectTries; ++i) {
        if (i > 0) std::this_thread::sleep_for(kConnectPause);
        UniqueFd fd = NewSocket();
        if (fd.get() >= 0 && ::bind(fd.get(), Raw(address), address.length) == 0) {
            // Bound: listen at once, so that copies started meanwhile wait only briefly.
            if (::listen(fd.get(), static_cast<int>(kMaxOpenRequests)) != 0) {
                error_ = prefix + "gniazdo " + Shown(name_) +
                         " nie przyjmuje połączeń: " + ErrnoText(errno) + ".";
                return TStart::kFailed;
            }
            listening_ = std::move(fd);
            acceptNotifier_ =
                std::make_unique<QSocketNotifier>(listening_.get(), QSocketNotifier::Read);
            QObject::connect(acceptNotifier_.get(), &QSocketNotifier::activated,
                             [this] { Accept(); });
            return TStart::kRunning;
        }
        if (fd.get() < 0 || errno != EADDRINUSE) {
            error_ = prefix + "nie można utworzyć gniazda " + Shown(name_) + ": " +
                     ErrnoText(errno) + ".";
            return TStart::kFailed;
        }
        // The name is held: by a copy of this user, or by someone else.
        UniqueFd client = NewSocket();
        if (client.get() < 0 || Connect(client.get(), address) != TReach::kConnected) continue;
        const auto peer = PeerCredentials(client.get());
        if (!peer || peer->uid != ::getuid()) {
            error_ = prefix + "gniazdo " + Shown(name_) +
                     ", przez które jego kopie się odnajdują, zajmuje proces innego "
                     "użytkownika" +
                     (peer ? " (UID " + std::to_string(peer->uid) + ", PID " +
                                 std::to_string(peer->pid) + ")"
                           : std::string()) +
                     ".";
            return TStart::kFailed;
        }
        runningCopy_ = std::move(client);
        return TStart::kOtherCopy;
    }
    error_ = prefix + "gniazdo " + Shown(name_) + " zajmuje proces, który nie odpowiada.";
    return TStart::kFailed;
}

void TSingleInstance::AskRunningCopyToShow() {
    if (runningCopy_.get() < 0) return;
    // The request stays queued for the running copy after this copy has ended.
    ::send(runningCopy_.get(), kShowRequest, sizeof kShowRequest - 1, MSG_NOSIGNAL);
    runningCopy_ = UniqueFd();
}

void TSingleInstance::Accept() {
    for (;;) {
        UniqueFd fd(::accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (fd.get() < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        // Only this user's copies are heard; others are hung up on at once.
        const auto peer = PeerCredentials(fd.get());
        if (!peer || peer->uid != ::getuid() || requests_.size() >= kMaxOpenRequests) continue;
        requests_.push_back(std::make_unique<TRequest>(std::move(fd), *this));
    }
}

void TSingleInstance::Finished(TRequest* request) {
    requests_.remove_if([request](const auto& r) { return r.get() == request; });
}

std::optional<pid_t> RunningCopyPid(const std::string& socketName) {
    const TAddress address = AbstractAddress(socketName);
    for (int i = 0; i < kConnectTries; ++i) {
        if (i > 0) std::this_thread::sleep_for(kConnectPause);
        const UniqueFd client = NewSocket();
        if (client.get() < 0) return std::nullopt;
        switch (Connect(client.get(), address)) {
            case TReach::kNobody:
                return std::nullopt;
            case TReach::kBusy:
                continue;
            case TReach::kConnected: {
                const auto peer = PeerCredentials(client.get());
                if (!peer || peer->uid != ::getuid() || peer->pid <= 0) return std::nullopt;
                return peer->pid;
            }
        }
    }
    return std::nullopt;
}

}  // namespace quernel
