// Background queues: work leaves the main loop here and hands its result back with
// RunLoop::main().post(...). Queues made by create() are serial: tasks run one at a time, in order.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velkora::foundation {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    static std::shared_ptr<DispatchQueue> create(std::string label);
    // The shared background queue for short independent jobs. It runs several tasks at once, so
    // callers that need order make a queue of their own.
    static DispatchQueue& global();

    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& label() const;

    void async(std::function<void()> task);
    // Runs the task on the queue and waits for it. Called from a task of this same queue it runs
    // inline instead of waiting on itself for ever.
    void sync(std::function<void()> task);

    // True on a thread that is running a task of this queue.
    bool isCurrent() const;

    // Blocks until every task queued so far, and any they queued in turn, has finished. For tests and
    // orderly shutdown; never call it from a task of this queue.
    void waitUntilIdle();

    struct State;

private:
    DispatchQueue(std::string label, int width);
    std::shared_ptr<State> state_;
};

} // namespace velkora::foundation
