#include "platform/foundation/DispatchQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"

namespace velkora::foundation {

// The workers hold the state, not the queue, so a queue dropped while its tasks run (even by one of its
// own tasks) finishes what it was given and its threads end on their own.
struct DispatchQueue::State {
    std::string label;
    int width = 1;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> tasks;
    int running = 0;
    int threads = 0;
    bool closing = false;
    std::vector<std::thread::id> current;

    void work();
};

namespace {
thread_local const DispatchQueue::State* tlsCurrent = nullptr;
}

void DispatchQueue::State::work() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return closing || !tasks.empty(); });
        if (tasks.empty()) break; // closing and nothing left
        auto task = std::move(tasks.front());
        tasks.pop_front();
        ++running;
        lock.unlock();
        tlsCurrent = this;
        if (task) task();
        task = nullptr; // what the task captured dies before the queue counts it finished
        tlsCurrent = nullptr;
        lock.lock();
        --running;
        if (tasks.empty() && running == 0) idle.notify_all();
    }
    --threads;
    idle.notify_all();
}

DispatchQueue::DispatchQueue(std::string label, int width) : state_(std::make_shared<State>()) {
    state_->label = std::move(label);
    state_->width = width < 1 ? 1 : width;
}

DispatchQueue::~DispatchQueue() {
    std::lock_guard lock(state_->mutex);
    state_->closing = true;
    state_->wake.notify_all();
}

std::shared_ptr<DispatchQueue> DispatchQueue::create(std::string label) {
    return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::move(label), 1));
}

DispatchQueue& DispatchQueue::global() {
    static DispatchQueue* queue = new DispatchQueue("velkora.global", 4); // never destroyed, like the loop
    return *queue;
}

const std::string& DispatchQueue::label() const {
    return state_->label;
}

void DispatchQueue::async(std::function<void()> task) {
    auto st = state_;
    std::lock_guard lock(st->mutex);
    st->tasks.push_back(std::move(task));
    // Threads start on demand and stay for the life of the queue.
    size_t idleThreads = static_cast<size_t>(st->threads - st->running);
    if (st->threads < st->width && idleThreads < st->tasks.size()) {
        ++st->threads;
        std::thread([st] { st->work(); }).detach();
    }
    st->wake.notify_one();
}

void DispatchQueue::sync(std::function<void()> task) {
    if (isCurrent()) {
        if (task) task();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    async([&] {
        if (task) task();
        done.set_value();
    });
    future.wait();
}

bool DispatchQueue::isCurrent() const {
    return tlsCurrent == state_.get();
}

void DispatchQueue::waitUntilIdle() {
    if (isCurrent()) {
        Log::write("Velkora (E) - waitUntilIdle called from its own queue " + state_->label);
        return;
    }
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [&] { return state_->tasks.empty() && state_->running == 0; });
}

} // namespace velkora::foundation
