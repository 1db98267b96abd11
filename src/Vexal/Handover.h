// SPDX-License-Identifier: MIT
// How the threads of a monitor connection hand work to each other: the
// outgoing message from its builder to the sender (Outbox), and the end of a
// monitor's fetch to the application threads waiting in VexalShowStatus or
// VexalShowList (ReportGate). Every wait here is bounded except the sender's
// wait for new work.
#pragma once

#include "Protocol.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>

namespace vexal::comm {

using protocol::kReplyTimeout;

// At most this many replies go to the sender in one hand-over, and out in one
// write: the answers to requests that arrived together.
inline constexpr int kBatchMax = 64;

// Hands outgoing messages, one or one batch at a time, from whoever built
// them (the receiver or an application thread) to the sender, the only
// writer to the socket. Tickets rather than bare counts tie each "sent" to
// its own hand-over, so a wait that once timed out cannot make a later one
// return early. Everything here changes and is read only under the mutex.
class Outbox {
public:
    void open()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        posted_ = 0;
        taken_ = 0;
        sent_ = 0;
        open_ = true;
    }

    // After this, deliveries fail at once and the sender's take() fails.
    void close()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = false;
        sigNewData_.notify_all();
        sigDataSent_.notify_all();
    }

    bool deliver(const TransferRecord &message) { return deliver(&message, 1); }

    // Queues `count` messages (1..kBatchMax) and waits until the sender has
    // written them. One bound covers the wait for the slot and the wait for
    // the write. False when they were not written: the write failed, the
    // connection is closing, or the time ran out. Messages that cannot be
    // written within the bound end the connection: the outbox closes, so
    // that nothing more is handed to the sender and nobody else waits for it.
    bool deliver(const TransferRecord *messages, int count)
    {
        if (count < 1 || count > kBatchMax)
            return false;
        const auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
        std::unique_lock<std::mutex> lock(mutex_);
        if (!sigDataSent_.wait_until(lock, deadline, [this] { return !open_ || taken_ == posted_; }))
            return giveUp();
        if (!open_)
            return false;
        std::copy(messages, messages + count, s2c_);
        count_ = count;
        const std::uint64_t ticket = posted_ + 1;
        posted_ = ticket;
        sigNewData_.notify_one();
        // Sleeping, not spinning, while the sender writes: on a machine of
        // few cores the monitor is often the thread that needs the core,
        // and a spinning library took twice the processor time of a
        // million-record list fetch without answering any sooner.
        if (!sigDataSent_.wait_until(lock, deadline, [&] { return !open_ || sent_ >= ticket; }))
            return giveUp();
        return sent_ >= ticket;
    }

    // Sender: waits, without limit, for the next hand-over and copies its
    // messages to `out` (room for kBatchMax). Their count; 0 once closed.
    int take(TransferRecord *out)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        sigNewData_.wait(lock, [this] { return !open_ || posted_ > taken_; });
        if (!open_)
            return 0;
        std::copy(s2c_, s2c_ + count_, out);
        taken_ = taken_ + 1;
        sigDataSent_.notify_all();  // the slot is free again
        return count_;
    }

    // Sender: the messages taken last are written.
    void markSent()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sent_ = sent_ + 1;
        sigDataSent_.notify_all();
    }

    // Around fork(). In the child no thread waits here any more: the
    // conditions start afresh (their waiters were the parent's threads,
    // and a notice could go to one of those) and the outbox is closed.
    void holdForFork() { mutex_.lock(); }
    void resumeInParent() { mutex_.unlock(); }
    void renewInChild()
    {
        new (&sigNewData_) std::condition_variable;
        new (&sigDataSent_) std::condition_variable;
        open_ = false;
        posted_ = 0;
        taken_ = 0;
        sent_ = 0;
        mutex_.unlock();
    }

private:
    // With the mutex held.
    bool giveUp()
    {
        open_ = false;
        sigNewData_.notify_all();
        sigDataSent_.notify_all();
        return false;
    }

    std::mutex mutex_;
    std::condition_variable sigNewData_;
    std::condition_variable sigDataSent_;
    TransferRecord s2c_[kBatchMax]{};
    int count_ = 0;
    std::uint64_t posted_ = 0, taken_ = 0, sent_ = 0;
    bool open_ = false;
};

// Where application threads wait, after their notice went out, for the
// monitor to end its fetch. One opening lets every thread through that came
// before it, however many there are; a thread counts as waiting from enter()
// on, which it calls before its notice goes out, so an opening that comes
// before the thread sleeps is not missed.
class ReportGate {
public:
    std::uint64_t enter()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++waiting_;
        return openings_;
    }

    // After enter(): until the gate opens, or the time runs out. True when
    // it opened.
    bool wait(std::uint64_t entered, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return cond_.wait_for(lock, limit, [&] { return openings_ != entered; });
    }

    void leave()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        --waiting_;
    }

    // Lets every thread through that entered before. A gate nobody waits
    // at stays as it is: a later notice must wait for a later fetch.
    void open()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (waiting_ == 0)
            return;
        ++openings_;
        cond_.notify_all();
    }

    // Around fork(), as Outbox's: the child has nobody waiting at the gate.
    void holdForFork() { mutex_.lock(); }
    void resumeInParent() { mutex_.unlock(); }
    void renewInChild()
    {
        new (&cond_) std::condition_variable;
        waiting_ = 0;
        mutex_.unlock();
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    std::uint64_t openings_ = 0;
    int waiting_ = 0;
};

} // namespace vexal::comm
