#include "util/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>

namespace orv {
namespace {

using namespace std::chrono_literals;

TEST(CancelToken, CallbacksRunOnceOnTheCancellingThreadOrAtOnceWhenAlreadySet) {
    CancelToken token;
    int early = 0;
    std::thread::id ranOn;
    CancelCallback before(token, [&] {
        ++early;
        ranOn = std::this_thread::get_id();
    });
    EXPECT_EQ(early, 0);
    std::thread([&] { token.RequestCancel(); }).join();
    EXPECT_TRUE(token.cancelRequested());
    EXPECT_EQ(early, 1);
    EXPECT_NE(ranOn, std::this_thread::get_id());
    token.RequestCancel();
    EXPECT_EQ(early, 1) << "a second Stop must not run the callbacks again";

    int late = 0;
    CancelCallback after(token, [&] { ++late; });
    EXPECT_EQ(late, 1) << "registering on a set token runs the callback before returning";
}

TEST(CancelToken, AGoneCallbackNeverRunsAndAThrowingOneDoesNotStopTheOthers) {
    CancelToken token;
    int gone = 0;
    int kept = 0;
    {
        CancelCallback c(token, [&] { ++gone; });
    }
    CancelCallback thrower(token, [] { throw std::runtime_error("no"); });
    CancelCallback counter(token, [&] { ++kept; });
    token.RequestCancel();
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(kept, 1);
}

TEST(CancelToken, ACallbackMayRegisterAnotherOnTheSameToken) {
    CancelToken token;
    CancelToken inner;
    int nested = 0;
    std::optional<CancelCallback> second;
    // A relay: one token's Stop sets another, whose own callbacks then run too.
    CancelCallback relay(token, [&] { inner.RequestCancel(); });
    CancelCallback onInner(inner, [&] {
        ++nested;
        second.emplace(token, [&] { ++nested; });
    });
    token.RequestCancel();
    EXPECT_TRUE(inner.cancelRequested());
    EXPECT_EQ(nested, 2);
}

TEST(CancelToken, UnregisteringWaitsForTheCallbackRunningOnAnotherThread) {
    CancelToken token;
    std::promise<void> entered;
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    auto callback = std::make_unique<CancelCallback>(token, [&] {
        entered.set_value();
        while (!release)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    std::thread stopper([&] { token.RequestCancel(); });
    entered.get_future().wait();
    release = true;
    // What the callback touches may go once the registration is gone: it must have finished.
    callback.reset();
    EXPECT_TRUE(finished);
    stopper.join();
}

TEST(CancelToken, ManyThreadsRegisteringWhileAnotherStopsEachRunExactlyOnce) {
    for (int round = 0; round < 20; ++round) {
        CancelToken token;
        std::atomic<int> runs{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    std::atomic<int> mine{0};
                    {
                        CancelCallback c(token, [&] {
                            ++mine;
                            ++runs;
                        });
                    }
                    EXPECT_LE(mine.load(), 1);
                }
            });
        token.RequestCancel();
        for (auto& t : threads)
            t.join();
        EXPECT_LE(runs.load(), 200);
    }
}

} // namespace
} // namespace orv
