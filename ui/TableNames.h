#pragma once

#include <string>

namespace quernel {

class TQuernelCore;

// A name typed into a table or map name box becomes the active name. It is looked up only when
// it can be a file name, so that typing never reports an error for a half-typed name; saving
// under an impossible name does.
void ChangeCharMapName(TQuernelCore& core, const std::string& name);
void ChangeSequencesName(TQuernelCore& core, const std::string& name);

}  // namespace quernel
