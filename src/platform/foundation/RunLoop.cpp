#include "platform/foundation/RunLoop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>

namespace velkora::foundation {

Date SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

Timer::Timer(double interval, bool repeats, Callback callback)
    : interval_(interval < 0 ? 0 : interval), repeats_(repeats), callback_(std::move(callback)) {
    // A repeating timer with no period would spin; the platform uses a tenth of a millisecond.
    if (repeats_ && interval_ <= 0) interval_ = 0.0001;
}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback) {
    return RunLoop::main().schedule(interval, repeats, std::move(callback));
}

void Timer::invalidate() {
    if (!valid_.exchange(false)) return;
    if (loop_) loop_->removeTimer(this);
}

void Timer::fire() {
    if (!isValid()) return;
    if (!repeats_) invalidate();
    if (callback_) {
        auto cb = callback_;  // the callback may drop the last reference to what it captures
        cb(*this);
    }
}

RunLoop::RunLoop() : clock_(std::make_shared<SystemClock>()), thread_(std::this_thread::get_id()) {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

RunLoop::~RunLoop() {
    if (wakeFd_ >= 0) close(wakeFd_);
}

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop();  // never destroyed: timers may outlive static destruction order
    return *loop;
}

Date RunLoop::now() const {
    std::lock_guard lock(mutex_);
    return clock_->now();
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(mutex_);
    clock_ = clock ? std::move(clock) : std::make_shared<SystemClock>();
    testClock_ = std::dynamic_pointer_cast<TestClock>(clock_);
}

TestClock& RunLoop::useTestClock(Date start) {
    if (start < 0) start = std::floor(SystemClock().now());
    auto clock = std::make_shared<TestClock>(start);
    setClock(clock);
    return *clock;
}

void RunLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wakeUp();
}

namespace {

// Answers the waiter of postAndWait however its task ends: run, thrown, or dropped unrun, in which case
// the last copy of the posted task lets go of it here.
class WaitedTask {
public:
    explicit WaitedTask(std::promise<bool> promise) : promise_(std::move(promise)) {}
    ~WaitedTask() {
        if (!answered_) promise_.set_value(false);
    }
    WaitedTask(const WaitedTask&) = delete;
    WaitedTask& operator=(const WaitedTask&) = delete;

    void run(const std::function<void()>& task) {
        answered_ = true;
        try {
            task();
            promise_.set_value(true);
        } catch (...) {
            promise_.set_exception(std::current_exception());
        }
    }

private:
    std::promise<bool> promise_;
    bool answered_ = false;
};

} // namespace

bool RunLoop::postAndWait(std::function<void()> task) {
    if (isLoopThread()) {
        task();
        return true;
    }
    std::promise<bool> promise;
    auto future = promise.get_future();
    // Only the posted task holds it, so dropping the task answers the waiter.
    post([waited = std::make_shared<WaitedTask>(std::move(promise)), task = std::move(task)] { waited->run(task); });
    return future.get();
}

std::shared_ptr<Timer> RunLoop::schedule(double interval, bool repeats, Timer::Callback callback) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    addTimer(timer);
    return timer;
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer) {
    {
        std::lock_guard lock(mutex_);
        timer->loop_ = this;
        timer->fireDate_ = clock_->now() + timer->interval_;
        timer->sequence_ = nextSequence_++;
        timers_[{timer->fireDate_, timer->sequence_}] = timer;
    }
    wakeUp();
}

void RunLoop::removeTimer(Timer* timer) {
    std::lock_guard lock(mutex_);
    auto it = timers_.find({timer->fireDate_, timer->sequence_});
    if (it != timers_.end() && it->second.get() == timer) timers_.erase(it);
}

size_t RunLoop::scheduledTimerCount() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

bool RunLoop::runTasks() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& t : batch) t();
    return !batch.empty();
}

std::shared_ptr<Timer> RunLoop::popDueTimer(Date upTo) {
    std::lock_guard lock(mutex_);
    if (timers_.empty()) return nullptr;
    auto it = timers_.begin();
    if (it->first.first > upTo) return nullptr;
    auto timer = it->second;
    timers_.erase(it);
    return timer;
}

void RunLoop::fireTimer(const std::shared_ptr<Timer>& timer) {
    if (!timer->isValid()) return;
    if (timer->repeats_) {
        std::lock_guard lock(mutex_);
        Date now = clock_->now();
        Date next = timer->fireDate_ + timer->interval_;
        // A late repeating timer skips the periods it missed rather than firing in a burst.
        if (next <= now) next += std::ceil((now - next) / timer->interval_ + 1e-9) * timer->interval_;
        if (next <= now) next = now + timer->interval_;
        timer->fireDate_ = next;
        timer->sequence_ = nextSequence_++;
        timers_[{timer->fireDate_, timer->sequence_}] = timer;
    } else {
        timer->valid_.store(false);
    }
    if (timer->callback_) {
        auto cb = timer->callback_;
        cb(*timer);
    }
}

bool RunLoop::fireDueTimers(Date upTo) {
    bool fired = false;
    // Only timers already due when the pass starts: one that re-arms at once waits for the next pass.
    std::vector<std::shared_ptr<Timer>> due;
    while (auto t = popDueTimer(upTo)) due.push_back(std::move(t));
    for (auto& t : due) {
        fireTimer(t);
        fired = true;
    }
    return fired;
}

double RunLoop::nextTimerDelay() const {
    std::lock_guard lock(mutex_);
    if (timers_.empty() || testClock_) return -1;
    return std::max(0.0, timers_.begin()->first.first - clock_->now());
}

void RunLoop::advance(double seconds) {
    if (!testClock_) return;
    adoptCurrentThread();
    Date target = testClock_->now() + std::max(0.0, seconds);
    runTasks();
    for (;;) {
        std::shared_ptr<Timer> timer = popDueTimer(target);
        if (!timer) break;
        if (timer->fireDate_ > testClock_->now()) testClock_->set(timer->fireDate_);
        fireTimer(timer);
        runTasks();
    }
    testClock_->set(target);
    runTasks();
}

bool RunLoop::runOnce(double timeoutSeconds) {
    adoptCurrentThread();
    bool did = runTasks();
    did |= fireDueTimers(now());

    std::vector<pollfd> fds;
    fds.push_back({wakeFd_, POLLIN, 0});
    std::vector<std::pair<IoSource*, size_t>> ranges;
    double wait = did ? 0.0 : std::max(0.0, timeoutSeconds);
    {
        std::lock_guard lock(mutex_);
        if (!tasks_.empty()) wait = 0;
    }
    double timerDelay = nextTimerDelay();
    if (timerDelay >= 0) wait = std::min(wait, timerDelay);
    std::vector<IoSource*> sources;
    {
        std::lock_guard lock(mutex_);
        sources = sources_;
    }
    for (IoSource* s : sources) {
        size_t first = fds.size();
        int limit = s->prepare(fds);
        if (limit >= 0) wait = std::min(wait, limit / 1000.0);
        ranges.emplace_back(s, first);
    }
    int waitMs = static_cast<int>(std::ceil(wait * 1000.0));
    int n = ::poll(fds.data(), fds.size(), waitMs);
    if (n > 0 && (fds[0].revents & POLLIN)) {
        uint64_t v;
        while (::read(wakeFd_, &v, sizeof v) > 0) {
        }
    }
    for (size_t i = 0; i < ranges.size(); ++i) {
        size_t first = ranges[i].second;
        size_t last = i + 1 < ranges.size() ? ranges[i + 1].second : fds.size();
        bool stillRegistered;
        {
            std::lock_guard lock(mutex_);
            stillRegistered = std::find(sources_.begin(), sources_.end(), ranges[i].first) != sources_.end();
        }
        if (stillRegistered) ranges[i].first->dispatch(fds.data() + first, last - first);
    }
    did |= runTasks();
    did |= fireDueTimers(now());
    return did || n > 0;
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds) {
    using namespace std::chrono;
    auto deadline = steady_clock::now() + duration<double>(realTimeoutSeconds);
    while (!predicate()) {
        if (steady_clock::now() >= deadline) return predicate();
        runOnce(0.01);
    }
    return true;
}

void RunLoop::run() {
    stopped_ = false;
    while (!stopped_) runOnce(1.0);
}

void RunLoop::stop() {
    stopped_ = true;
    wakeUp();
}

bool RunLoop::isLoopThread() const { return thread_.load() == std::this_thread::get_id(); }

void RunLoop::adoptCurrentThread() { thread_.store(std::this_thread::get_id()); }

void RunLoop::addSource(IoSource* source) {
    {
        std::lock_guard lock(mutex_);
        if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
    }
    wakeUp();
}

void RunLoop::removeSource(IoSource* source) {
    std::lock_guard lock(mutex_);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void RunLoop::wakeUp() {
    // On the loop's own thread the loop is not waiting: it looks at its tasks and sources again before
    // it next waits.
    if (wakeFd_ < 0 || isLoopThread()) return;
    uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(wakeFd_, &one, sizeof one);
}

void RunLoop::reset() {
    std::map<std::pair<Date, uint64_t>, std::shared_ptr<Timer>> timers;
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        timers.swap(timers_);
        tasks.swap(tasks_);
        clock_ = std::make_shared<SystemClock>();
        testClock_.reset();
    }
    for (auto& [k, t] : timers) t->valid_.store(false);
}

}  // namespace velkora::foundation
