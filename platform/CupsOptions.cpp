#include "platform/CupsOptions.h"

#include <cups/cups.h>

namespace quernel {

TOptionList ParseCupsOptions(const std::string& text) {
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(text.c_str(), 0, &options);
    TOptionList list;
    for (int i = 0; i < count; ++i) {
        list.emplace_back(options[i].name, options[i].value ? options[i].value : "");
    }
    cupsFreeOptions(count, options);
    return list;
}

}  // namespace quernel
