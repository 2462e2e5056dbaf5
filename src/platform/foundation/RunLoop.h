// The main run loop: posted tasks, one-shot and repeating timers, and I/O sources (the URL connections),
// all delivered on one thread in order. The clock is injectable so tests move time with advance() and
// never sleep.
#pragma once

#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velkora::foundation {

// Seconds since 1970.
using Date = double;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
};

class SystemClock final : public Clock {
public:
    Date now() const override;
};

// A clock that moves only when told to.
class TestClock final : public Clock {
public:
    explicit TestClock(Date start) : now_(start) {}
    Date now() const override { return now_.load(); }
    void set(Date t) { now_.store(t); }

private:
    std::atomic<Date> now_;
};

class RunLoop;

class Timer {
public:
    using Callback = std::function<void(Timer&)>;

    // A timer on the main run loop, as the platform's scheduled timers.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    void invalidate();
    bool isValid() const { return valid_.load(); }
    Date fireDate() const { return fireDate_; }
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }
    // Fires now without changing the schedule; a one-shot timer is invalidated by it.
    void fire();

    Timer(double interval, bool repeats, Callback callback);

private:
    friend class RunLoop;
    double interval_;
    bool repeats_;
    Callback callback_;
    Date fireDate_ = 0;
    uint64_t sequence_ = 0;
    std::atomic<bool> valid_{true};
    RunLoop* loop_ = nullptr;
};

// A source of I/O polled by the loop, such as the multi handle of the URL connections.
class IoSource {
public:
    virtual ~IoSource() = default;
    // Adds the descriptors to wait on; answers the longest wait in milliseconds the source allows
    // (-1 for no limit).
    virtual int prepare(std::vector<pollfd>& fds) = 0;
    // Called after every wait with the descriptors the source added (revents filled in), even when none
    // became ready, so the source can run its own timeouts.
    virtual void dispatch(const pollfd* fds, size_t count) = 0;
};

class RunLoop {
public:
    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    static RunLoop& main();

    Date now() const;
    void setClock(std::shared_ptr<Clock> clock);
    // Switches to a test clock starting at `start` (default: the real time now, so time stamps look real).
    TestClock& useTestClock(Date start = -1);
    bool hasTestClock() const { return testClock_ != nullptr; }
    // Moves the test clock forward, firing every timer that falls due on the way, in time order, with
    // the clock set to each timer's fire date; posted tasks run between them.
    void advance(double seconds);
    // Pumps the loop (tasks, due timers, real I/O) until the predicate holds or the real timeout passes.
    bool runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds = 20.0);

    // Thread-safe; the task runs on the loop thread, never inside the call that posts it.
    void post(std::function<void()> task);
    // Runs the task on the loop thread and waits for it; inline when already on the loop thread. The
    // waiting side always wakes: true once the task ran, false when a reset (or the loop's end) dropped
    // it unrun; what the task throws is thrown again on the waiting side.
    bool postAndWait(std::function<void()> task);

    std::shared_ptr<Timer> schedule(double interval, bool repeats, Timer::Callback callback);

    void run();
    void stop();
    // One pass: tasks, due timers, then waits at most `timeoutSeconds` for I/O or a wake-up.
    bool runOnce(double timeoutSeconds);
    bool isLoopThread() const;
    // The loop thread is the one that created the loop, until run() or runOnce() is called from another.
    void adoptCurrentThread();

    void addSource(IoSource* source);
    void removeSource(IoSource* source);
    void wakeUp();

    size_t scheduledTimerCount() const;
    // Drops every timer and task and returns to the system clock; for tests that need a fresh loop.
    void reset();

private:
    friend class Timer;
    void addTimer(const std::shared_ptr<Timer>& timer);
    void removeTimer(Timer* timer);
    bool runTasks();
    bool fireDueTimers(Date upTo);
    std::shared_ptr<Timer> popDueTimer(Date upTo);
    void fireTimer(const std::shared_ptr<Timer>& timer);
    double nextTimerDelay() const;

    mutable std::mutex mutex_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<TestClock> testClock_;
    std::deque<std::function<void()>> tasks_;
    std::map<std::pair<Date, uint64_t>, std::shared_ptr<Timer>> timers_;
    uint64_t nextSequence_ = 0;
    std::vector<IoSource*> sources_;
    std::atomic<std::thread::id> thread_;
    std::atomic<bool> stopped_{false};
    int wakeFd_ = -1;
};

}  // namespace velkora::foundation
