// A whole-database comparison's progress on its way from the worker thread to the window: the
// sink coalesces, the window stays responsive, Stop ends the run with what it gathered, and an
// engine that throws ends as a failed run.
#include "event_loop_gaps.h"
#include "test_env.h"
#include "ui/tools/frm_db_compare_progress.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace orv {
namespace {

using namespace std::chrono_literals;

using test::GapMeter;

DbCompareRequest Request() {
    DbCompareRequest r;
    r.Kind = DbCompareKind::All;
    r.Types = {kTypeProcedure};
    r.Server[0].Name = "SRC";
    r.Server[1].Name = "TGT";
    r.Database[0] = "A";
    r.Database[1] = "B";
    return r;
}

// An engine that reports `objects` objects, each a pair, as fast as it can, with a short pause
// every 1000; it stops at the first check after a cancel.
DbCompareEngine BusyEngine(int objects, std::atomic<int>* reported = nullptr,
                           int pauseEvery = 1000) {
    return [objects, reported, pauseEvery](const DbCompareRequest& request, ProgressSink& sink,
                                           const CancelToken& cancel) {
        auto r = std::make_shared<DbCompareResults>();
        r->Kind = request.Kind;
        r->Types = request.Types;
        sink.Begin("Comparing procedures", objects);
        for (int i = 0; i < objects; ++i) {
            if (cancel.cancelRequested()) {
                r->Outcome = RunOutcome::Cancelled;
                r->Problem = "Stopped by the user.";
                return DbCompareResultsPtr(r);
            }
            PairVerdict p;
            p.Type = kTypeProcedure;
            p.Status = PairStatus::Identical;
            p.HasSource = p.HasTarget = true;
            p.Source.Name = p.Target.Name = "p" + std::to_string(i);
            r->Pairs.push_back(p);
            sink.Advance(1, "dbo.p" + std::to_string(i));
            if (reported)
                ++*reported;
            if (i % pauseEvery == pauseEvery - 1)
                std::this_thread::sleep_for(1ms);
        }
        sink.Note("done");
        return DbCompareResultsPtr(r);
    };
}

TEST(ProgressSink, ManyCallsFromAWorkerArriveAsFewSnapshotsWithNothingLost) {
    QtProgressSink sink(20);
    std::vector<ProgressSnapshot> seen;
    QObject::connect(&sink, &QtProgressSink::Changed,
                     [&](const ProgressSnapshot& s) { seen.push_back(s); });
    constexpr int kCalls = 200000;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        sink.Begin("Reading procedures of A", kCalls);
        for (int i = 0; i < kCalls; ++i) {
            sink.Advance(1, "dbo.p" + std::to_string(i));
            if (i % 50000 == 0)
                sink.Warn("w" + std::to_string(i));
        }
        sink.Note("finished");
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    auto arrived = [&] {
        return done && !seen.empty() && seen.back().Done == kCalls && !seen.back().Notes.empty();
    };
    while (!arrived() && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(sink.Calls(), kCalls + 1 + 4 + 1);
    // Coalesced: a snapshot per interval at most, not one per call.
    EXPECT_LT(sink.Deliveries(), 1000);
    EXPECT_EQ(seen.back().Done, kCalls);
    EXPECT_EQ(seen.back().Item, "dbo.p" + std::to_string(kCalls - 1));
    EXPECT_EQ(seen.back().Step, "Reading procedures of A");
    // Every warning and note arrives once, in order.
    std::vector<std::string> warnings, notes;
    for (const ProgressSnapshot& s : seen) {
        warnings.insert(warnings.end(), s.Warnings.begin(), s.Warnings.end());
        notes.insert(notes.end(), s.Notes.begin(), s.Notes.end());
    }
    EXPECT_EQ(warnings, (std::vector<std::string>{"w0", "w50000", "w100000", "w150000"}));
    EXPECT_EQ(notes, std::vector<std::string>{"finished"});
}

TEST(ProgressWindow, ALargeRunNeverStallsTheEventLoopAndEndsWithItsResults) {
    test::TestEnv env;
    frmDbCompareProgress window;
    std::string stepSeen;
    QObject::connect(&window, &frmDbCompareProgress::started, [&] {
        QTimer::singleShot(30, [&] { stepSeen = window.StepLabel()->text().toStdString(); });
    });
    GapMeter gaps;
    DbCompareResultsPtr r =
        window.ShowUp("Compare All Objects", Request(), BusyEngine(20000, nullptr, 100));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Outcome, RunOutcome::Completed);
    EXPECT_EQ(r->Pairs.size(), 20000u);
    EXPECT_LE(gaps.MaxGapMs(), test::kLongestHealthyGapMs);
    EXPECT_EQ(stepSeen, "Comparing procedures");
    // The window's last look shows the whole run.
    EXPECT_EQ(window.CountLabel()->text().toStdString(), "20,000 of 20,000");
    EXPECT_EQ(window.ObjectLabel()->text().toStdString(), "dbo.p19999");
    EXPECT_EQ(window.ProgressGauge()->Value(), 20000);
    EXPECT_EQ(window.windowTitle().toStdString(), "Comparing - Compare All Objects");
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.Running());
}

TEST(ProgressWindow, StopEscapeAndCloseEndTheRunWithWhatWasGathered) {
    test::TestEnv env;
    enum class How { Button, Escape, Close };
    for (How how : {How::Button, How::Escape, How::Close}) {
        frmDbCompareProgress window;
        std::atomic<int> reported{0};
        QObject::connect(&window, &frmDbCompareProgress::started, [&] {
            // Once some objects are in, as a person would.
            auto* poll = new QTimer(&window);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (reported < 500)
                    return;
                poll->stop();
                switch (how) {
                case How::Button:
                    QTest::mouseClick(window.StopButton(), Qt::LeftButton);
                    break;
                case How::Escape:
                    QTest::keyClick(&window, Qt::Key_Escape);
                    break;
                case How::Close:
                    window.close();
                    break;
                }
            });
            poll->start(5);
        });
        // Slow enough that it cannot finish before the stop arrives.
        DbCompareEngine engine = [&](const DbCompareRequest& rq, ProgressSink& sink,
                                     const CancelToken& cancel) {
            auto inner = BusyEngine(100000, &reported, 50);
            return inner(rq, sink, cancel);
        };
        DbCompareResultsPtr r = window.ShowUp("Compare All Procedures", Request(), engine);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Outcome, RunOutcome::Cancelled) << static_cast<int>(how);
        EXPECT_FALSE(r->Complete());
        EXPECT_FALSE(r->AllIdentical());
        EXPECT_GE(r->Pairs.size(), 500u);
        EXPECT_LT(r->Pairs.size(), 100000u);
        EXPECT_TRUE(window.StopRequested());
        EXPECT_FALSE(window.StopButton()->isEnabled());
    }
}

TEST(ProgressWindow, AnEngineThatThrowsOrGivesNothingEndsAsAFailedRun) {
    test::TestEnv env;
    struct Case {
        DbCompareEngine engine;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {[](const DbCompareRequest&, ProgressSink&, const CancelToken&) -> DbCompareResultsPtr {
             throw std::runtime_error("out of luck");
         },
         "out of luck"},
        {[](const DbCompareRequest&, ProgressSink&, const CancelToken&) {
             return DbCompareResultsPtr();
         },
         "The comparison ended without results."},
    };
    for (const Case& c : cases) {
        frmDbCompareProgress window;
        DbCompareResultsPtr r = window.ShowUp("Compare All Views", Request(), c.engine);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Outcome, RunOutcome::Failed);
        EXPECT_EQ(r->Problem, c.problem);
        EXPECT_EQ(r->DbName[1], "B");
        EXPECT_EQ(r->Types, std::vector<ObjectType>{kTypeProcedure});
    }
}

} // namespace
} // namespace orv
