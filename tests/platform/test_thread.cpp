#include "platform/Thread.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <random>
#include <thread>

namespace {

// A worker that hands `body` off to the UI thread in a loop until it is told to stop.
class LoopWorker : public TThread {
public:
    explicit LoopWorker(std::function<void()> onUi = {}) : onUi_(std::move(onUi)) {}
    ~LoopWorker() override {
        Terminate();
        WaitFor();
    }
    std::atomic<int> ran{0};
    std::atomic<int> released{0};
    std::atomic<int> wrongThread{0};
    int limit = -1; // stop after this many hand-offs; -1 runs until terminated

protected:
    void Execute() override {
        while (!Terminated() && limit != 0) {
            auto op = [this] {
                if (!IsUiThread())
                    ++wrongThread;
                if (onUi_)
                    onUi_();
            };
            if (Synchronize(op))
                ++ran;
            else
                ++released;
            if (limit > 0)
                --limit;
        }
    }

private:
    std::function<void()> onUi_;
};

class ThreadTest : public testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(ThreadTest, HandOffRunsOnTheUiThreadThroughTheEventLoop) {
    LoopWorker w;
    w.Start();
    ASSERT_TRUE(SpinUntil([&] { return w.ran >= 50; }));
    w.Terminate();
    w.WaitFor();
    EXPECT_EQ(w.wrongThread, 0);
    EXPECT_TRUE(w.Finished());
}

TEST_F(ThreadTest, TerminateReleasesAHandOffThatNobodyServes) {
    std::atomic<bool> ranOp{false};
    LoopWorker w([&] { ranOp = true; });
    w.Start();
    // The UI thread does not turn the event loop: the first hand-off stays queued until the
    // terminate request releases it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!w.HandOffWaiting() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(w.HandOffWaiting()) << "the worker never reached its hand-off";
    w.Terminate();
    // Joined off the UI thread, which serves nothing: it must still return.
    std::future<void> joined = std::async(std::launch::async, [&] { w.WaitFor(); });
    const bool returned = joined.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) {
        TThread::ServeHandOffs(); // frees the worker so that the test can end
        joined.wait();
    }
    EXPECT_TRUE(returned) << "the terminate request did not release the hand-off";
    EXPECT_EQ(w.released, 1);
    EXPECT_FALSE(ranOp);
    EXPECT_EQ(w.ran, 0);
    EXPECT_TRUE(w.Finished());
}

TEST_F(ThreadTest, WaitForOnTheUiThreadKeepsServingHandOffs) {
    LoopWorker w;
    w.limit = 200; // ends by itself after 200 hand-offs, each of which needs the UI thread
    w.Start();
    w.WaitFor(); // no event loop: WaitFor itself must serve them
    EXPECT_EQ(w.ran, 200);
    EXPECT_EQ(w.released, 0);
}

TEST_F(ThreadTest, AHandOffAlreadyRunningIsFinishedBeforeTheWorkerGoesOn) {
    LoopWorker* self = nullptr;
    std::atomic<int> inside{0};
    LoopWorker w([&] {
        ++inside;
        self->Terminate(); // the stop request arrives while the operation runs
        ++inside;
    });
    self = &w;
    w.Start();
    ASSERT_TRUE(SpinUntil([&] { return w.Finished(); }));
    w.WaitFor();
    EXPECT_EQ(inside, 2);
    EXPECT_EQ(w.ran, 1); // it did run, and the worker was told so
}

TEST_F(ThreadTest, StoppingAtAnyMomentNeverDeadlocks) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        LoopWorker w;
        w.Start();
        const int spins = static_cast<int>(rng() % 4);
        for (int i = 0; i < spins; ++i)
            QCoreApplication::processEvents();
        if (rng() % 2)
            std::this_thread::yield();
        w.Terminate();
        w.WaitFor();
        ASSERT_TRUE(w.Finished()) << round;
    }
}

TEST_F(ThreadTest, SelfOwnedThreadDestroysItselfWhenItsBodyEnds) {
    static std::atomic<int> destroyed{0};
    struct Once : TThread {
        ~Once() override { ++destroyed; }
        void Execute() override {
            auto op = [] {};
            Synchronize(op);
        }
    };
    destroyed = 0;
    for (int i = 0; i < 5; ++i)
        TThread::StartSelfOwned(std::make_unique<Once>());
    EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(10000));
    EXPECT_EQ(destroyed, 5);
}

// A worker that sleeps without a time limit until it is woken, counting its wake-ups.
class Sleeper : public TThread {
public:
    ~Sleeper() override {
        Terminate();
        WaitFor();
    }
    std::atomic<int> wakeups{0};
    std::atomic<bool> sleeping{false};

protected:
    void Execute() override {
        while (!Terminated()) {
            sleeping = true;
            SleepUntilWoken(-1);
            sleeping = false;
            ++wakeups;
        }
    }
};

// Every wake is seen, also one that comes before the sleep starts, and the stop ends a sleep
// that has no time limit (a lost wake would hang here until the test's time-out).
TEST_F(ThreadTest, AWakeIsNeverLostAndTheStopEndsASleepWithoutLimit) {
    Sleeper s;
    for (int round = 0; round < 200; ++round) {
        const int before = s.wakeups;
        s.Wake(); // sometimes before the worker has started or gone back to sleep
        if (round == 0)
            s.Start();
        ASSERT_TRUE(SpinUntil([&] { return s.wakeups > before; }, 10000)) << round;
    }
    ASSERT_TRUE(SpinUntil([&] { return s.sleeping.load(); }, 10000));
    s.Terminate();
    s.WaitFor();
    EXPECT_TRUE(s.Finished());
}

TEST_F(ThreadTest, SynchronizeOnTheUiThreadRunsDirectly) {
    struct Direct : TThread {
        void Execute() override {}
        bool Run() {
            bool ran = false;
            auto op = [&] { ran = true; };
            return Synchronize(op) && ran;
        }
    } d;
    EXPECT_TRUE(d.Run());
}

} // namespace
