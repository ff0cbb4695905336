#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "work/RecordingProgressDisplay.h"
#include "work/RunWithProgress.h"
#include "platform/Clock.h"

namespace corvid {
namespace {

using testing::CRecordingProgressDisplay;

// Waits on the worker until the dialog's thread has handled everything posted so far.
void WaitForDialogThread(CRecordingProgressDisplay& display) {
    std::atomic<bool> done{false};
    display.Post([&] { done = true; });
    while (!done)
        std::this_thread::yield();
}

class ProgressEstimate : public ::testing::Test {
protected:
    void SetUp() override { SetClock(&m_clock); }
    void TearDown() override { SetClock(nullptr); }
    CFixedClock m_clock{MakeLocalTime(2026, 12, 6, 13, 17, 2), 1'000'500};
};

TEST_F(ProgressEstimate, RemainingTimeTexts) {
    EXPECT_EQ(FormatRemainingTime(50, 125), "2 minute(s) remaining");
    EXPECT_EQ(FormatRemainingTime(50, 59), "59 second(s) remaining");
    EXPECT_EQ(FormatRemainingTime(50, 0), "");
    EXPECT_EQ(FormatRemainingTime(100, 300), "");
    EXPECT_EQ(FormatRemainingTime(1, 3600), "5940 minute(s) remaining");
    EXPECT_EQ(FormatRemainingTime(150, 60), "");  // more units than announced
    EXPECT_EQ(FormatRemainingTime(0, 60), "");
}

TEST_F(ProgressEstimate, SetProgressUpdatesTextBarAndEstimateFromTheStartTime) {
    CRecordingProgressDisplay display;
    CProgressThreadDlg dialog(display, kProgressCanCancel);
    dialog.SetProgress(10, "too early");  // before the dialog is up: ignored
    EXPECT_TRUE(display.Texts().empty());

    dialog.SetTitle("Processing");
    dialog.OnInitDialog();
    EXPECT_EQ(display.Title(), "Processing");
    EXPECT_EQ(display.Positions(), std::vector<int>({0}));

    m_clock.Advance(125'400);  // whole seconds: 1000 -> 1125
    dialog.SetProgress(50, "Loading");
    EXPECT_EQ(display.Texts(), std::vector<std::string>({"Loading"}));
    EXPECT_EQ(display.Positions(), std::vector<int>({0, 50}));
    EXPECT_EQ(display.Estimates(), std::vector<std::string>({"2 minute(s) remaining"}));

    // The same percent again: a new text is shown, bar and estimate stay.
    m_clock.Advance(10'000);
    dialog.SetProgress(50, "Still loading");
    dialog.SetProgress(50, "Still loading");
    EXPECT_EQ(display.Texts(), std::vector<std::string>({"Loading", "Still loading"}));
    EXPECT_EQ(display.Positions().size(), 2u);
    EXPECT_EQ(display.Estimates().size(), 1u);

    // Back to 0 moves the bar but leaves the estimate as it was.
    dialog.SetProgress(0, "Still loading");
    EXPECT_EQ(display.Positions().back(), 0);
    EXPECT_EQ(display.Estimates().size(), 1u);

    // Beyond 100 the bar stops at its end and no time is estimated.
    dialog.SetProgress(120, "Still loading");
    EXPECT_EQ(display.Positions().back(), 100);
    EXPECT_EQ(display.Estimates().back(), "");
}

TEST_F(ProgressEstimate, InitialTextIsNotShownAgain) {
    CRecordingProgressDisplay display;
    CProgressThreadDlg dialog(display, 0);
    dialog.OnInitDialog();
    dialog.SetProgress(0, "Please wait");
    EXPECT_TRUE(display.Texts().empty());
    EXPECT_EQ(display.Positions().size(), 1u);
}

TEST(RunWithProgress, WorkStartsOnceTheDialogIsUpSoEvenAShortJobsReportsAreShown) {
    CRecordingProgressDisplay display;
    std::atomic<bool> started{false};
    bool startedBeforeInit = false;
    display.beforeInit = [&] {
        // Give a worker that does not wait every chance to run first.
        for (int i = 0; i < 2000 && !started; ++i)
            std::this_thread::yield();
        startedBeforeInit = started;
    };
    bool result = RunWithProgress(
        [&](IProgress& progress) {
            started = true;
            progress.SetProgress(50, "Half done");
        },
        "Processing", kProgressCanCancel | kProgressConfirmCancel, "Press Ok to cancel the operation", display);
    EXPECT_TRUE(result);
    EXPECT_FALSE(startedBeforeInit);
    EXPECT_EQ(display.Runs(), 1);
    EXPECT_EQ(display.Texts(), std::vector<std::string>({"Half done"}));
    EXPECT_EQ(display.Positions(), std::vector<int>({0, 50}));
    EXPECT_EQ(display.Title(), "Processing");
}

TEST(RunWithProgress, CancelIsIgnoredWithoutTheCancelFlag) {
    CRecordingProgressDisplay display;
    int steps = 0;
    bool sawCancel = false;
    bool result = RunWithProgress(
        [&](IProgress& progress) {
            display.PostCancel();
            WaitForDialogThread(display);
            for (; steps < 10; ++steps) {
                progress.SetProgress(steps * 10, "step");
                sawCancel = sawCancel || progress.IsCancelled();
            }
        },
        "Processing", 0, "", display);
    EXPECT_TRUE(result);
    EXPECT_FALSE(sawCancel);
    EXPECT_EQ(steps, 10);
    EXPECT_TRUE(display.Questions().empty());
}

TEST(RunWithProgress, CancelAnsweredNoGoesOnAndYesStopsTheWork) {
    for (bool answer : {false, true}) {
        CRecordingProgressDisplay display;
        display.QueueAnswer(answer);
        bool cancelledSeen = false;
        bool result = RunWithProgress(
            [&](IProgress& progress) {
                progress.SetProgress(10, "first");
                display.PostCancel();
                WaitForDialogThread(display);
                cancelledSeen = progress.IsCancelled();
            },
            "Processing", kProgressCanCancel | kProgressConfirmCancel, "Press Ok to cancel the operation", display);
        EXPECT_EQ(result, !answer);
        EXPECT_EQ(cancelledSeen, answer);
        EXPECT_EQ(display.Questions(), std::vector<std::string>({"Press Ok to cancel the operation"}));
    }
}

TEST(RunWithProgress, CancelWithoutConfirmationAsksNothing) {
    CRecordingProgressDisplay display;
    bool cancelledSeen = false;
    bool result = RunWithProgress(
        [&](IProgress& progress) {
            display.PostCancel();
            WaitForDialogThread(display);
            cancelledSeen = progress.IsCancelled();
        },
        "", kProgressCanCancel, "unused", display);
    EXPECT_FALSE(result);
    EXPECT_TRUE(cancelledSeen);
    EXPECT_TRUE(display.Questions().empty());
    EXPECT_EQ(display.Title(), "");
}

TEST(RunWithProgress, WorkerStandsStillWhileTheConfirmationIsOpen) {
    CRecordingProgressDisplay display;
    display.QueueAnswer(true);
    std::atomic<long> reports{0};
    long before = 0, after = 0;
    display.whileAsking = [&] {
        before = reports.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        after = reports.load();
    };
    bool result = RunWithProgress(
        [&](IProgress& progress) {
            for (long i = 0; !progress.IsCancelled(); ++i) {
                if (i == 20) display.PostCancel();
                progress.SetProgress(static_cast<int>(i % 100), "working");
                ++reports;
            }
        },
        "Processing", kProgressCanCancel | kProgressConfirmCancel, "Sure?", display);
    EXPECT_FALSE(result);
    // At most the report that was under way when the gate closed completes.
    EXPECT_LE(after - before, 1);
    EXPECT_GE(reports.load(), 20);
}

TEST(RunWithProgress, ExceptionOfTheWorkReachesTheCaller) {
    CRecordingProgressDisplay display;
    EXPECT_THROW(RunWithProgress([](IProgress&) { throw std::runtime_error("boom"); }, "Processing", 0, "", display),
                 std::runtime_error);
    EXPECT_EQ(display.Runs(), 1);
}

}  // namespace
}  // namespace corvid
