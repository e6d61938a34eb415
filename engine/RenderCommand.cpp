#include "engine/RenderCommand.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "engine/CharMap.h"
#include "engine/DataFiles.h"
#include "engine/EscapeSequences.h"
#include "engine/Explain.h"
#include "engine/PageGeometry.h"
#include "engine/QN_Picture.h"
#include "host/AppSettings.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "host/ErrorReport.h"
#include "host/MappedFile.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

fs::path ResolveDataArg(const std::string& arg, const fs::path& programDir, std::string_view ext,
                        const char* what, fs::path (*byName)(const fs::path&, std::string_view)) {
    std::error_code ec;
    fs::path path;
    if (arg.find('/') != std::string::npos || (arg.ends_with(ext) && fs::exists(arg, ec))) {
        path = arg;
    } else {
        path = byName(programDir, arg);
    }
    if (!fs::exists(path, ec)) {
        throw std::runtime_error(std::string("Nie ma ") + what + " \"" + arg + "\" (brak pliku " +
                                 path.string() + ")");
    }
    return path;
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// "a<sep>b<sep>..." into exactly `count` integers.
bool ParseInts(const std::string& text, char sep, std::size_t count, std::vector<int>& out) {
    out.clear();
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(sep, from);
        int v = 0;
        if (!ParseInt(std::string_view(text).substr(from, at - from), v)) return false;
        out.push_back(v);
        if (at == std::string::npos) break;
        from = at + 1;
    }
    return out.size() == count;
}

// "DPI,WIDTHxHEIGHT,OFFXxOFFY"
bool ParseDevice(const std::string& text, TDeviceCaps& caps) {
    const auto c1 = text.find(','), c2 = text.rfind(',');
    if (c1 == std::string::npos || c1 == c2) return false;
    int dpi = 0;
    std::vector<int> size, offset;
    if (!ParseInt(std::string_view(text).substr(0, c1), dpi) ||
        !ParseInts(text.substr(c1 + 1, c2 - c1 - 1), 'x', 2, size) ||
        !ParseInts(text.substr(c2 + 1), 'x', 2, offset)) {
        return false;
    }
    if (dpi <= 0 || size[0] <= 0 || size[1] <= 0 || offset[0] < 0 || offset[1] < 0) return false;
    const TDeviceCaps parsed{size[0], size[1], dpi, dpi, offset[0], offset[1]};
    // The page and the widest margins must be computable on it.
    if (!DeviceFits(parsed, FindSetting("MgLeft")->high)) return false;
    caps = parsed;
    return true;
}

struct Range {
    int low, high;
};

// The range of a numeric setting, so the tool accepts what the program's settings accept.
Range RangeOf(std::string_view setting) {
    const SettingInfo* info = FindSetting(setting);
    return {info->low, info->high};
}

// Prints the error report's messages and remembers that something failed.
class StreamErrorReport final : public IErrorReport {
  public:
    StreamErrorReport(std::ostream& err, const RenderMessages& prefixes)
        : err_(err), prefixes_(prefixes) {}
    void ShowError(const std::string& message) override {
        err_ << prefixes_.error << message << "\n";
        failed = true;
    }
    bool failed = false;

  private:
    std::ostream& err_;
    const RenderMessages& prefixes_;
};

}  // namespace

std::string RenderUsage() {
    return "Użycie:\n"
           "  quernel-render [OPCJE] PLIK -o WYNIK.pdf   drukuj do pliku PDF\n"
           "  quernel-render [OPCJE] PLIK --printer NAZWA drukuj na drukarce (także \"Quernel "
           "PDF\")\n"
           "  quernel-render [OPCJE] PLIK                 drukuj na drukarce domyślnej\n"
           "  quernel-render [OPCJE] PLIK --trace [--device DPI,SZERxWYS,PRZXxPRZY]\n"
           "                                              pokaż operacje rysowania zamiast "
           "drukować\n"
           "  quernel-render --explain [--seq ..] [--cmap ..] [--ignore-pcl] [--commands ..] PLIK\n"
           "                                              pokaż, jak Quernel rozumie wydruk\n"
           "Opcje:\n"
           "  --seq NAZWA|PLIK        tabela kodów sterujących (EPSON+HP)\n"
           "  --cmap NAZWA|PLIK       mapa znaków (LatinII)\n"
           "  --font NAZWA            czcionka (Liberation Mono)\n"
           "  --margins L,G,P,D       marginesy w mm (5,5,5,5)\n"
           "  --grid ZN,WIER          znaków w linii, linii na stronie, pionowo (80,67)\n"
           "  --grid-landscape ZN,WIER  to samo poziomo (120,46)\n"
           "  --orientation 0|1|2     0 ustawienie drukarki, 1 poziomo, 2 pionowo (0)\n"
           "  --copies N              liczba kopii (1)\n"
           "  --title TEKST           tytuł wydruku\n"
           "  --background PLIK[,L,G,P,D]  obraz w tle i jego odstępy od brzegów w mm\n"
           "  --ignore-pcl            pomijaj nieznane komendy HP-PCL\n"
           "  --commands table|escp|pcl|auto  zestaw komend drukarki poza tabelą: tylko\n"
           "                          tabela, ESC/P (Epson), PCL (HP) albo wybór dla każdego\n"
           "                          wydruku (table)\n"
           "  --box-lines 0|1         rysuj ramki liniami: ramki i bloki strony kodowej DOS\n"
           "                          jako linie, jej znaki greckie i matematyczne jak w niej (1)\n"
           "  --raw                   tryb bezpośredni (RAW): bajty wprost do drukarki\n"
           "  --raw-init TEKST        kod inicjujący (#27 E)\n"
           "  --raw-fix-crlf 0|1      końce linii zawsze CR+LF (1)\n"
           "  --raw-end-ff 0|1        zawsze zakończ wysunięciem strony (1)\n"
           "  --raw-charmap 0|1       przekodowanie znaków mapą (0)\n";
}

RenderArgs ParseRenderArgs(const std::vector<std::string>& args) {
    RenderArgs result;
    RenderOptions& o = result.options;
    std::vector<int> ints;
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        const std::string& a = args[i];
        std::string value;
        const auto takeValue = [&]() {
            if (i + 1 >= args.size()) {
                result.error = "Brak wartości opcji " + a;
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto bad = [&]() {
            result.error = "Nieprawidłowa wartość opcji " + a + ": " + value;
        };
        const auto intIn = [&](int& into, Range r) {
            if (!takeValue()) return;
            if (!ParseInt(value, into) || into < r.low || into > r.high) {
                bad();
                result.error +=
                    " (dozwolone " + std::to_string(r.low) + ".." + std::to_string(r.high) + ")";
            }
        };
        const auto flag = [&](bool& into) {
            if (!takeValue()) return;
            if (value != "0" && value != "1") return bad();
            into = value == "1";
        };
        const auto pair = [&](int& a1, Range r1, int& a2, Range r2) {
            if (!takeValue()) return;
            if (!ParseInts(value, ',', 2, ints) || ints[0] < r1.low || ints[0] > r1.high ||
                ints[1] < r2.low || ints[1] > r2.high) {
                return bad();
            }
            a1 = ints[0];
            a2 = ints[1];
        };
        const auto margins = [&](std::array<int, 4>& into, const std::string& text) {
            if (!ParseInts(text, ',', 4, ints) ||
                std::any_of(ints.begin(), ints.end(), [margin = RangeOf("MgLeft")](int m) {
                    return m < margin.low || m > margin.high;
                })) {
                return bad();
            }
            std::copy(ints.begin(), ints.end(), into.begin());
        };

        if (a == "-h" || a == "--help") {
            result.help = true;
        } else if (a == "--explain") {
            o.explain = true;
        } else if (a == "--seq") {
            if (takeValue()) o.seq = value;
        } else if (a == "--cmap") {
            if (takeValue()) o.cmap = value;
        } else if (a == "--ignore-pcl") {
            o.ignorePcl = true;
        } else if (a == "--commands") {
            if (!takeValue()) continue;
            if (const auto set = CommandSetFromName(value)) {
                o.commands = *set;
            } else {
                bad();
                result.error += " (table, escp, pcl albo auto)";
            }
        } else if (a == "--box-lines") {
            flag(o.boxLines);
        } else if (a == "-o" || a == "--output") {
            if (takeValue()) o.output = value;
        } else if (a == "--printer") {
            if (takeValue()) o.printer = value;
        } else if (a == "--font") {
            if (takeValue() && value.empty()) bad();
            o.font = value;
        } else if (a == "--margins") {
            if (takeValue()) margins(o.margins, value);
        } else if (a == "--grid") {
            pair(o.charsPerLine, RangeOf("CharsPerLine"), o.linesPerPage, RangeOf("LinesPerPage"));
        } else if (a == "--grid-landscape") {
            pair(o.charsPerLineHor, RangeOf("CharsPerLineHor"), o.linesPerPageHor,
                 RangeOf("LinesPerPageHor"));
        } else if (a == "--orientation") {
            intIn(o.orientation, RangeOf("PageOrientation"));
        } else if (a == "--copies") {
            intIn(o.copies, RangeOf("Copies"));
        } else if (a == "--title") {
            if (takeValue()) o.title = value;
        } else if (a == "--background") {
            if (!takeValue()) continue;
            const std::size_t comma = value.find(',');
            o.background = value.substr(0, comma);
            if (comma != std::string::npos) margins(o.pictureMargins, value.substr(comma + 1));
            if (o.background.empty()) bad();
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--device") {
            if (takeValue() && !ParseDevice(value, o.device)) bad();
        } else if (a == "--raw") {
            o.raw.enabled = true;
        } else if (a == "--raw-init") {
            if (takeValue()) {
                o.raw.initText = value;
                std::string why;
                if (!TextToSequence(value, &why) && !why.empty()) result.error = why;
            }
        } else if (a == "--raw-fix-crlf") {
            flag(o.raw.fixCrLf);
        } else if (a == "--raw-end-ff") {
            flag(o.raw.endWithFormFeed);
        } else if (a == "--raw-charmap") {
            flag(o.raw.useCharMap);
        } else if (a.starts_with("-") && a != "-") {
            result.error = "Nieznana opcja " + a;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            result.error = "Podano więcej niż jeden plik wydruku: " + a;
        }
    }
    if (!result.error.empty() || result.help) return result;
    if (o.file.empty()) {
        result.error = "Nie podano pliku wydruku";
    } else if (!o.output.empty() && !o.printer.empty()) {
        result.error = "Podaj -o albo --printer, nie oba";
    } else if (o.trace && (!o.output.empty() || !o.printer.empty())) {
        result.error = "--trace nie drukuje: bez -o i --printer";
    }
    return result;
}

fs::path ResolveSequenceArg(const std::string& arg, const fs::path& programDir) {
    return ResolveDataArg(arg, programDir, ".seq", "tabeli kodów sterujących", SequenceFilePath);
}

fs::path ResolveCharMapArg(const std::string& arg, const fs::path& programDir) {
    return ResolveDataArg(arg, programDir, ".cmap", "mapy znaków", CharMapFilePath);
}

namespace {

struct LoadedInputs {
    TEscapeSequences table;
    TCharMapRecord map = TCharMapRecord::Identity();
    std::optional<TMappedFile> printout;
    ByteView Data() const { return printout->View(); }
};

// The table, the map and the printout, with warnings for damaged tables and maps.
LoadedInputs LoadInputs(const RenderOptions& options, const fs::path& programDir, std::ostream& err,
                        const RenderMessages& prefixes) {
    LoadedInputs in;
    const fs::path seqPath = ResolveSequenceArg(options.seq, programDir);
    std::size_t dropped = 0;
    in.table = ReadSequenceFile(seqPath, &dropped);
    if (dropped > 0) {
        err << prefixes.warning << seqPath.string() << " kończy się uciętym wpisem (" << dropped
            << " B pominięto)\n";
    }
    const fs::path mapPath = ResolveCharMapArg(options.cmap, programDir);
    ReadCharMapFile(mapPath, in.map);
    std::error_code ec;
    const auto mapSize = fs::file_size(mapPath, ec);
    if (!ec && mapSize != kCharMapFileSize) {
        err << prefixes.warning << mapPath.string() << " ma " << mapSize << " B zamiast "
            << kCharMapFileSize << "\n";
    }
    in.printout.emplace(options.file);
    return in;
}

}  // namespace

int RunExplain(const RenderOptions& options, const fs::path& programDir, std::ostream& out,
               std::ostream& err) {
    try {
        const RenderMessages prefixes;
        const LoadedInputs in = LoadInputs(options, programDir, err, prefixes);
        const std::string hint = ExplainPrintout(
            in.Data(), in.table, in.map, {options.ignorePcl, options.commands},
            [&out](const ExplainItem& item) { out << FormatExplainItem(item) << '\n'; });
        if (!hint.empty()) out << hint << '\n';
        return out.good() ? 0 : 1;
    } catch (const std::exception& e) {
        err << "quernel-render: " << e.what() << '\n';
        return 1;
    }
}

int RunRender(const RenderOptions& options, IPrinterPlatform& printer, IPictureLoader& pictures,
              const fs::path& programDir, std::ostream& err, const RenderMessages& prefixes) {
    try {
        const LoadedInputs in = LoadInputs(options, programDir, err, prefixes);
        if (options.printer.empty()) {
            printer.SetPrinterIndex(-1);
        } else {
            const int index = FindPrinterByName(printer, options.printer);
            if (index < 0) {
                std::string names;
                for (const auto& name : printer.Printers()) names += "\n  " + name;
                throw PrinterError("Nie ma drukarki \"" + options.printer +
                                   "\". Drukarki:" + names);
            }
            printer.SetPrinterIndex(index);
        }
        const auto fonts = printer.Fonts();
        if (!options.raw.enabled && !fonts.empty() &&
            std::find(fonts.begin(), fonts.end(), options.font) == fonts.end()) {
            err << prefixes.warning << "drukarka nie ma czcionki \"" << options.font
                << "\", użyta zostanie zastępcza\n";
        }

        TBackgroundPicture background(pictures);
        if (!options.background.empty()) {
            if (!background.PictureFileUsable(options.background)) {
                throw std::runtime_error("Nie można wczytać obrazu " + options.background);
            }
            const auto& m = options.pictureMargins;
            background.SetBackground(options.background, m[0], m[2], m[1], m[3]);
        }

        SystemClock clock;
        TbwLog history(clock);
        TfileLog fileLog(clock, {}, {});
        StreamErrorReport errors(err, prefixes);
        TPrintServices services{printer, history, fileLog, errors, options.raw, &background};
        TPrintInterface job(services);
        const auto& m = options.margins;
        job.SetPage(m[0], m[1], m[2], m[3], options.charsPerLine, options.linesPerPage,
                    options.charsPerLineHor, options.linesPerPageHor, options.orientation,
                    options.copies);
        job.SetFont(options.font, 2, in.map);
        job.LoadDefaultSequences();
        job.AddSequences(in.table);
        job.SetCommandSet(options.commands);
        job.SetBoxLines(options.boxLines);
        job.BeginJob(options.title);
        try {
            TPrinterStatus status;
            job.PrintData(in.Data(), 0, false, options.ignorePcl, status);
            job.EndJob();
        } catch (...) {
            printer.AbortDoc();
            throw;
        }
        return errors.failed ? 1 : 0;
    } catch (const std::exception& e) {
        err << prefixes.error << e.what() << '\n';
        return 1;
    }
}

}  // namespace quernel
