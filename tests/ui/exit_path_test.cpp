// The exit path against the real worker: a stop requested right after a
// start must hold, whatever the worker has reached by then.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include "engine/search.h"
#include "state/settings.h"
#include "support/fixtures.h"
#include "ui/app.h"

TEST(ExitPath, StopRightAfterStartIsNeverUndoneByTheWorker)
{
    TempFolder root;
    for (int i = 0; i < 40; ++i)
        root.AddFile(L"f" + std::to_wstring(i) + L".bin", std::string(4096, 'x') + "MZ");
    SubFolders = 1;
    ActiveFileTypes = nullptr;
    SearchPattern.length = 2;
    std::memcpy(SearchPattern.bytes, "MZ", 2);
    for (int round = 0; round < 25; ++round) {
        SetSearchFolder(root.Path());
        RecordingReport report;
        StartSearch(report);
        ASSERT_NE(WorkerThread, nullptr);
        // What the end of the message loop does, at once.
        StopSearchAtExit();
        EXPECT_EQ(WorkerThread, nullptr);
        EXPECT_EQ(SearchRunning.load(), 0);
        EXPECT_FALSE(IsWorkerBusy());
        // At most the file the worker was in when the stop came.
        EXPECT_LE(report.entered.size(), 1u) << "round " << round;
        EXPECT_EQ(report.runsEnded, 1);
    }
}
