#include "platform/Thread.h"

#include "platform/LinkLog.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <chrono>
#include <mutex>
#include <stdexcept>

#include <sys/eventfd.h>
#include <unistd.h>

// The hand-offs waiting for the UI thread, in the order they were made, and the eventfd that wakes
// the UI thread's event loop when there is one.
class HandOffQueue {
public:
    static HandOffQueue& Get() {
        // Never destroyed: a worker may still hand off while the static objects of the program
        // are torn down at exit.
        static union Holder {
            Holder() : queue() {}
            ~Holder() {}
            HandOffQueue queue;
        } holder;
        return holder.queue;
    }

    std::mutex mutex;
    std::condition_variable changed; // a hand-off finished, a thread ended or was told to stop
    std::atomic<QThread*> uiThread{nullptr};
    int selfOwnedAlive = 0; // guarded by mutex

    void Install() {
        std::lock_guard lock(installMutex_);
        if (notifier_)
            return;
        uiThread.store(QThread::currentThread(), std::memory_order_release);
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ServeAll(); });
    }
    bool Installed() {
        std::lock_guard lock(installMutex_);
        return notifier_ != nullptr;
    }

    // Under mutex.
    void Push(TThread* t) {
        t->nextQueued_ = nullptr;
        if (tail_)
            tail_->nextQueued_ = t;
        else
            head_ = t;
        tail_ = t;
    }
    // Under mutex.
    void Remove(TThread* t) {
        TThread* prev = nullptr;
        for (TThread* p = head_; p; prev = p, p = p->nextQueued_) {
            if (p != t)
                continue;
            (prev ? prev->nextQueued_ : head_) = p->nextQueued_;
            if (tail_ == p)
                tail_ = prev;
            p->nextQueued_ = nullptr;
            return;
        }
    }
    // Under mutex.
    bool Empty() const { return head_ == nullptr; }

    void Wake() {
        const uint64_t one = 1;
        // A full counter still wakes the reader; nothing else can fail on a valid eventfd.
        [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
    }

    // Runs every queued hand-off on the calling (UI) thread. The lock is held only between runs.
    void ServeAll() {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n =
            ::read(fd_, &count, sizeof count); // non-blocking: clears the wake
        std::unique_lock lock(mutex);
        ServeLocked(lock);
    }
    void ServeLocked(std::unique_lock<std::mutex>& lock) {
        while (TThread* t = head_) {
            head_ = t->nextQueued_;
            if (!head_)
                tail_ = nullptr;
            t->nextQueued_ = nullptr;
            t->handOffState_ = TThread::HandOffState::Running;
            FunctionRef* op = t->pendingOp_;
            lock.unlock();
            try {
                (*op)();
            } catch (...) {
                // A hand-off must not take the event loop down; the worker learns nothing of it.
                qCDebug(lcLink, "a hand-off to the UI thread raised: %s",
                        LogText(std::current_exception()));
            }
            lock.lock();
            t->handOffState_ = TThread::HandOffState::Done;
            changed.notify_all();
        }
    }

    HandOffQueue() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (fd_ < 0)
            throw std::runtime_error("eventfd failed");
    }

private:
    int fd_;
    std::mutex installMutex_;
    std::unique_ptr<QSocketNotifier> notifier_;
    TThread* head_ = nullptr;
    TThread* tail_ = nullptr;
};

TThread::TThread() = default;

TThread::~TThread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach(); // a self-owned thread destroying itself at the end of its body
        } else {
            Terminate();
            WaitFor();
        }
    }
}

void TThread::InstallHandOff() {
    HandOffQueue::Get().Install();
}

bool TThread::IsUiThread() noexcept {
    QThread* ui = HandOffQueue::Get().uiThread.load(std::memory_order_acquire);
    return ui != nullptr && ui == QThread::currentThread();
}

void TThread::ServeHandOffs() {
    HandOffQueue::Get().ServeAll();
}

void TThread::Start() {
    if (started_)
        return;
    started_ = true;
    auto& q = HandOffQueue::Get();
    if (!q.Installed() && QCoreApplication::instance() &&
        QCoreApplication::instance()->thread() == QThread::currentThread())
        q.Install();
    // Held while thread_ is assigned: a self-owned body that ends at once must not destroy the
    // object before the assignment is complete.
    std::lock_guard startLock(startMutex_);
    thread_ = std::thread([this] { Body(); });
}

void TThread::StartSelfOwned(std::unique_ptr<TThread> thread) {
    TThread* t = thread.get();
    {
        std::lock_guard lock(HandOffQueue::Get().mutex);
        ++HandOffQueue::Get().selfOwnedAlive;
    }
    t->self_ = std::move(thread);
    try {
        t->Start();
    } catch (...) {
        // No thread (std::system_error): nothing is left to wait for.
        std::unique_ptr<TThread> unstarted = std::move(t->self_);
        std::lock_guard lock(HandOffQueue::Get().mutex);
        --HandOffQueue::Get().selfOwnedAlive;
        HandOffQueue::Get().changed.notify_all();
        throw;
    }
}

void TThread::Body() {
    try {
        Execute();
    } catch (...) {
        // A worker's body ends quietly; the owner sees Finished().
        qCDebug(lcLink, "a worker thread ended by an exception: %s",
                LogText(std::current_exception()));
    }
    auto& q = HandOffQueue::Get();
    std::unique_ptr<TThread> self;
    {
        std::lock_guard lock(q.mutex);
        finished_.store(true, std::memory_order_release);
        self = std::move(self_);
        q.changed.notify_all();
    }
    if (self) {
        { std::lock_guard startLock(startMutex_); } // Start() has finished with the object
        self.reset(); // destroys this object; nothing of it may be touched below
        std::lock_guard lock(q.mutex);
        --q.selfOwnedAlive;
        q.changed.notify_all();
    }
}

void TThread::Terminate() {
    auto& q = HandOffQueue::Get();
    std::lock_guard lock(q.mutex);
    terminated_.store(true, std::memory_order_release);
    q.changed.notify_all();
    // Still under the queue's lock: a self-owned body cannot end and destroy the object before
    // the wake is done.
    Wake();
}

void TThread::Wake() {
    std::lock_guard lock(wakeMutex_);
    wakePending_ = true;
    wakeChanged_.notify_all();
}

void TThread::SleepUntilWoken(int timeoutMs) {
    std::unique_lock lock(wakeMutex_);
    const auto woken = [&] { return wakePending_ || Terminated(); };
    if (timeoutMs < 0)
        wakeChanged_.wait(lock, woken);
    else
        wakeChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), woken);
    wakePending_ = false;
}

void TThread::WaitFor() {
    if (!thread_.joinable())
        return;
    auto& q = HandOffQueue::Get();
    const bool ui = IsUiThread();
    std::unique_lock lock(q.mutex);
    for (;;) {
        q.changed.wait(lock, [&] { return Finished() || (ui && !q.Empty()); });
        if (Finished())
            break;
        q.ServeLocked(lock);
    }
    lock.unlock();
    thread_.join();
}

bool TThread::WaitForSelfOwnedThreads(int timeoutMs) {
    auto& q = HandOffQueue::Get();
    const bool ui = IsUiThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(q.mutex);
    for (;;) {
        const bool ready = q.changed.wait_until(
            lock, deadline, [&] { return q.selfOwnedAlive == 0 || (ui && !q.Empty()); });
        if (q.selfOwnedAlive == 0)
            return true;
        if (!ready)
            return false;
        q.ServeLocked(lock);
    }
}

bool TThread::Synchronize(FunctionRef op) {
    if (IsUiThread()) {
        op();
        return true;
    }
    auto& q = HandOffQueue::Get();
    std::unique_lock lock(q.mutex);
    if (Terminated())
        return false;
    pendingOp_ = &op;
    handOffState_ = HandOffState::Queued;
    q.Push(this);
    q.Wake();               // the event loop
    q.changed.notify_all(); // a WaitFor on the UI thread
    q.changed.wait(lock, [&] {
        return handOffState_ == HandOffState::Done ||
               (Terminated() && handOffState_ == HandOffState::Queued);
    });
    const bool ran = handOffState_ == HandOffState::Done;
    if (!ran)
        q.Remove(this); // released before it started: it never runs
    handOffState_ = HandOffState::Idle;
    pendingOp_ = nullptr;
    return ran;
}

bool TThread::HandOffWaiting() const {
    auto& q = HandOffQueue::Get();
    std::lock_guard lock(q.mutex);
    return handOffState_ == HandOffState::Queued;
}

bool TThread::HandOffEmpty() {
    auto nothing = [] {};
    return Synchronize(nothing);
}
