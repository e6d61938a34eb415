#pragma once

#include <filesystem>
#include <functional>
#include <memory>

namespace quernel {

class IFontSource;
class IPictureLoader;

// What a filter draws a job with.
class IFilterDrawing {
  public:
    virtual ~IFilterDrawing() = default;
    virtual IFontSource& Fonts() = 0;
    virtual IPictureLoader& Pictures() = 0;
};

// The CUPS filter of a DOS printer queue: renders the job's DOS printout (the file named on
// the command line, or standard input) with the queue's settings from its PPD and the job's
// options, and writes the PDF to standard output. Problems are "ERROR: " lines on standard
// error and exit code 1 (CUPS then stops the job and shows the line); nothing is written to
// standard output unless the whole document was made. Writes only into $TMPDIR.
//
// This one draws with fontconfig and FreeType and loads no picture, so that a job loads no
// graphical toolkit: a job with a background picture is handed on, before anything is read, to
// `quernel-render --cups-filter` (PictureFilterProgram), which draws with Qt.
int RunQueueFilter(int argc, char** argv);

// The filter with its drawing made by `makeDrawing` once the job's environment is set (Qt reads
// it when it starts). Without `loadsPictures` a job with a background picture is handed on.
int RunQueueFilterWith(int argc, char** argv,
                       const std::function<std::unique_ptr<IFilterDrawing>()>& makeDrawing,
                       bool loadsPictures);

// quernel-render beside the filter (the build tree), else in <prefix>/bin for a filter in
// <prefix>/lib/cups/filter.
std::filesystem::path PictureFilterProgram(const std::filesystem::path& executableDir);

}  // namespace quernel
