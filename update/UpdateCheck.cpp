#include "update/UpdateCheck.h"

#include <charconv>
#include <cmath>

#include "host/KeyStore.h"

namespace quernel {

namespace {

constexpr double kDaysFrom1899To1970 = 25569;  // 30 December 1899 to 1 January 1970
constexpr double kRecheckAfterDays = 14;

}  // namespace

double DayNumber(TimePoint time) {
    return LocalSeconds(time) / 86400.0 + kDaysFrom1899To1970;
}

UpdateValues::UpdateValues(IKeyStore& store, std::string exe)
    : store_(store), exe_(std::move(exe)) {}

std::string UpdateValues::Read(const std::string& name) const {
    const auto key = store_.Open(KeyRoot::kLocalMachine, kUpdateKey, KeyAccess::kRead);
    if (!key) return {};
    return key->ReadString(name).value_or("");
}

void UpdateValues::Write(const std::string& name, const std::string& value) {
    const auto key = store_.Open(KeyRoot::kLocalMachine, kUpdateKey, KeyAccess::kFull);
    if (key) key->WriteString(name, value);
}

long UpdateValues::LastCheckDay() const {
    // Only plain decimal digits count; anything else (a sign, blanks, letters, too many
    // digits) reads as no check at all, so a damaged value cannot stop the checks for good.
    const std::string text = Read("Date." + exe_);
    long day = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), day);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        text[0] == '-') {
        return 0;
    }
    return day;
}

void UpdateValues::SetLastCheckDay(long day) {
    Write("Date." + exe_, std::to_string(day));
}

std::string UpdateValues::ClientId() const {
    return Read("Numer kontrolny");
}

void UpdateValues::SetClientId(const std::string& id) {
    Write("Numer kontrolny", id);
}

bool UpdateValues::NoShow() const {
    return Read("NoShow." + exe_) == "NO";
}

void UpdateValues::SetNoShow(bool noShow) {
    Write("NoShow." + exe_, noShow ? "NO" : "SHOW");
}

UpdateCheck::UpdateCheck(IKeyStore& store, const IClock& clock, UpdateIdentity identity)
    : values_(store, identity.exe), clock_(clock), identity_(std::move(identity)) {}

std::optional<UpdateRequest> UpdateCheck::Prepare() const {
    const double daysSince = DayNumber(clock_.Now()) - static_cast<double>(values_.LastCheckDay());
    if (!(daysSince > kRecheckAfterDays)) return std::nullopt;
    const std::string id = values_.ClientId();
    UpdateRequest request;
    request.cookie = "UNIQ=" + (id.empty() ? std::string("NOTSET") : id);
    request.pathAndQuery = "/checkver.php?ver=" + identity_.version + "&prog=" + identity_.exe +
                           "&reg=" + identity_.reg + "&nr=" + std::to_string(identity_.nr);
    return request;
}

std::optional<UpdateResult> UpdateCheck::Conclude(const UpdateReply& reply) {
    if (!reply.ok) return std::nullopt;
    if (reply.uniq && !reply.uniq->empty()) values_.SetClientId(*reply.uniq);
    values_.SetLastCheckDay(static_cast<long>(std::floor(DayNumber(clock_.Now()))));
    if (!reply.wersja || *reply.wersja == identity_.version) return std::nullopt;
    return UpdateResult{identity_.version, *reply.wersja, reply.body};
}

std::optional<UpdateResult> UpdateCheck::Run(IUpdateServer& server) {
    const auto request = Prepare();
    if (!request) return std::nullopt;
    return Conclude(server.Get(*request));
}

std::string DescriptionText(const std::string& body) {
    std::string text;
    text.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') continue;
        text += body[i];
    }
    return text;
}

}  // namespace quernel
