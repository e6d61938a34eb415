#include "host/BW_RunParams.h"

#include "host/Text.h"

namespace quernel {

TRunParams::TRunParams(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) args_.emplace_back(argv[i]);
}

bool TRunParams::ParamSwitch(std::string_view name) const {
    for (const auto& arg : args_) {
        if (ToLowerAscii(arg) == name) return true;
    }
    return false;
}

}  // namespace quernel
