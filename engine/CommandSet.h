#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "host/Bytes.h"

namespace quernel {

// Which printer language reads what the control-code table does not know: nothing (the table
// alone), Epson ESC/P (9-pin, 24-pin, ESC/P 2), HP PCL 5, or one of the two chosen for each
// printout. The values are those of the CommandSet setting.
enum class TCommandSet : int { kTable = 0, kEscP = 1, kPcl = 2, kAuto = 3 };

// The choices as the window offers them ("Zestaw komend drukarki:"), in the order of the
// setting's values.
inline constexpr std::array<std::string_view, 4> kCommandSetCaptions = {
    "Tylko tabela", "ESC/P (Epson)", "PCL (HP)", "Automatycznie"};

// The set a setting value stands for; values out of range read as the table alone.
TCommandSet CommandSetFromSetting(int value);

// "table", "escp", "pcl", "auto" (the command line's names); nothing for another name.
std::optional<TCommandSet> CommandSetFromName(std::string_view name);

// The set an automatic choice reads the printout with: PCL when it starts with a PCL reset,
// a universal exit (ESC %-12345X) or PCL commands, otherwise ESC/P.
TCommandSet DetectCommandSet(ByteView data);

}  // namespace quernel
