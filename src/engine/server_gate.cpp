#include "engine/server_gate.h"

#include "engine/server.h"

namespace engine {

void ServerGate::lockShared() {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [&] { return !exclusive_ && exclusiveWaiting_ == 0; });
    ++shared_;
}

void ServerGate::unlockShared() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (--shared_ == 0) changed_.notify_all();
}

void ServerGate::lock() {
    std::unique_lock<std::mutex> guard(mutex_);
    ++exclusiveWaiting_;
    changed_.wait(guard, [&] { return !exclusive_ && shared_ == 0; });
    --exclusiveWaiting_;
    exclusive_ = true;
}

void ServerGate::unlock() {
    std::lock_guard<std::mutex> guard(mutex_);
    exclusive_ = false;
    changed_.notify_all();
}

namespace {

// The locks the thread holds, newest first (one per server: a thread may work on two).
thread_local CallLock* heldLocks = nullptr;

}  // namespace

CallLock* CallLock::current(const Server& server) {
    for (CallLock* held = heldLocks; held; held = held->previous_) {
        if (&held->server_ == &server) return held;
    }
    return nullptr;
}

CallLock::CallLock(Server& server, DatabaseEntry* home) : server_(server), home_(home) {
    if (CallLock* held = current(server)) {
        outer_ = held;
        if (!held->exclusive() && (!home || home != held->home())) held->widen();
        return;
    }
    previous_ = heldLocks;
    heldLocks = this;
    acquire();
}

CallLock::~CallLock() {
    if (outer_) return;
    if (owned_) release();
    heldLocks = previous_;
}

void CallLock::acquire() {
    if (home_) {
        server_.gate().lockShared();
        home_->latch.lock();
    } else {
        server_.gate().lock();
    }
    owned_ = true;
}

void CallLock::release() {
    owned_ = false;
    if (home_) {
        home_->latch.unlock();
        server_.gate().unlockShared();
    } else {
        server_.gate().unlock();
    }
}

void CallLock::lock() {
    if (outer_) return outer_->lock();
    acquire();
}

void CallLock::unlock() {
    if (outer_) return outer_->unlock();
    release();
}

bool CallLock::owns_lock() const {
    return outer_ ? outer_->owns_lock() : owned_;
}

void CallLock::widen() {
    if (outer_) return outer_->widen();
    if (!home_) return;
    const bool held = owned_;
    if (held) release();
    home_ = nullptr;
    if (held) acquire();
}

}  // namespace engine
