// Tamra grab library: the timed output scheduler's list, lock and thread.
#include "core/IoScheduler.h"

#include <utility>

namespace tamra {

IoScheduler::Guard::Guard(IoScheduler& scheduler)
    : scheduler_(scheduler),
      owns_(scheduler.lock_.wait(kLockTimeoutMs) == platform::WaitResult::Signaled) {}

IoScheduler::Guard::~Guard() {
    if (owns_) scheduler_.lock_.release();
}

IoScheduler::~IoScheduler() {
    stopThread();
    clear();
}

void IoScheduler::insert(std::unique_ptr<Event> event) {
    std::unique_ptr<Event>* link = &head_;
    while (*link && (*link)->dueTime < event->dueTime) link = &(*link)->next;
    event->next = std::move(*link);
    *link = std::move(event);
}

std::unique_ptr<IoScheduler::Event> IoScheduler::takeDue(double now) {
    if (!head_ || now < head_->dueTime) return nullptr;
    std::unique_ptr<Event> due = std::move(head_);
    head_ = std::move(due->next);
    return due;
}

bool IoScheduler::startThread(std::function<std::uint32_t()> body) {
    quit_.store(0);
    return thread_.start(std::move(body));
}

void IoScheduler::stopThread() {
    if (!thread_.joinable()) return;
    quit_.store(1);
    wakeEvent_.set();
    thread_.join();
}

// Iterative, so that a long list cannot exhaust the stack through nested destructors.
void IoScheduler::clear() {
    std::unique_ptr<Event> entry = std::move(head_);
    while (entry) entry = std::move(entry->next);
}

}  // namespace tamra
