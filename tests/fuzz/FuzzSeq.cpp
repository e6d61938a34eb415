// A ".seq" control-code table file: read it, write it back, and match printouts with it laid
// over the built-in entries. The matcher that walks a printout must give the answers of the
// plain matching function at every position.
#include "engine/EscapeSequences.h"
#include "engine/Explain.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/TempFile.h"

using namespace quernel;

namespace {

void SameMatches(const TEscapeSequences& table, ByteView printout, bool ignorePcl) {
    TSequenceMatcher matcher(table, printout, ignorePcl);
    for (std::size_t p = 0; p < printout.size();) {
        const TMatch walked = matcher.Match(p);
        const TMatch plain = table.MatchSequence(printout, p, ignorePcl);
        fuzz::Check(walked == plain, "the printout matcher and MatchSequence disagree");
        fuzz::Check(walked.length >= 1 && p + walked.length <= printout.size(),
                    "a match outside the printout");
        p += walked.length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView bytes(data, size);
    std::size_t dropped = 0;
    const TEscapeSequences read = ReadSequenceFile(fuzz::InputFile(bytes, ".seq"), &dropped);
    fuzz::Check(dropped <= size, "more bytes dropped than read");
    const Bytes encoded = EncodeSequenceFile(read);
    fuzz::Check(encoded == Bytes(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(dropped)),
                "the table does not write back as it was read");

    TEscapeSequences table;
    table.LoadDefaultSequences();
    table.AddSequences(read);
    table.SortSequences();
    static const Bytes kSample = ToBytes(
        "\x1b@\x1b"
        "EFaktura\x1b"
        "F\r\n\x1b-1Razem\x1b-0\x0f 12,50\x12\r\n\x1b&l1O\x1b(s3B"
        "PCL\x1b(s0B\x1b*c100G\x0c\x1a");
    for (const bool ignorePcl : {false, true}) {
        SameMatches(table, kSample, ignorePcl);
        SameMatches(table, bytes, ignorePcl);
    }
    ExplainPrintout(bytes, read, TCharMapRecord::Identity(), true);
    return 0;
}
