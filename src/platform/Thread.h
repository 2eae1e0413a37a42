#pragma once
// The toolkit's thread class: a worker with a terminate request, a wait for its end, and a
// hand-off that runs an operation on the UI thread and waits until it has run.
//
// The hand-off wakes the UI thread through an eventfd watched by the Qt event loop, so a hand-off
// costs no allocation. Asking a thread to terminate releases a hand-off that has not started;
// one already running on the UI thread is waited for (it refers to the worker's stack). A wait
// for a thread's end on the UI thread keeps serving hand-offs, so stopping never deadlocks.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

// A non-owning reference to a callable, so a hand-off needs no allocation.
class FunctionRef {
public:
    template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef>) FunctionRef(F& f)
    noexcept
        : object_(static_cast<void*>(std::addressof(f))),
          call_([](void* o) { (*static_cast<F*>(o))(); }) {}
    void operator()() const { call_(object_); }

private:
    void* object_;
    void (*call_)(void*);
};

class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the body. Call once.
    void Start();
    // Starts a thread that owns itself: the object is destroyed on its own thread when its body
    // has ended. Nobody may touch it after Terminate() unless they know it still runs.
    static void StartSelfOwned(std::unique_ptr<TThread> thread);

    // Asks the body to end; releases a hand-off that is waiting to run and wakes a body that
    // sleeps in SleepUntilWoken. Returns at once.
    void Terminate();
    // Wakes the body from SleepUntilWoken (any thread). A wake that comes while the body is not
    // sleeping makes its next sleep return at once, so none is lost.
    void Wake();
    bool Terminated() const noexcept { return terminated_.load(std::memory_order_acquire); }
    // Waits until the body has ended and joins it. On the UI thread it serves the hand-offs of
    // every worker while it waits.
    void WaitFor();
    bool Finished() const noexcept { return finished_.load(std::memory_order_acquire); }
    // True while a hand-off of this thread waits in the queue and has not started (tests).
    bool HandOffWaiting() const;

    // Must be called once on the UI thread (the thread that runs the Qt event loop) before a
    // worker hands anything off. Start() calls it too when it runs on the UI thread.
    static void InstallHandOff();
    static bool IsUiThread() noexcept;
    // Runs every hand-off that is waiting (UI thread only). The event loop does this by itself;
    // tests and modal waits may call it.
    static void ServeHandOffs();
    // Waits (serving hand-offs when on the UI thread) until every self-owned thread has ended, or
    // the deadline passes. For an orderly exit and for tests. Returns true when none is left.
    static bool WaitForSelfOwnedThreads(int timeoutMs);

protected:
    virtual void Execute() = 0;
    // Runs op on the UI thread and waits until it has run. Returns false without running it when
    // the thread has been asked to terminate first. On the UI thread itself op runs directly.
    bool Synchronize(FunctionRef op);
    template <typename F> bool Synchronize(F&& op) {
        auto& ref = op;
        return Synchronize(FunctionRef(ref));
    }
    // Hands off an operation that does nothing: waits until the UI thread has processed the
    // work queued for it before this call (among it the port's receive events). Always a real
    // hand-off: an event loop last seen waiting may be running a long timer or socket handler
    // right now, and everything queued meanwhile must have been served when this returns.
    bool HandOffEmpty();
    // Sleeps until Wake() or Terminate() is called or timeoutMs has passed (a negative timeout
    // waits without limit). Returns at once when a wake came since the last sleep.
    void SleepUntilWoken(int timeoutMs);

private:
    friend class HandOffQueue;
    enum class HandOffState { Idle, Queued, Running, Done };

    void Body();

    std::thread thread_;
    std::mutex startMutex_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;
    std::unique_ptr<TThread> self_; // set for a self-owned thread

    std::mutex wakeMutex_;
    std::condition_variable wakeChanged_;
    bool wakePending_ = false; // guarded by wakeMutex_

    // The one hand-off this thread may have pending, guarded by the queue's mutex.
    FunctionRef* pendingOp_ = nullptr;
    HandOffState handOffState_ = HandOffState::Idle;
    TThread* nextQueued_ = nullptr;
};
