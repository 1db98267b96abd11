// SPDX-License-Identifier: MIT
// A stand-in for the library's side of one connection, for the list tests
// and benchmark: it answers list start, next record and list end from a list
// of its own, keeps every byte the monitor sent, and can fall silent or hang
// up after a given number of records. The answers to all the requests one
// read brings are written together. It knows only commands 0 to 6, as an
// older library, and answers nothing to any other. Plain sockets on its own
// thread; the monitor's socket module is the process's client endpoint
// meanwhile.
#pragma once

#include <SocketCom.h>
#include <TransferRecord.h>

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

namespace vexal::monitor::test {

class FakeLibrary {
public:
    // Lag: the records past the limit come 100 ms after those before it,
    // as on a slow connection.
    enum class After { Answer, FallSilent, HangUp, Lag };

    // Serves a list of `records` records on a free loopback port; after
    // `limit` records it does `after`.
    explicit FakeLibrary(int records, After after = After::Answer, int limit = std::numeric_limits<int>::max())
        : records_(records), after_(after), limit_(limit)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr *>(&address), length);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeLibrary()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        const int peer = peer_.exchange(-1);
        if (peer >= 0)
            ::shutdown(peer, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        if (peer >= 0)
            ::close(peer);
    }

    int port() const { return port_; }

    // Everything the monitor sent so far.
    QByteArray received()
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

    // Record `i` gets this file name instead of its own; call before the
    // monitor asks for the list.
    void nameFile(int i, const QByteArray &file)
    {
        std::lock_guard lock(mutex_);
        renamed_ = i;
        renamedFile_ = file;
    }

    // The record number i as this library sends it.
    static SocketData record(int i, const char *file = nullptr)
    {
        SocketData data;
        clearSocketData(&data);
        addIntSocketData(&data, MSG_LIST_NEXT);
        addIntSocketData(&data, i % 12);
        addBigIntSocketData(&data, 16 + i);
        addIntSocketData(&data, 100 + i);
        addBigIntSocketData(&data, 0x1000 + 16LL * i);
        addSocketData(&data, file != nullptr ? file : i % 2 == 0 ? "/src/even.c" : "/src/odd.c");
        addBigIntSocketData(&data, i);
        addIntSocketData(&data, 7);
        return data;
    }

private:
    void serve()
    {
        const int peer = ::accept(listener_, nullptr, nullptr);
        if (peer < 0)
            return;
        peer_ = peer;
        int sent = 0;
        char chunk[1024];
        QByteArray pending;
        for (;;) {
            const ssize_t got = ::recv(peer, chunk, sizeof chunk, 0);
            if (got <= 0 || stop_)
                return;
            {
                std::lock_guard lock(mutex_);
                received_.append(chunk, got);
            }
            pending.append(chunk, got);
            QByteArray answers;
            for (qsizetype end = pending.indexOf('\0'); end >= 0; end = pending.indexOf('\0')) {
                const int command = pending.left(end).split('\x01').value(0).toInt();
                pending.remove(0, end + 1);
                // As a library that knows only commands 0 to 6.
                if (command > MSG_RELEASE)
                    continue;
                if (command == MSG_LIST_NEXT && sent >= limit_) {
                    if (after_ == After::HangUp) {
                        ::send(peer, answers.constData(), static_cast<size_t>(answers.size()), MSG_NOSIGNAL);
                        if (peer_.exchange(-1) >= 0)
                            ::close(peer);
                        return;
                    }
                    if (after_ == After::FallSilent)
                        continue;
                    if (after_ == After::Lag && sent == limit_) {
                        ::send(peer, answers.constData(), static_cast<size_t>(answers.size()), MSG_NOSIGNAL);
                        answers.clear();
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    }
                }
                SocketData answer;
                clearSocketData(&answer);
                addIntSocketData(&answer, command);
                if (command == MSG_LIST_START)
                    addIntSocketData(&answer, records_);
                else if (command == MSG_LIST_NEXT)
                    answer = renamedRecord(sent++);
                else if (command == MSG_LIST_END)
                    for (int value = 1; value <= TRANSFER_STATUS_VALUES; ++value)
                        addBigIntSocketData(&answer, value);
                answers.append(answer.data, answer.size);
            }
            if (!answers.isEmpty())
                ::send(peer, answers.constData(), static_cast<size_t>(answers.size()), MSG_NOSIGNAL);
        }
    }

    SocketData renamedRecord(int i)
    {
        std::lock_guard lock(mutex_);
        return record(i, i == renamed_ ? renamedFile_.constData() : nullptr);
    }

    const int records_;
    const After after_;
    const int limit_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> peer_{-1};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    QByteArray received_;
    int renamed_ = -1;  // under mutex_, as renamedFile_
    QByteArray renamedFile_;
    std::thread thread_;
};

} // namespace vexal::monitor::test
