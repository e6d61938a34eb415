#include "engine/QueueAdmin.h"

#include <algorithm>
#include <ostream>

#include "engine/QueuePpd.h"
#include "engine/RenderCommand.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "Użycie:\n"
    "  quernel --add-queue NAZWA --printer DOCELOWA [--shared] [--paper A4|Letter|Legal|A3|A5]\n"
    "          [--tables FOLDER] [--seq ..] [--cmap ..] [--commands ..] [--ignore-pcl]\n"
    "          [--font ..] [--margins L,G,P,D] [--grid ZN,WIER] [--grid-landscape ZN,WIER]\n"
    "          [--orientation 0|1|2] [--copies N] [--background PLIK[,L,G,P,D]]\n"
    "          [--box-lines 0|1]\n"
    "      tworzy kolejkę CUPS, która drukuje wydruki DOS na drukarce DOCELOWEJ (kolejce\n"
    "      CUPS albo adresie urządzenia, np. socket://10.0.0.5); --shared udostępnia ją\n"
    "      innym komputerom\n"
    "  quernel --remove-queue NAZWA\n"
    "      usuwa kolejkę wydruków DOS\n";

// The options of quernel-render that are settings of a queue too.
constexpr std::string_view kRenderSettings[] = {
    "--seq",  "--cmap",           "--commands",    "--ignore-pcl", "--font",       "--margins",
    "--grid", "--grid-landscape", "--orientation", "--copies",     "--background", "--box-lines"};

// lpadmin's rule: up to 127 printable characters, no blanks, "/", "#", "\\" or quotes.
bool IsQueueName(const std::string& name) {
    return !name.empty() && name.size() <= 127 && std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7f &&
               std::string_view("/#\\'\"").find(c) == std::string_view::npos;
    });
}

bool IsDosQueue(const TQueueInfo& queue) {
    return queue.makeAndModel == kDosQueueModel;
}

const TQueueInfo* Find(const std::vector<TQueueInfo>& queues, const std::string& name) {
    const auto at = std::find_if(queues.begin(), queues.end(), [&](const TQueueInfo& q) {
        return q.name.size() == name.size() &&
               std::equal(q.name.begin(), q.name.end(), name.begin(),
                          [](char a, char b) { return (a | 0x20) == (b | 0x20); });
    });
    return at != queues.end() ? &*at : nullptr;
}

struct TAddCommand {
    std::string name;
    std::string target;
    bool shared = false;
    std::string paper = "A4";
    fs::path tables;
    RenderOptions render;
};

// The add command's own switches, then the settings as quernel-render reads them.
std::optional<TAddCommand> ParseAdd(const std::vector<std::string>& args, std::string& error) {
    TAddCommand add;
    std::vector<std::string> settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = "Brak wartości opcji " + a;
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--add-queue" || a == "--printer" || a == "--paper" || a == "--tables") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (a == "--add-queue") add.name = *v;
            if (a == "--printer") add.target = *v;
            if (a == "--paper") add.paper = *v;
            if (a == "--tables") add.tables = *v;
        } else if (a == "--shared") {
            add.shared = true;
        } else if (std::find(std::begin(kRenderSettings), std::end(kRenderSettings), a) !=
                   std::end(kRenderSettings)) {
            settings.push_back(a);
            if (a != "--ignore-pcl") {
                const auto v = value();
                if (!v) return std::nullopt;
                settings.push_back(*v);
            }
        } else {
            error = "Nieznana opcja kolejki: " + a;
            return std::nullopt;
        }
    }
    settings.push_back("-");  // quernel-render's parser wants a printout
    const RenderArgs parsed = ParseRenderArgs(settings);
    if (!parsed.error.empty()) {
        error = parsed.error;
        return std::nullopt;
    }
    add.render = parsed.options;
    if (!IsQueueName(add.name)) {
        error = "Nieprawidłowa nazwa kolejki \"" + add.name +
                "\": do 127 znaków, bez spacji, \"/\", \"#\", \"\\\" i cudzysłowów";
        return std::nullopt;
    }
    if (add.target.empty()) {
        error = "Podaj drukarkę docelową: --printer NAZWA";
        return std::nullopt;
    }
    if (!FindQueuePaper(add.paper)) {
        error = "Nieznany format papieru: " + add.paper + " (A4, Letter, Legal, A3, A5)";
        return std::nullopt;
    }
    add.paper = std::string(FindQueuePaper(add.paper)->keyword);
    return add;
}

std::string Names(const std::vector<TQueueInfo>& queues) {
    std::string names;
    for (const TQueueInfo& q : queues) names += "\n  " + q.name;
    return names.empty() ? " (żadnej)" : names;
}

int Add(const TAddCommand& add, IQueueAdmin& admin, const TQueueCommandSetup& setup,
        std::ostream& out, std::ostream& err) {
    const std::vector<TQueueInfo> queues = admin.Queues();
    if (const TQueueInfo* existing = Find(queues, add.name); existing && !IsDosQueue(*existing)) {
        err << "quernel: kolejka \"" << existing->name
            << "\" już istnieje i nie jest kolejką wydruków DOS; wybierz inną nazwę\n";
        return 1;
    }
    std::string device = add.target;
    std::string targetText = add.target;
    if (add.target.find(":/") == std::string::npos) {
        const TQueueInfo* target = Find(queues, add.target);
        if (!target) {
            err << "quernel: nie ma drukarki \"" << add.target << "\". Drukarki:" << Names(queues)
                << "\n";
            return 1;
        }
        if (Find(queues, add.name) == target || IsDosQueue(*target)) {
            err << "quernel: \"" << target->name
                << "\" to kolejka wydruków DOS; podaj drukarkę, która drukuje PDF\n";
            return 1;
        }
        device = LocalQueueDeviceUri(admin.Server(), admin.Port(), target->name);
        targetText = "drukarce \"" + target->name + "\"";
    } else {
        targetText = "urządzeniu " + add.target;
    }

    std::error_code ec;
    if (!add.tables.empty() && !fs::is_directory(add.tables, ec)) {
        err << "quernel: nie ma folderu tabel " << add.tables.string() << "\n";
        return 1;
    }
    try {
        QueueDataFile(add.render.seq, "seq", add.tables, setup.shippedData);
        QueueDataFile(add.render.cmap, "cmap", add.tables, setup.shippedData);
    } catch (const std::exception& e) {
        err << "quernel: " << e.what() << "\n";
        return 1;
    }
    if (!add.render.background.empty() && !fs::is_regular_file(add.render.background, ec)) {
        err << "quernel: nie ma obrazu tła " << add.render.background << "\n";
        return 1;
    }

    TQueuePpdSettings ppdSettings = DefaultQueuePpdSettings(setup.shippedData, add.tables);
    ppdSettings.filter = setup.filter;
    ppdSettings.defaults.render = add.render;
    ppdSettings.defaults.paper = add.paper;
    if (!add.render.background.empty()) {
        const auto& m = add.render.pictureMargins;
        ppdSettings.backgroundPicture = fs::absolute(add.render.background).string() + "," +
                                        std::to_string(m[0]) + "," + std::to_string(m[1]) + "," +
                                        std::to_string(m[2]) + "," + std::to_string(m[3]);
        ppdSettings.backgroundOn = true;
    }
    if (!ppdSettings.defaults.tablesFolder.empty())
        ppdSettings.defaults.tablesFolder = fs::absolute(add.tables);

    TNewQueue queue;
    queue.name = add.name;
    queue.info = "Wydruki DOS na " + targetText;
    queue.deviceUri = device;
    queue.ppd = MakeQueuePpd(ppdSettings);
    queue.shared = add.shared;
    queue.copies = add.render.copies;
    admin.AddQueue(queue);
    out << "Kolejka \"" << add.name << "\" drukuje wydruki DOS na " << targetText
        << (add.shared ? ", udostępniona innym komputerom" : ", tylko na tym komputerze") << ".\n"
        << "Drukuj na niej: lp -d " << add.name << " PLIK   (albo lpr -P " << add.name << ")\n";
    if (add.shared && !admin.SharesQueues()) {
        out << "Uwaga: serwer CUPS nie udostępnia drukarek innym komputerom; włącz to poleceniem "
               "\"sudo cupsctl --share-printers\".\n";
    }
    return 0;
}

int Remove(const std::string& name, IQueueAdmin& admin, std::ostream& out, std::ostream& err) {
    const std::vector<TQueueInfo> queues = admin.Queues();
    const TQueueInfo* queue = Find(queues, name);
    if (!queue) {
        err << "quernel: nie ma kolejki \"" << name << "\"\n";
        return 1;
    }
    if (!IsDosQueue(*queue)) {
        err << "quernel: \"" << queue->name
            << "\" nie jest kolejką wydruków DOS; usuń ją narzędziami CUPS (lpadmin -x)\n";
        return 1;
    }
    admin.RemoveQueue(queue->name);
    out << "Usunięto kolejkę \"" << queue->name << "\".\n";
    return 0;
}

std::string PercentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

}  // namespace

std::string LocalQueueDeviceUri(const std::string& server, int port, const std::string& queue) {
    const std::string host = !server.empty() && server.front() == '/'
                                 ? PercentEncoded(server)
                                 : "localhost:" + std::to_string(port);
    return "ipp://" + host + "/printers/" + PercentEncoded(queue) + "?snmp=false&waitjob=false";
}

bool IsQueueCommand(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) {
        return a == "--add-queue" || a == "--remove-queue";
    });
}

int RunQueueCommand(const std::vector<std::string>& args, IQueueAdmin& admin,
                    const TQueueCommandSetup& setup, std::ostream& out, std::ostream& err) {
    std::string error;
    std::optional<std::string> removed;
    std::optional<TAddCommand> add;
    if (!args.empty() && args[0] == "--remove-queue") {
        if (args.size() == 2)
            removed = args[1];
        else
            error = "--remove-queue bierze tylko nazwę kolejki";
    } else {
        add = ParseAdd(args, error);
    }
    if (!error.empty()) {
        err << "quernel: " << error << "\n" << kUsage;
        return 2;
    }
    try {
        return removed ? Remove(*removed, admin, out, err) : Add(*add, admin, setup, out, err);
    } catch (const QueueAdminError& e) {
        err << "quernel: " << e.what() << "\n";
        return 1;
    }
}

std::optional<std::string> QueueFilterProgram(const fs::path& executableDir) {
    std::error_code ec;
    // A build: the filter beside the program.
    if (fs::is_regular_file(executableDir / "quernel-filter", ec)) {
        return (executableDir / "quernel-filter").string();
    }
    const fs::path installed = fs::weakly_canonical(
        executableDir / ".." / "lib" / "cups" / "filter" / "quernel-filter", ec);
    if (!fs::is_regular_file(installed, ec)) return std::nullopt;
    if (installed == "/usr/lib/cups/filter/quernel-filter") return "quernel-filter";
    return installed.string();
}

}  // namespace quernel
