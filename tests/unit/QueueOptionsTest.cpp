#include <cups/cups.h>
#include <gtest/gtest.h>

#include "engine/QueueAdmin.h"
#include "engine/QueueOptions.h"
#include "engine/QueuePpd.h"
#include "engine/QueueSettings.h"
#include "fakes/FakeQueueAdmin.h"
#include "support/TempDir.h"

namespace quernel {
namespace {

using test::TempDir;

TQueueJob Settle(const std::string& ppd, const TOptionList& options,
                 std::optional<std::string>* problem = nullptr) {
    TQueueJob job;
    const auto result = SettleQueueJob(ReadPpdValues(ppd), options, job);
    if (problem)
        *problem = result;
    else
        EXPECT_FALSE(result) << *result;
    return job;
}

// The PPD the queue is made with says what the filter then reads: every default written
// comes back as the same settings, names with blanks and values beyond the choices included.
TEST(QueuePpdTest, TheFilterReadsBackEveryDefaultThePpdWasMadeWith) {
    TQueuePpdSettings ppdSettings = DefaultQueuePpdSettings(QUERNEL_SHIPPED_DATA_DIR);
    RenderOptions& d = ppdSettings.defaults.render;
    d.commands = TCommandSet::kPcl;
    d.cmap = "Mazowia";
    d.seq = "Moja tabela";  // offered as "Mojatabela/Moja tabela"
    d.font = "DejaVu Sans Mono";
    d.ignorePcl = true;
    d.boxLines = false;
    d.charsPerLine = 137;
    d.linesPerPage = 20;
    d.charsPerLineHor = 360;
    d.linesPerPageHor = 120;
    d.margins = {-10, 0, 25, 500};
    d.orientation = 2;
    ppdSettings.defaults.paper = "Letter";
    ppdSettings.defaults.tablesFolder = "/srv/dos/tabele";
    ppdSettings.backgroundPicture = "/srv/dos/papier.png,1,2,3,4";
    ppdSettings.backgroundOn = true;

    const std::string ppd = MakeQueuePpd(ppdSettings);
    const TQueueJob job = Settle(ppd, {});
    const RenderOptions& r = job.render;
    EXPECT_EQ(r.commands, TCommandSet::kPcl);
    EXPECT_EQ(r.cmap, "Mazowia");
    EXPECT_EQ(r.seq, "Moja tabela");
    EXPECT_EQ(r.font, "DejaVu Sans Mono");
    EXPECT_TRUE(r.ignorePcl);
    EXPECT_FALSE(r.boxLines);
    EXPECT_EQ(r.charsPerLine, 137);
    EXPECT_EQ(r.linesPerPage, 20);
    EXPECT_EQ(r.charsPerLineHor, 360);
    EXPECT_EQ(r.linesPerPageHor, 120);
    EXPECT_EQ(r.margins, (std::array<int, 4>{-10, 0, 25, 500}));
    EXPECT_EQ(r.orientation, 2);
    EXPECT_EQ(job.paper, "Letter");
    EXPECT_EQ(job.tablesFolder, "/srv/dos/tabele");
    EXPECT_EQ(r.background, "/srv/dos/papier.png");
    EXPECT_EQ(r.pictureMargins, (std::array<int, 4>{1, 2, 3, 4}));

    // The shipped maps and tables are choices; every option has a default.
    EXPECT_NE(ppd.find("*QuernelCharMap Kamenicky/Kamenicky: \"\""), std::string::npos);
    EXPECT_NE(ppd.find("*QuernelSequences Mojatabela/Moja tabela: \"\""), std::string::npos);
    for (const TQueueOption& option : QueueOptions()) {
        EXPECT_NE(ppd.find("*Default" + std::string(option.keyword) + ": "), std::string::npos)
            << option.keyword;
    }
}

// The program's defaults are the queue's, and the background picture prints only while
// switched on.
TEST(QueuePpdTest, AQueueStartsWithTheProgramsDefaults) {
    TQueuePpdSettings ppdSettings = DefaultQueuePpdSettings(QUERNEL_SHIPPED_DATA_DIR);
    ppdSettings.backgroundPicture = "/srv/papier.jpg";
    const TQueueJob job = Settle(MakeQueuePpd(ppdSettings), {});
    const RenderOptions program;
    EXPECT_EQ(job.render.cmap, program.cmap);
    EXPECT_EQ(job.render.seq, program.seq);
    EXPECT_EQ(job.render.font, program.font);
    EXPECT_EQ(job.render.commands, program.commands);
    EXPECT_TRUE(job.render.boxLines);
    EXPECT_EQ(job.render.charsPerLine, program.charsPerLine);
    EXPECT_EQ(job.render.linesPerPageHor, program.linesPerPageHor);
    EXPECT_EQ(job.render.margins, program.margins);
    EXPECT_EQ(job.paper, "A4");
    EXPECT_EQ(job.render.background, "");
    EXPECT_EQ(Settle(MakeQueuePpd(ppdSettings), {{"QuernelBackground", "True"}}).render.background,
              "/srv/papier.jpg");
}

TEST(QueueOptionsTest, JobOptionsOverTheQueueDefaults) {
    const std::string ppd = MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_SHIPPED_DATA_DIR));
    const TQueueJob job = Settle(ppd, {{"QuernelCharsPerLine", "Custom.100"},
                                       {"quernellinesperpage", "70"},
                                       {"QuernelCommandSet", "ESCP"},
                                       {"QuernelFont", "LiberationMono"},
                                       {"QuernelCharMap", "Custom.CP850"},
                                       {"landscape", ""},
                                       {"media", "na_legal_8.5x14in,Upper"},
                                       {"finishings", "3"},
                                       {"job-uuid", "urn:uuid:1"}});
    EXPECT_EQ(job.render.charsPerLine, 100);
    EXPECT_EQ(job.render.linesPerPage, 70);
    EXPECT_EQ(job.render.commands, TCommandSet::kEscP);
    EXPECT_EQ(job.render.font, "Liberation Mono");
    EXPECT_EQ(job.render.cmap, "CP850");
    EXPECT_EQ(job.render.orientation, 1);
    EXPECT_EQ(job.paper, "Legal");
    EXPECT_EQ(Settle(ppd, {{"orientation-requested", "3"}}).render.orientation, 2);
}

TEST(QueueOptionsTest, AnOptionOfTheQueueThatIsWrongIsNamed) {
    const std::string ppd = MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_SHIPPED_DATA_DIR));
    const std::vector<std::pair<TOptionList, std::string>> cases = {
        {{{"QuernelColour", "red"}}, "Nieznana opcja kolejki: QuernelColour"},
        {{{"QuernelCharsPerLine", "39"}}, "QuernelCharsPerLine: 39 (dozwolone 40..240)"},
        {{{"QuernelMarginTop", "Custom.5mm"}}, "QuernelMarginTop: Custom.5mm"},
        {{{"QuernelCommandSet", "postscript"}}, "QuernelCommandSet: postscript"},
        {{{"QuernelIgnorePCL", "maybe"}}, "QuernelIgnorePCL: maybe"},
        {{{"QuernelSequences", "../../etc/passwd"}}, "QuernelSequences: ../../etc/passwd"},
    };
    for (const auto& [options, expected] : cases) {
        std::optional<std::string> problem;
        Settle(ppd, options, &problem);
        ASSERT_TRUE(problem) << expected;
        EXPECT_NE(problem->find(expected), std::string::npos) << *problem;
    }
    // A damaged default of the queue is named as the queue's.
    std::string damaged = ppd;
    damaged.replace(damaged.find("*DefaultQuernelLinesPerPage: 67"), 31,
                    "*DefaultQuernelLinesPerPage: 9");
    std::optional<std::string> problem;
    Settle(damaged, {}, &problem);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("domyślna wartość kolejki"), std::string::npos) << *problem;
}

TEST(QueueOptionsTest, TablesComeFromTheQueuesFolderBeforeTheShippedOnes) {
    TempDir own;
    std::filesystem::create_directories(own / "Seq");
    std::ofstream(own / "Seq" / "EPSON+HP.seq") << "";
    const std::filesystem::path shipped = QUERNEL_SHIPPED_DATA_DIR;
    EXPECT_EQ(QueueDataFile("EPSON+HP", "seq", own.path(), shipped), own / "Seq" / "EPSON+HP.seq");
    EXPECT_EQ(QueueDataFile("LatinII", "cmap", own.path(), shipped),
              shipped / "CharMap" / "LatinII.cmap");
    try {
        QueueDataFile("Brak", "cmap", own.path(), shipped);
        ADD_FAILURE() << "a missing map was found";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find((own / "CharMap" / "Brak.cmap").string()),
                  std::string::npos)
            << e.what();
    }
}

// The filter reads a job's option string as CUPS's own parser does: compared on the forms
// print dialogs, lp and other schedulers send.
TEST(QueueOptionsTest, OptionStringsAreReadAsLibcupsReadsThem) {
    const std::vector<std::string> texts = {
        "",
        "copies=2 landscape",
        "  QuernelFont='Liberation Mono'\tQuernelCharMap=\"Moja mapa\"  ",
        "job-name=Faktura\\ 7 nolandscape fit-to-page",
        "media=A4,Upper,Plain QuernelCharsPerLine=Custom.100 a=1 A=2 b",
        "media-col={media-size={x-dimension=21000 y-dimension=29700} media-source='tray 1'} x=y",
        "title='it\\'s' empty= quote=\"a\\\"b\" tail=\\",
        "finishings=3 number-up=1 job-uuid=urn:uuid:1b2c date-time-at-creation= "
        "time-at-creation=17",
        "nox no=1 n",
    };
    for (const std::string& text : texts) {
        cups_option_t* options = nullptr;
        const int count = cupsParseOptions(text.c_str(), 0, &options);
        TOptionList expected;
        for (int i = 0; i < count; ++i) expected.emplace_back(options[i].name, options[i].value);
        cupsFreeOptions(count, options);
        EXPECT_EQ(ParseCupsOptions(text), expected) << text;
    }
}

TEST(QueueOptionsTest, FilterCommandLine) {
    std::string error;
    const auto line =
        ParseFilterCommandLine({"17", "anna", "Faktura", "2", "a=b", "/spool/d17"}, error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->jobId, 17);
    EXPECT_EQ(line->copies, 2);
    EXPECT_EQ(line->file, "/spool/d17");
    EXPECT_TRUE(ParseFilterCommandLine({"17", "anna", "Faktura", "1", ""}, error)->file.empty());
    EXPECT_FALSE(ParseFilterCommandLine({"17", "anna", "Faktura", "1"}, error));
    EXPECT_FALSE(ParseFilterCommandLine({"x", "anna", "Faktura", "1", ""}, error));
    EXPECT_FALSE(ParseFilterCommandLine({"17", "anna", "Faktura", "0", ""}, error));
}

TEST(QueueOptionsTest, OnlyWhatCannotBeADosPrintoutIsRefused) {
    const auto bytes = [](std::string_view s) {
        return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()),
                     reinterpret_cast<const std::uint8_t*>(s.data()) + s.size());
    };
    EXPECT_TRUE(PrintoutProblem(Bytes{}));
    EXPECT_TRUE(PrintoutProblem(bytes("%PDF-1.4\n...")));
    EXPECT_TRUE(PrintoutProblem(bytes("\x1f\x8b\x08")));
    EXPECT_FALSE(PrintoutProblem(bytes("\x1b@Faktura\r\n\x0c")));
    EXPECT_FALSE(PrintoutProblem(bytes("%!")));  // too short for PostScript: a printout
    EXPECT_FALSE(PrintoutProblem(bytes("\x0c")));
}

TEST(QueueAdminTest, ALocalQueueIsReachedThroughTheSchedulersSocketOrPort) {
    EXPECT_EQ(LocalQueueDeviceUri("/run/cups/cups.sock", 631, "HP LaserJet"),
              "ipp://%2Frun%2Fcups%2Fcups.sock/printers/HP%20LaserJet?snmp=false&waitjob=false");
    EXPECT_EQ(LocalQueueDeviceUri("localhost", 8631, "hp"),
              "ipp://localhost:8631/printers/hp?snmp=false&waitjob=false");
}

class QueueCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        admin.queues = {{"laser", "HP LaserJet 4 Plus", "socket://10.0.0.5"},
                        {"biuro", "Generic PDF", "ipp://biuro.local/ipp/print"}};
    }
    int Run(std::vector<std::string> args) {
        out.str({});
        err.str({});
        return RunQueueCommand(args, admin, {QUERNEL_SHIPPED_DATA_DIR, "quernel-filter"}, out, err);
    }
    TQueueJob AddedSettings() {
        TQueueJob job;
        EXPECT_FALSE(SettleQueueJob(ReadPpdValues(admin.added.back().ppd), {}, job));
        return job;
    }

    test::FakeQueueAdmin admin;
    std::ostringstream out, err;
    TempDir dir;
};

TEST_F(QueueCommandTest, AddingMakesAQueueThatPrintsOnTheTargetWithTheGivenSettings) {
    ASSERT_EQ(
        Run({"--add-queue", "DOS", "--printer", "LASER", "--cmap", "Mazowia", "--grid", "136,66",
             "--copies", "2", "--paper", "letter", "--commands", "escp", "--box-lines", "0"}),
        0)
        << err.str();
    const TNewQueue& queue = admin.added.back();
    EXPECT_EQ(queue.name, "DOS");
    EXPECT_EQ(queue.deviceUri,
              "ipp://%2Frun%2Fcups%2Fcups.sock/printers/laser?snmp=false&waitjob=false");
    EXPECT_FALSE(queue.shared);
    EXPECT_EQ(queue.copies, 2);
    const TQueueJob job = AddedSettings();
    EXPECT_EQ(job.render.cmap, "Mazowia");
    EXPECT_EQ(job.render.charsPerLine, 136);
    EXPECT_EQ(job.render.linesPerPage, 66);
    EXPECT_EQ(job.render.commands, TCommandSet::kEscP);
    EXPECT_FALSE(job.render.boxLines);
    EXPECT_EQ(job.paper, "Letter");
    EXPECT_NE(out.str().find("lp -d DOS"), std::string::npos) << out.str();

    // A device by its URI; shared, on a scheduler that shares nothing: said so.
    ASSERT_EQ(Run({"--add-queue", "DOS2", "--printer", "socket://10.0.0.9:9100", "--shared"}), 0);
    EXPECT_EQ(admin.added.back().deviceUri, "socket://10.0.0.9:9100");
    EXPECT_TRUE(admin.added.back().shared);
    EXPECT_NE(out.str().find("cupsctl --share-printers"), std::string::npos) << out.str();

    // Adding a queue again replaces it; removing it removes it.
    ASSERT_EQ(Run({"--add-queue", "DOS", "--printer", "biuro"}), 0) << err.str();
    EXPECT_EQ(AddedSettings().render.cmap, "LatinII");
    ASSERT_EQ(Run({"--remove-queue", "dos"}), 0) << err.str();
    EXPECT_EQ(admin.removed, std::vector<std::string>{"DOS"});
}

TEST_F(QueueCommandTest, AQueuesOwnFolderOffersItsTablesAndMaps) {
    std::filesystem::create_directories(dir / "CharMap");
    std::ofstream(dir / "CharMap" / "Kasa.cmap") << std::string(257, 'x');
    ASSERT_EQ(Run({"--add-queue", "DOS", "--printer", "laser", "--tables", dir.path().string(),
                   "--cmap", "Kasa"}),
              0)
        << err.str();
    const std::string& ppd = admin.added.back().ppd;
    EXPECT_NE(ppd.find("*QuernelCharMap Kasa/Kasa"), std::string::npos);
    EXPECT_NE(ppd.find("*QuernelCharMap LatinII/LatinII"), std::string::npos);
    EXPECT_EQ(AddedSettings().tablesFolder, dir.path());
}

// Every refusal is said before anything changes, in words the user can act on.
TEST_F(QueueCommandTest, WhatCannotBeDoneIsRefusedClearly) {
    admin.queues.push_back({"kasa", kDosQueueModel, "ipp://%2Frun/printers/laser"});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--add-queue", "DOS", "--printer", "nope"}, "nie ma drukarki \"nope\""},
        {{"--add-queue", "DOS", "--printer", "kasa"}, "\"kasa\" to kolejka wydruków DOS"},
        {{"--add-queue", "laser", "--printer", "biuro"}, "już istnieje"},
        {{"--add-queue", "DOS", "--printer", "laser", "--cmap", "Brak"}, "Brak.cmap"},
        {{"--add-queue", "DOS", "--printer", "laser", "--tables", "/nie/ma"}, "/nie/ma"},
        {{"--add-queue", "DOS", "--printer", "laser", "--background", "/nie/ma.png"},
         "/nie/ma.png"},
        {{"--remove-queue", "laser"}, "nie jest kolejką wydruków DOS"},
        {{"--remove-queue", "nope"}, "nie ma kolejki"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(Run(args), 1) << args[1];
        EXPECT_NE(err.str().find(expected), std::string::npos) << err.str();
    }
    const std::vector<std::vector<std::string>> wrongCommandLines = {
        {"--add-queue", "DOS"},
        {"--add-queue", "D OS", "--printer", "laser"},
        {"--add-queue", "DOS", "--printer", "laser", "--raw"},
        {"--add-queue", "DOS", "--printer", "laser", "--grid", "10,10"},
        {"--add-queue", "DOS", "--printer", "laser", "--paper", "B5"},
    };
    for (const auto& args : wrongCommandLines) {
        EXPECT_EQ(Run(args), 2) << args.back();
        EXPECT_NE(err.str().find("Użycie"), std::string::npos);
    }
    EXPECT_TRUE(admin.added.empty());
    EXPECT_TRUE(admin.removed.empty());

    for (const auto kind :
         {QueueAdminError::TKind::kNoScheduler, QueueAdminError::TKind::kNotAllowed}) {
        admin.failure.emplace(kind, "brak uprawnień do zarządzania drukarkami");
        EXPECT_EQ(Run({"--add-queue", "DOS", "--printer", "laser"}), 1);
        EXPECT_NE(err.str().find("brak uprawnień"), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace quernel

namespace quernel::test {
namespace {

TEST(PaperNameTest, SelfDescribingKeywordsGiveThePacketsName) {
    EXPECT_EQ(PaperName("iso_a5_148x210mm"), "A5");
    EXPECT_EQ(PaperName("iso_a4_210x297mm"), "A4");
    EXPECT_EQ(PaperName("na_letter_8.5x11in"), "Letter");
    EXPECT_EQ(PaperName("jis_b5_182x257mm"), "JIS B5");
    // Not of that form, or of a class without a packet name: as it is.
    EXPECT_EQ(PaperName("om_small-photo_100x150mm"), "om_small-photo_100x150mm");
    EXPECT_EQ(PaperName("Custom.20x30cm"), "Custom.20x30cm");
    EXPECT_EQ(PaperName("iso__1x1mm"), "iso__1x1mm");
}

}  // namespace
}  // namespace quernel::test

namespace quernel {
namespace {

// The shipped tables lie beside a built filter, and in <prefix>/share/quernel for the installed
// filter and for quernel-render, which draws the jobs with a background picture.
TEST(FilterDataTest, TheShippedTablesAreFoundWhereverTheFilterRuns) {
    test::TempDir built;
    std::filesystem::create_directory(built.path() / "Seq");
    EXPECT_EQ(FilterShippedDataDir(built.path()), built.path());
    EXPECT_EQ(FilterShippedDataDir("/opt/q/lib/cups/filter"), "/opt/q/share/quernel");
    EXPECT_EQ(FilterShippedDataDir("/opt/q/bin"), "/opt/q/share/quernel");
}

}  // namespace
}  // namespace quernel
