#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quernel {

// A text field of a line-based state file: "\", tab, CR and LF escaped, so that fields and
// lines stay apart. Unescaping answers nothing for an escape it does not know.
std::string EscapeField(std::string_view text);
std::optional<std::string> UnescapeField(std::string_view text);

}  // namespace quernel
