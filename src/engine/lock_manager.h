// Locks that keep sessions' transactions apart: shared and exclusive locks on databases
// (by database id), held by sessions (by session id), with the waits for them and the
// detection of deadlocks among the waiters.
//
// Locks follow two-phase locking: a session only gains locks while its statement or
// transaction runs, and gives them back all at once (shared ones at the end of each
// statement, exclusive ones when the transaction ends). A session's own locks never
// block it; a shared lock it holds is raised to exclusive when no other session holds
// the database.
//
// A session that must wait gives up what its call holds on the server (CallLock) while it
// waits, so that the session it waits for can go on and finish. Requests are granted by compatibility with
// the granted locks only (no queue), so a waiter takes its turn when it wakes and finds
// the database free.
//
// Thread-safety: thread-safe (calls in different databases use it at the same time); the
// CallLock passed to acquire()/sleepUntil() is the caller's, held.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <stop_token>

namespace engine {

class CallLock;

enum class LockMode { Shared, Exclusive };

class LockManager {
  public:
    enum class Outcome {
        Granted,
        Deadlock,   // waiting would close a cycle of waiting sessions: the caller is the victim
        TimedOut,   // the database did not come free within the timeout
        Cancelled,  // the caller's request was cancelled while it waited
    };

    // Grants `mode` on `resource` to `session`, waiting while another session holds a lock
    // that conflicts with it. timeout: how long to wait (negative: for as long as it takes;
    // zero: not at all).
    Outcome acquire(int session, int32_t resource, LockMode mode,
                    CallLock& callLock, std::chrono::milliseconds timeout,
                    const std::stop_token& cancel);
    // Grants it only if no other session's lock conflicts (no waiting).
    bool tryAcquire(int session, int32_t resource, LockMode mode);

    // True when `session` holds `resource` in `mode` or a stronger mode.
    bool holds(int session, int32_t resource, LockMode mode) const;
    // True when any session holds a lock on `resource`.
    bool locked(int32_t resource) const;

    // Gives back the session's shared locks (end of a statement) or all of them (end of a
    // transaction, or of an autocommit statement); wakes the sessions that wait.
    void releaseShared(int session);
    void releaseAll(int session);

    // Sleeps until `deadline` with the call's hold released; false when cancelled.
    bool sleepUntil(CallLock& callLock, std::chrono::steady_clock::time_point deadline,
                    const std::stop_token& cancel);

  private:
    struct Waiting {
        int32_t resource;
        LockMode mode;
    };

    bool grantable(int session, int32_t resource, LockMode mode) const;
    bool closesCycle(int session, int32_t resource, LockMode mode) const;
    void grant(int session, int32_t resource, LockMode mode);
    void wakeWaiters();

    mutable std::mutex mutex_;
    // resource -> session -> mode held
    std::map<int32_t, std::map<int, LockMode>> granted_;
    // session -> what it waits for
    std::map<int, Waiting> waiting_;
    std::condition_variable_any changed_;
    uint64_t generation_ = 0;  // counts releases, so that a waiter sees that one happened
};

}  // namespace engine
