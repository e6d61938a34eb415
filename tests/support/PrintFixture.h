#pragma once

#include <gtest/gtest.h>

#include "engine/QN_Picture.h"
#include "engine/QN_Print.h"
#include "fakes/FakeClock.h"
#include "fakes/RecordingErrorReport.h"
#include "fakes/RecordingHistoryView.h"
#include "fakes/RecordingPrinter.h"
#include "host/BW_log.h"
#include "support/TempDir.h"

namespace quernel::test {

// Everything a print job uses of the process, made of fakes and a temporary folder.
class PrintFixture : public ::testing::Test {
  protected:
    TempDir dir;
    FakeClock clock;
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    TfileLog fileLog = TfileLog::ForProgram(clock, dir.path(), "quernel");
    RecordingErrorReport errors;
    RecordingPrinter printer;
    TRawSettings raw;
    FakePictureLoader pictures;
    TBackgroundPicture background{pictures};
    TPrintServices services{printer, history, fileLog, errors, raw, &background};
};

}  // namespace quernel::test
