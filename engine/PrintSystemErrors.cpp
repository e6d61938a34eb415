#include "engine/PrintSystemErrors.h"

#include <cstdio>

namespace quernel {

namespace {

constexpr int kFirstError = 0x0400;

std::string Cause(const std::string& printer, int status, bool broken) {
    const std::string named = "\"" + printer + "\"";
    if (broken) {
        return "Połączenie z systemem druku CUPS zostało przerwane (czy działa?): wydruk na "
               "drukarkę " +
               named + " nie został przyjęty";
    }
    switch (status) {
        case ipp::kNotFound:
            return "Drukarki " + named + " nie ma w systemie druku CUPS";
        case ipp::kNotAcceptingJobs:
            return "Drukarka " + named + " nie przyjmuje wydruków (jej kolejka odrzuca zadania)";
        case ipp::kServiceUnavailable:
            return "System druku CUPS nie działa: wydruku na drukarkę " + named +
                   " nie można wysłać";
        case ipp::kForbidden:
        case ipp::kNotAuthenticated:
        case ipp::kNotAuthorized:
            return "Brak uprawnień do drukowania na drukarce " + named;
        case ipp::kBusy:
            return "System druku CUPS jest zajęty: drukarka " + named + " nie przyjęła wydruku";
        default:
            return "Drukarka " + named + " nie przyjęła wydruku";
    }
}

}  // namespace

std::string PrintSystemErrorText(const std::string& printer, int status, const std::string& said) {
    const bool broken = status < kFirstError || (status == ipp::kInternalError && said.empty());
    std::string text = Cause(printer, status, broken);
    if (broken) return text + ".";
    char code[16];
    std::snprintf(code, sizeof code, "CUPS 0x%04X", static_cast<unsigned>(status));
    text += " (";
    text += code;
    if (!said.empty()) text += ": " + said;
    return text + ").";
}

}  // namespace quernel
