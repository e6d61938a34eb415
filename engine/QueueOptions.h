#pragma once

// The print settings of a CUPS queue that renders DOS printouts: their PPD keywords, the
// queue's defaults read from its PPD, and a job's options over them. Shared by the CUPS filter
// (which reads them) and the PPD writer (which offers them).

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/RenderCommand.h"

namespace quernel {

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// A CUPS option string ("copies=2 landscape QuernelFont='Liberation Mono'") as CUPS's own
// cupsParseOptions reads it: blanks separate options; a value may be quoted ('' or ""), hold
// {collections} and backslash escapes; a name alone is "true", "noNAME" is NAME "false"; a
// name given twice keeps its last value; the list is sorted by name, letter case folded.
// Here rather than through libcups: the filter runs once per job, and libcups with the
// libraries it loads (TLS, Kerberos, Avahi) took longer to start than the rest of a job.
TOptionList ParseCupsOptions(std::string_view text);

// A sheet the queue prints on.
struct TQueuePaper {
    std::string_view keyword;  // the PPD's PageSize choice
    std::string_view text;
    double width = 0;  // points
    double height = 0;
    std::string_view ippName;  // the IPP "media" name of the size
};
const std::vector<TQueuePaper>& QueuePapers();
const TQueuePaper* FindQueuePaper(std::string_view name);  // keyword or IPP name

// One print setting offered by the queue.
struct TQueueOption {
    enum class TKind { kName, kNumber, kChoice, kSwitch };
    std::string_view keyword;  // PPD main keyword, also the job option's name
    std::string_view text;     // what a print dialog shows
    TKind kind;
    std::string_view setting;                     // the program setting with the range, if any
    std::vector<std::string_view> choices = {};   // kChoice: keywords; kNumber: common values
    std::vector<std::string_view> captions = {};  // kChoice: what each keyword shows
};
const std::vector<TQueueOption>& QueueOptions();
const TQueueOption* FindQueueOption(std::string_view keyword);

// PPD keywords that are not options: the queue's own folder of tables and maps, and its
// background picture with its margins in mm ("FILE" or "FILE,L,T,R,B").
inline constexpr std::string_view kTablesFolderKeyword = "QuernelTablesFolder";
inline constexpr std::string_view kBackgroundKeyword = "QuernelBackgroundPicture";

// What a queue's PPD says: the default choice of every option (*DefaultKeyword: value), the
// quoted values of the other main keywords (*Keyword: "value") and the choices' texts.
struct TPpdValues {
    std::map<std::string, std::string, std::less<>> defaults;
    std::map<std::string, std::string, std::less<>> values;
    // The text each choice of an option shows, by option and choice keyword.
    std::map<std::string, std::map<std::string, std::string>, std::less<>> choiceTexts;
};
TPpdValues ReadPpdValues(std::string_view ppdText);

// A queue's job settled: what to render and how.
struct TQueueJob {
    RenderOptions render;
    std::string paper = "A4";            // a TQueuePaper keyword
    std::filesystem::path tablesFolder;  // the queue's own folder; empty: the shipped data
};

// The queue's defaults from its PPD, then the job's options over them (the CUPS names
// "landscape", "orientation-requested", "media" and "PageSize" too). Options of other names
// are CUPS's own and left alone. Answers the problem, for the user, with an option of this
// queue that does not exist or a value outside its choices or range.
std::optional<std::string> SettleQueueJob(const TPpdValues& ppd, const TOptionList& jobOptions,
                                          TQueueJob& job);

// The table or map for a job: a file of the queue's folder when it has one by that name, else
// of the shipped data. Throws std::runtime_error naming the missing file.
std::filesystem::path QueueDataFile(const std::string& name, std::string_view kind,
                                    const std::filesystem::path& tablesFolder,
                                    const std::filesystem::path& shippedFolder);

// The CUPS filter's command line: job-id user title copies options [file].
struct TFilterCommandLine {
    int jobId = 0;
    std::string user;
    std::string title;
    int copies = 1;
    std::string options;
    std::string file;  // empty: standard input
};
// Nothing, with the reason in `error`, when the arguments are not a filter's.
std::optional<TFilterCommandLine> ParseFilterCommandLine(const std::vector<std::string>& args,
                                                         std::string& error);

// Why a job's data cannot be a DOS printout: nothing at all, or a document of another kind
// (PDF, PostScript, a picture, a compressed file) sent to the wrong queue. Nothing when it
// can be one: any other bytes are.
std::optional<std::string> PrintoutProblem(ByteView data);

// The <prefix> of a filter installed in <prefix>/lib/cups/filter, or of quernel-render in
// <prefix>/bin running a queue's job.
std::filesystem::path FilterInstallPrefix(const std::filesystem::path& executableDir);

// Where the shipped tables and maps lie for a filter in `executableDir`: beside it (a build)
// or <prefix>/share/quernel for an installed one.
std::filesystem::path FilterShippedDataDir(const std::filesystem::path& executableDir);

}  // namespace quernel
