#pragma once

#include <string>

namespace quernel {

// IPP status codes (RFC 8011) of the failures the print system reports most; CUPS's
// ipp_status_t has the same values.
namespace ipp {
inline constexpr int kForbidden = 0x0401;
inline constexpr int kNotAuthenticated = 0x0402;
inline constexpr int kNotAuthorized = 0x0403;
inline constexpr int kNotFound = 0x0406;
inline constexpr int kInternalError = 0x0500;
inline constexpr int kServiceUnavailable = 0x0502;
inline constexpr int kNotAcceptingJobs = 0x0506;
inline constexpr int kBusy = 0x0507;
}  // namespace ipp

// A job that the print system refused or lost, said for the user: the printer's name, the
// cause in Polish for the usual ones (no such printer, a queue that accepts no jobs, the print
// system not running), and what the print system said itself with its code. `status` is the
// IPP status code of the failure, `said` the print system's own text for it (may be empty). A
// status that is no error, or an internal error without a text, means that the connection
// broke before an answer came (the scheduler ended).
std::string PrintSystemErrorText(const std::string& printer, int status, const std::string& said);

}  // namespace quernel
