#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/QueueSettings.h"

namespace quernel {

// A paper size of a queue, in millimetres, with its unprintable margins.
struct TQueuePaperSize {
    double width = 0, length = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
};

// What libcups says of a queue's print settings, from its PPD or its IPP attributes: the
// paper sizes, trays, two-sided printing and quality it offers, with its defaults. Settings the
// queue does not offer (fewer than two choices) are left out; nothing about printing to a file.
std::vector<TQueueSetting> ReadQueueSettings(const std::string& queue);

// The size of one of the queue's papers (a "media" keyword); nothing when it is not known.
std::optional<TQueuePaperSize> ReadQueuePaperSize(const std::string& queue,
                                                  const std::string& media);

}  // namespace quernel
