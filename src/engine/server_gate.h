// What lets sessions of one server run at the same time: a call (a batch, a group of row
// operations) that works in one database only holds the server's gate shared and that
// database's latch, so calls in different databases run in parallel threads and calls in
// the same database one after the other, as all calls did under one server mutex. A call
// that reaches anything else - another database, the list of databases, logins, attaching
// and detaching - holds the gate exclusively, which waits until no call holds it shared.
//
// A call starts shared when its session has a current database; the server's members
// raise it to exclusive the first time it reaches past that database (CallLock::widen).
// Widening lets go of everything for a moment, as waiting for a lock does: what the call
// has locked (LockManager) stays as it was, the rest may change meanwhile.
//
// The gate prefers exclusive requests: with many sessions taking turns in their own
// databases it is seldom free, and a session that connects or changes database would
// otherwise wait for ever.
#pragma once

#include <condition_variable>
#include <mutex>

namespace engine {

class Server;
struct DatabaseEntry;

class ServerGate {
  public:
    void lockShared();
    void unlockShared();
    void lock();
    void unlock();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int shared_ = 0;
    int exclusiveWaiting_ = 0;
    bool exclusive_ = false;
};

// What a call holds on the server, taken on construction and let go on destruction; it can
// be let go and taken again meanwhile (lock()/unlock(), while the call waits). A CallLock
// made on a thread that already holds one on the same server borrows it (widening it when
// the new one must be exclusive or is for another database).
class CallLock {
  public:
    // Exclusive when home is null, otherwise shared in home.
    CallLock(Server& server, DatabaseEntry* home);
    ~CallLock();
    CallLock(const CallLock&) = delete;
    CallLock& operator=(const CallLock&) = delete;

    void lock();
    void unlock();
    bool owns_lock() const;

    // From shared to exclusive (nothing when it is exclusive already).
    void widen();
    bool exclusive() const { return outer_ ? outer_->exclusive() : home_ == nullptr; }
    // The database of a shared call; null once exclusive.
    DatabaseEntry* home() const { return outer_ ? outer_->home() : home_; }

    // The lock the calling thread holds on `server`, or null.
    static CallLock* current(const Server& server);

  private:
    void acquire();
    void release();

    Server& server_;
    DatabaseEntry* home_;
    CallLock* outer_ = nullptr;  // the thread's lock this one borrows
    CallLock* previous_ = nullptr;  // the thread's lock on another server, if any
    bool owned_ = false;
};

}  // namespace engine
