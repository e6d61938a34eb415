#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EscapeSequences.h"

namespace quernel {

// One row of the control-code editor's list: the index of its entry in the table, the bytes in
// "#27 E" notation and the meaning's name.
struct TSequenceRow {
    std::size_t index;
    std::string code;
    std::string meaning;
    bool operator==(const TSequenceRow&) const = default;
};

// The columns of the list, by which it can be sorted.
inline constexpr int kCodeColumn = 0;
inline constexpr int kMeaningColumn = 1;

// The display name of a meaning; a stored value above 42 has none and shows as its number.
std::string MeaningText(TSequenceMeaning m);

// One row per entry, sorted ascending by the texts of the column (letters A to Z without
// regard to case); rows with equal texts keep the table order.
std::vector<TSequenceRow> SequenceRows(const TEscapeSequences& table, int sortColumn);

inline constexpr std::string_view kIncompleteDataMessage = "Niepoprawne, lub niekompletne dane.";
inline constexpr std::string_view kCodeExistsMessage = "Taki kod już istnieje";
inline constexpr std::string_view kCodeTooLongMessage =
    "Sekwencja sterująca może mieć najwyżej 255 bajtów.";

// Appends the entry typed into the editor: `text` in "#27 E" notation and the meaning at
// `position` of the display order (-1 when none is chosen). "Znak drukowalny", an invalid
// text, a sequence that does not fit a table file and bytes already in the table are refused;
// the answer is then the message for the user, and the table is unchanged.
std::optional<std::string> AddTypedSequence(TEscapeSequences& table, std::string_view text,
                                            int position);

}  // namespace quernel
