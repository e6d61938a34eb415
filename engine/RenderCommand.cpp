#include "engine/RenderCommand.h"

#include <exception>
#include <ostream>
#include <stdexcept>

#include "engine/CharMap.h"
#include "engine/DataFiles.h"
#include "engine/EscapeSequences.h"
#include "engine/Explain.h"
#include "host/FileUtil.h"

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

}  // namespace

std::string RenderUsage() {
    return "Użycie: quernel-render --explain [--seq NAZWA|PLIK] [--cmap NAZWA|PLIK] "
           "[--ignore-pcl] PLIK\n"
           "  --explain     pokaż, jak Quernel rozumie wydruk: kody sterujące i tekst\n"
           "  --seq         tabela kodów sterujących (domyślnie EPSON+HP)\n"
           "  --cmap        mapa znaków (domyślnie LatinII)\n"
           "  --ignore-pcl  pomijaj nieznane komendy HP-PCL (ESC ... wielka litera)\n";
}

RenderArgs ParseRenderArgs(const std::vector<std::string>& args) {
    RenderArgs result;
    RenderOptions& o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                result.error = "Brak wartości opcji " + a;
                return;
            }
            into = args[++i];
        };
        if (a == "-h" || a == "--help") {
            result.help = true;
        } else if (a == "--explain") {
            o.explain = true;
        } else if (a == "--seq") {
            value(o.seq);
        } else if (a == "--cmap") {
            value(o.cmap);
        } else if (a == "--ignore-pcl") {
            o.ignorePcl = true;
        } else if (a.starts_with("-") && a != "-") {
            result.error = "Nieznana opcja " + a;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            result.error = "Podano więcej niż jeden plik wydruku: " + a;
        }
        if (!result.error.empty()) return result;
    }
    if (!result.help) {
        if (!o.explain) {
            result.error = "Podaj --explain";
        } else if (o.file.empty()) {
            result.error = "Nie podano pliku wydruku";
        }
    }
    return result;
}

fs::path ResolveSequenceArg(const std::string& arg, const fs::path& programDir) {
    return ResolveDataArg(arg, programDir, ".seq", "tabeli kodów sterujących", SequenceFilePath);
}

fs::path ResolveCharMapArg(const std::string& arg, const fs::path& programDir) {
    return ResolveDataArg(arg, programDir, ".cmap", "mapy znaków", CharMapFilePath);
}

int RunExplain(const RenderOptions& options, const fs::path& programDir, std::ostream& out,
               std::ostream& err) {
    try {
        const fs::path seqPath = ResolveSequenceArg(options.seq, programDir);
        std::size_t dropped = 0;
        const TEscapeSequences table = ReadSequenceFile(seqPath, &dropped);
        if (dropped > 0) {
            err << "quernel-render: uwaga: " << seqPath.string() << " kończy się uciętym wpisem ("
                << dropped << " B pominięto)\n";
        }
        const fs::path mapPath = ResolveCharMapArg(options.cmap, programDir);
        TCharMapRecord map = TCharMapRecord::Identity();
        ReadCharMapFile(mapPath, map);
        std::error_code ec;
        const auto mapSize = fs::file_size(mapPath, ec);
        if (!ec && mapSize != kCharMapFileSize) {
            err << "quernel-render: uwaga: " << mapPath.string() << " ma " << mapSize
                << " B zamiast " << kCharMapFileSize << "\n";
        }
        const Bytes data = ReadWholeFile(options.file);
        for (const ExplainItem& item : ExplainPrintout(data, table, map, options.ignorePcl)) {
            out << FormatExplainItem(item) << '\n';
        }
        return out.good() ? 0 : 1;
    } catch (const std::exception& e) {
        err << "quernel-render: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace quernel
