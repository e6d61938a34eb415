// The "#27 E" notation of byte strings: text typed by the user (control-code tables, the direct
// mode's initialisation string) and bytes turned into text must come back unchanged.
#include <algorithm>

#include "engine/EscapeSequences.h"
#include "tests/fuzz/FuzzInput.h"

using namespace quernel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView bytes(data, size);
    // Bytes -> text -> the same bytes. The character "#" is shown as " #", which reads as the
    // start of a number: it has to be typed as "#35", so such strings are left out here.
    const std::string text = SequenceToText(bytes);
    const auto back = TextToSequence(text);
    if (!bytes.empty() && std::find(bytes.begin(), bytes.end(), '#') == bytes.end()) {
        fuzz::Check(back.has_value(), "the text of a byte string does not parse");
        fuzz::Check(Bytes(bytes.begin(), bytes.end()) == *back, "bytes changed through the text");
    }
    // Any text: what parses prints as text that parses to the same bytes.
    const std::string_view typed(reinterpret_cast<const char*>(data), size);
    if (const auto parsed = TextToSequence(typed)) {
        fuzz::Check(!parsed->empty(), "an empty byte string was accepted");
        if (std::find(parsed->begin(), parsed->end(), '#') == parsed->end()) {
            const auto again = TextToSequence(SequenceToText(*parsed));
            fuzz::Check(again.has_value() && *again == *parsed,
                        "a parsed string does not round-trip");
        }
    }
    return 0;
}
