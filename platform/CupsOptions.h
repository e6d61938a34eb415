#pragma once

#include <string>

#include "engine/QueueOptions.h"

namespace quernel {

// A CUPS option string ("copies=2 landscape QuernelFont='Liberation Mono'") as name and value
// pairs, read by libcups; an option without a value gets an empty one.
TOptionList ParseCupsOptions(const std::string& text);

}  // namespace quernel
