#include "platform/PdfWriter.h"

#include <zlib.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/CodePages.h"
#include "engine/PrinterPlatform.h"

namespace quernel {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16;
constexpr std::size_t kObjectsPerStream = 100;
constexpr int kObjectStreamLevel = 6;
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

}  // namespace

void AppendPdfNumber(std::string& out, double value, int decimals) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    char* end = result.ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    // "-0" reads as zero anyway, but is a byte longer.
    if (end - text == 2 && text[0] == '-' && text[1] == '0') {
        out += '0';
        return;
    }
    out.append(text, end);
}

void AppendPdfLiteral(std::string& out, std::string_view bytes) {
    out += '(';
    for (char c : bytes) {
        switch (c) {
            case '(':
            case ')':
            case '\\':
                out += '\\';
                out += c;
                break;
            case '\r':  // a bare CR in a literal string reads as LF
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    out += ')';
}

std::string PdfTextString(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) ascii = false;
    }
    std::string out;
    if (ascii) {
        AppendPdfLiteral(out, utf8);
        return out;
    }
    // UTF-16BE with a byte order mark; a byte that starts no character shows as U+FFFD.
    out = "<FEFF";
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t ch = 0xFFFD;
        if (const auto decoded = DecodeUtf8(utf8, i)) {
            ch = *decoded;
        } else {
            ++i;
        }
        if (ch >= 0x10000) {
            AppendHex(out, 0xD800 + ((ch - 0x10000) >> 10), 4);
            AppendHex(out, 0xDC00 + ((ch - 0x10000) & 0x3FF), 4);
        } else {
            AppendHex(out, ch, 4);
        }
    }
    out += '>';
    return out;
}

std::string Deflate(std::string_view data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  level) != Z_OK) {
        return {};
    }
    packed.resize(size);
    return packed;
}

TPdfWriter::TPdfWriter(TSink sink, std::string target)
    : sink_(std::move(sink)), target_(std::move(target)) {
    buffer_.reserve(kFlushBytes * 2);
}

void TPdfWriter::Put(std::string_view text) {
    buffer_.append(text);
    offset_ += text.size();
    if (buffer_.size() >= kFlushBytes) Flush();
}

void TPdfWriter::Flush() {
    if (buffer_.empty()) return;
    if (!sink_(buffer_.data(), buffer_.size())) {
        const int error = errno;
        buffer_.clear();
        throw PrinterError("The document for " + target_ +
                           " could not be written: " + std::strerror(error) + ".");
    }
    buffer_.clear();
}

void TPdfWriter::Begin() {
    // The second line's bytes above 127 mark the file as binary for transfer programs.
    Put("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");
}

int TPdfWriter::Reserve() {
    places_.emplace_back();
    return static_cast<int>(places_.size());
}

void TPdfWriter::BeginObject(int number) {
    TPlace& place = places_.at(static_cast<std::size_t>(number - 1));
    place = {true, 0, offset_};
    Put(std::to_string(number));
    Put(" 0 obj\n");
}

void TPdfWriter::WriteObject(int number, std::string_view body) {
    TPlace& place = places_.at(static_cast<std::size_t>(number - 1));
    place = {true, -1, objectNumbers_.size()};  // the stream's number is known when it is written
    objectIndex_ += std::to_string(number) + " " + std::to_string(objectData_.size()) + " ";
    objectData_.append(body);
    objectData_ += '\n';
    objectNumbers_.push_back(number);
    if (objectNumbers_.size() >= kObjectsPerStream) WriteObjectStream();
}

void TPdfWriter::WriteObjectStream() {
    if (objectNumbers_.empty()) return;
    const int number = Reserve();
    for (const int object : objectNumbers_)
        places_[static_cast<std::size_t>(object - 1)].stream = number;
    const std::string dictionary = "/Type/ObjStm/N " + std::to_string(objectNumbers_.size()) +
                                   "/First " + std::to_string(objectIndex_.size());
    WriteStream(number, dictionary, objectIndex_ + objectData_, kObjectStreamLevel);
    objectIndex_.clear();
    objectData_.clear();
    objectNumbers_.clear();
}

void TPdfWriter::WriteStream(int number, std::string_view dictionary, std::string_view data,
                             int level) {
    if (level < 0) {
        PutStream(number, dictionary, data, false);
        return;
    }
    const std::string packed = Deflate(data, level);
    if (packed.empty()) {
        throw PrinterError("The document for " + target_ + " could not be compressed.");
    }
    PutStream(number, dictionary, packed, true);
}

void TPdfWriter::WriteDeflatedStream(int number, std::string_view dictionary,
                                     std::string_view packed) {
    if (packed.empty()) {
        throw PrinterError("The document for " + target_ + " could not be compressed.");
    }
    PutStream(number, dictionary, packed, true);
}

void TPdfWriter::PutStream(int number, std::string_view dictionary, std::string_view data,
                           bool deflated) {
    BeginObject(number);
    std::string head = "<<";
    head.append(dictionary);
    if (deflated) head += "/Filter/FlateDecode";
    head += "/Length ";
    head += std::to_string(data.size());
    head += ">>\nstream\n";
    Put(head);
    Put(data);
    Put("\nendstream\nendobj\n");
}

void TPdfWriter::Finish(int root, int info) {
    WriteObjectStream();
    const int number = Reserve();
    places_.back() = {true, 0, offset_};
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (!places_[i].written) {
            throw PrinterError("The document for " + target_ + " misses its object " +
                               std::to_string(i + 1) + ".");
        }
    }
    // Entries of 1 + 4 + 2 bytes: type, offset or object stream, index in the stream.
    std::string table;
    const auto entry = [&](int type, std::uint64_t field2, std::uint64_t field3) {
        table += static_cast<char>(type);
        for (int shift = 24; shift >= 0; shift -= 8) table += static_cast<char>(field2 >> shift);
        table += static_cast<char>(field3 >> 8);
        table += static_cast<char>(field3);
    };
    entry(0, 0, 0xFFFF);
    for (const TPlace& place : places_) {
        if (place.stream == 0) {
            if (place.offset > 0xFFFFFFFFu) {
                throw PrinterError("The document for " + target_ + " is larger than 4 GB.");
            }
            entry(1, place.offset, 0);
        } else {
            entry(2, static_cast<std::uint64_t>(place.stream), place.offset);
        }
    }
    const std::uint64_t xref = offset_;
    const std::string size = std::to_string(places_.size() + 1);
    WriteStream(number,
                "/Type/XRef/Size " + size + "/W[1 4 2]/Root " + std::to_string(root) +
                    " 0 R/Info " + std::to_string(info) + " 0 R",
                table, kObjectStreamLevel);
    Put("startxref\n" + std::to_string(xref) + "\n%%EOF\n");
    Flush();
}

}  // namespace quernel
