#include "engine/lock_manager.h"

#include "engine/server_gate.h"

#include <set>
#include <vector>

namespace engine {

namespace {

bool conflicts(LockMode requested, LockMode held) {
    return requested == LockMode::Exclusive || held == LockMode::Exclusive;
}

}  // namespace

bool LockManager::holds(int session, int32_t resource, LockMode mode) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto r = granted_.find(resource);
    if (r == granted_.end()) return false;
    auto h = r->second.find(session);
    if (h == r->second.end()) return false;
    return mode == LockMode::Shared || h->second == LockMode::Exclusive;
}

bool LockManager::locked(int32_t resource) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto r = granted_.find(resource);
    return r != granted_.end() && !r->second.empty();
}

bool LockManager::grantable(int session, int32_t resource, LockMode mode) const {
    auto r = granted_.find(resource);
    if (r == granted_.end()) return true;
    for (const auto& [holder, held] : r->second) {
        if (holder != session && conflicts(mode, held)) return false;
    }
    return true;
}

void LockManager::grant(int session, int32_t resource, LockMode mode) {
    LockMode& held = granted_[resource].try_emplace(session, mode).first->second;
    if (mode == LockMode::Exclusive) held = LockMode::Exclusive;
}

// Whether `session`, waiting for `resource` in `mode`, would wait (through the sessions
// it waits for, and the sessions those wait for ...) for itself.
bool LockManager::closesCycle(int session, int32_t resource, LockMode mode) const {
    std::vector<Waiting> pending{{resource, mode}};
    std::vector<int> pendingWaiter{session};
    std::set<int> seen;
    while (!pending.empty()) {
        Waiting w = pending.back();
        int waiter = pendingWaiter.back();
        pending.pop_back();
        pendingWaiter.pop_back();
        auto r = granted_.find(w.resource);
        if (r == granted_.end()) continue;
        for (const auto& [holder, held] : r->second) {
            if (holder == waiter || !conflicts(w.mode, held)) continue;
            if (holder == session) return true;
            if (!seen.insert(holder).second) continue;
            auto next = waiting_.find(holder);
            if (next == waiting_.end()) continue;
            pending.push_back(next->second);
            pendingWaiter.push_back(holder);
        }
    }
    return false;
}

LockManager::Outcome LockManager::acquire(int session, int32_t resource, LockMode mode,
                                          CallLock& callLock, std::chrono::milliseconds timeout,
                                          const std::stop_token& cancel) {
    std::unique_lock<std::mutex> guard(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!grantable(session, resource, mode)) {
        if (cancel.stop_requested()) return Outcome::Cancelled;
        if (timeout.count() == 0) return Outcome::TimedOut;
        if (timeout.count() > 0 && std::chrono::steady_clock::now() >= deadline)
            return Outcome::TimedOut;
        if (closesCycle(session, resource, mode)) return Outcome::Deadlock;
        waiting_[session] = Waiting{resource, mode};
        // Woken by every release (and by cancellation); the loop then checks everything
        // again, since other sessions ran meanwhile. The call's hold is given up while
        // waiting and taken again before this mutex (the order every caller keeps).
        const uint64_t seen = generation_;
        auto changed = [&] { return generation_ != seen; };
        callLock.unlock();
        if (timeout.count() < 0) {
            changed_.wait(guard, cancel, changed);
        } else {
            changed_.wait_until(guard, cancel, deadline, changed);
        }
        waiting_.erase(session);
        guard.unlock();
        callLock.lock();
        guard.lock();
    }
    grant(session, resource, mode);
    return Outcome::Granted;
}

bool LockManager::tryAcquire(int session, int32_t resource, LockMode mode) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!grantable(session, resource, mode)) return false;
    grant(session, resource, mode);
    return true;
}

void LockManager::releaseShared(int session) {
    std::lock_guard<std::mutex> guard(mutex_);
    bool any = false;
    for (auto r = granted_.begin(); r != granted_.end();) {
        auto h = r->second.find(session);
        if (h != r->second.end() && h->second == LockMode::Shared) {
            r->second.erase(h);
            any = true;
        }
        r = r->second.empty() ? granted_.erase(r) : std::next(r);
    }
    if (any) wakeWaiters();
}

void LockManager::releaseAll(int session) {
    std::lock_guard<std::mutex> guard(mutex_);
    bool any = false;
    for (auto r = granted_.begin(); r != granted_.end();) {
        any = r->second.erase(session) > 0 || any;
        r = r->second.empty() ? granted_.erase(r) : std::next(r);
    }
    if (any) wakeWaiters();
}

void LockManager::wakeWaiters() {
    ++generation_;
    changed_.notify_all();
}

bool LockManager::sleepUntil(CallLock& callLock, std::chrono::steady_clock::time_point deadline,
                             const std::stop_token& cancel) {
    callLock.unlock();
    {
        // Lock releases wake this too: the predicate keeps it asleep until the deadline.
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait_until(guard, cancel, deadline, [] { return false; });
    }
    callLock.lock();
    return !cancel.stop_requested();
}

}  // namespace engine
