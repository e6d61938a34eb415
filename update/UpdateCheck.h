#pragma once

#include <optional>
#include <string>

#include "host/Clock.h"

namespace quernel {

class IKeyStore;

// Whole days and fraction since 30 December 1899, in local time: the day numbers the update
// values store.
double DayNumber(TimePoint time);

// What the program says about itself in every request.
struct UpdateIdentity {
    std::string exe;      // the executable's file name, upper-cased ("QUERNEL")
    std::string version;  // the program's version ("0.1.0.0")
    std::string reg;      // sent as "reg"
    int nr = 0;           // sent as "nr"
};

// One GET to the vendor's server.
struct UpdateRequest {
    std::string pathAndQuery;  // "/checkver.php?ver=...", the values as they are
    std::string cookie;        // the one "Cookie" header: "UNIQ=..."
};

// The server's answer. `ok` only for a reply with a success status; the cookies are those the
// reply set for the server, when it set them.
struct UpdateReply {
    bool ok = false;
    std::string body;
    std::optional<std::string> uniq;    // "UNIQ": the client identifier handed out
    std::optional<std::string> wersja;  // "WERSJA": the newest version
};

// What the dialog shows when the server names another version.
struct UpdateResult {
    std::string currentVersion;
    std::string newVersion;
    std::string description;  // the reply body
};

// The vendor's server as seen by one check: answers one request.
class IUpdateServer {
  public:
    virtual ~IUpdateServer() = default;
    // Sends the request; a transport error or an error status gives a reply that is not ok.
    virtual UpdateReply Get(const UpdateRequest& request) = 0;
};

// The values of the update key ("\Software\Brackwood\Update"), always in the machine-wide
// root whatever the settings say. A key that cannot be opened reads as empty and drops writes,
// silently.
class UpdateValues {
  public:
    UpdateValues(IKeyStore& store, std::string exe);

    // "Date." + exe: the day of the last check that got a reply; 0 when missing or not a
    // whole number.
    long LastCheckDay() const;
    void SetLastCheckDay(long day);
    // "Numer kontrolny": the client identifier the server handed out.
    std::string ClientId() const;
    void SetClientId(const std::string& id);
    // "NoShow." + exe: "NO" hides the dialog, anything else shows it.
    bool NoShow() const;
    void SetNoShow(bool noShow);

  private:
    std::string Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& value);

    IKeyStore& store_;
    std::string exe_;
};

// One new-version check: at most one request per 14 days, the identifier and date stored from
// the reply, and a result when the server names a version other than ours.
class UpdateCheck {
  public:
    UpdateCheck(IKeyStore& store, const IClock& clock, UpdateIdentity identity);

    // The request to send; nothing when the last answered check is at most 14 days old.
    std::optional<UpdateRequest> Prepare() const;
    // Stores what a successful reply hands out; answers the result to show, if any. A failed
    // reply stores nothing, so the next check asks again.
    std::optional<UpdateResult> Conclude(const UpdateReply& reply);
    // Prepare, ask the server, conclude.
    std::optional<UpdateResult> Run(IUpdateServer& server);

  private:
    mutable UpdateValues values_;
    const IClock& clock_;
    UpdateIdentity identity_;
};

// The body as the description memo shows it: every line break (LF or CR LF) one "\n".
std::string DescriptionText(const std::string& body);

}  // namespace quernel
