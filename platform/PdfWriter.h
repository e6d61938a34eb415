#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quernel {

// Appends `value` with at most `decimals` decimals and no trailing zeros ("12", "-0.5").
void AppendPdfNumber(std::string& out, double value, int decimals);
// Appends a literal string "(...)" holding the bytes, with ( ) \ and CR escaped.
void AppendPdfLiteral(std::string& out, std::string_view bytes);
// A text string for the document information: a literal for printable ASCII, otherwise
// UTF-16BE with a byte order mark, in hex. `utf8` is UTF-8.
std::string PdfTextString(std::string_view utf8);
// zlib data (RFC 1950) of `data` at compression level 0..9, as a FlateDecode stream holds it.
std::string Deflate(std::string_view data, int level);

// Writes a PDF 1.5 file object by object. Streams go out as soon as they are complete (through
// a small buffer); other objects are collected into compressed object streams of up to 100
// objects, which go out when full. Only the objects' places stay in memory, for the
// cross-reference stream at the end. Object numbers may be reserved before the object is
// written, so that earlier objects can refer to later ones. Write failures raise PrinterError.
class TPdfWriter {
  public:
    // Takes bytes; answers false (with the reason in errno) when they could not be written.
    using TSink = std::function<bool(const void* data, std::size_t size)>;

    // `target` names where the document goes, for error messages ("the file \"a.pdf\"").
    TPdfWriter(TSink sink, std::string target);

    // Writes the header.
    void Begin();
    // A new object number; the object must be written before Finish.
    int Reserve();
    // An object other than a stream, kept in an object stream.
    void WriteObject(int number, std::string_view body);
    // A stream object; `dictionary` holds the entries other than /Length and /Filter, without
    // the brackets. The data is compressed at `level`, or stored as it is when level < 0.
    void WriteStream(int number, std::string_view dictionary, std::string_view data, int level);
    // A stream object of data compressed already (Deflate).
    void WriteDeflatedStream(int number, std::string_view dictionary, std::string_view packed);
    // Writes the objects still collected, the cross-reference stream and the trailer, and
    // flushes. Throws PrinterError when an object reserved was never written.
    void Finish(int root, int info);

  private:
    // Where an object is: at a file offset, or in an object stream at an index.
    struct TPlace {
        bool written = false;
        int stream = 0;  // 0: at `offset`
        std::uint64_t offset = 0;
    };

    void Put(std::string_view text);
    void BeginObject(int number);
    void PutStream(int number, std::string_view dictionary, std::string_view data, bool deflated);
    void WriteObjectStream();
    void Flush();

    TSink sink_;
    std::string target_;
    std::string buffer_;
    std::uint64_t offset_ = 0;    // bytes of the file so far, buffered ones included
    std::vector<TPlace> places_;  // by object number - 1
    // The object stream being collected: "number offset" pairs and the objects.
    std::string objectIndex_;
    std::string objectData_;
    std::vector<int> objectNumbers_;
};

}  // namespace quernel
