#include "ui/TableNames.h"

#include "engine/DataFiles.h"
#include "monitor/QuernelCore.h"

namespace quernel {

namespace {

bool UsableName(const std::string& name) {
    try {
        CheckDataName(name);
        return true;
    } catch (const InvalidNameError&) {
        return false;
    }
}

}  // namespace

void ChangeCharMapName(TQuernelCore& core, const std::string& name) {
    if (UsableName(name)) {
        core.SetCharMapName(name);
    } else {
        core.UpdateSettings([&](AppSettings& s) { s.CharMap = name; });
    }
}

void ChangeSequencesName(TQuernelCore& core, const std::string& name) {
    if (UsableName(name)) {
        core.SetSequencesName(name);
    } else {
        core.UpdateSettings([&](AppSettings& s) { s.Sequences = name; });
    }
}

}  // namespace quernel
