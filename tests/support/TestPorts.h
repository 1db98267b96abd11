// SPDX-License-Identifier: MIT
// Ports for the servers of the tests. Test processes run in parallel, and a
// POSIX library under test moves to the next port after every monitor, so
// ports derived from process ids alone sometimes met. Each process instead
// leases ports of its own: it binds the lease port of each block it takes and
// keeps those sockets until it ends, and no other process can bind them
// meanwhile. Blocks follow the process id, so a port is seldom used again
// within a run either, while the last run's connections may still linger on
// it.
#ifndef VEXAL_TEST_PORTS_H
#define VEXAL_TEST_PORTS_H

#include "RawSocket.h"
#include "TestPlatform.h"

#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#endif

namespace vxltest {

inline constexpr int kFirstTestPort = 20000;
inline constexpr int kPortsPerBlock = 8;
inline constexpr int kPortBlocks = 1500;     // ports 20000 to 31999, below the ephemeral ones
inline constexpr int kFirstLeasePort = 18000;  // 18000 to 19499

struct PortLease {
    int first = 0;
    int count = 0;
};

// Takes `blocks` consecutive blocks from `block` on, or none.
inline bool leaseBlocks(int block, int blocks)
{
    std::vector<vxlsock::Socket> leases;
    for (int b = block; b < block + blocks; ++b) {
        const vxlsock::Socket lease = vxlsock::bindLoopback(kFirstLeasePort + b, false);
        if (lease == vxlsock::kNone) {
            for (vxlsock::Socket taken : leases)
                vxlsock::closeSocket(taken);
            return false;
        }
#if !defined(_WIN32)
        ::fcntl(lease, F_SETFD, FD_CLOEXEC);  // not held on by the programs a test starts
#endif
        leases.push_back(lease);
    }
    return true;  // the leases stay open until the process ends
}

// This process's ports: at least `wanted` of them on the first call, which
// decides for the whole process.
inline const PortLease &portLease(int wanted)
{
    static const PortLease lease = [wanted] {
        const int blocks = (wanted + kPortsPerBlock - 1) / kPortsPerBlock;
        const int choices = kPortBlocks - blocks + 1;
        int block = processId() % choices;
        for (int tried = 0; tried < choices; ++tried, block = (block + 1) % choices) {
            if (leaseBlocks(block, blocks))
                break;
        }  // every block taken: share the first choice
        return PortLease{kFirstTestPort + block * kPortsPerBlock, blocks * kPortsPerBlock};
    }();
    return lease;
}

// Port `n` of this process's `wanted`; past their end, the same ports again.
inline int testPort(int n, int wanted)
{
    const PortLease &lease = portLease(wanted);
    return lease.first + n % lease.count;
}

} // namespace vxltest

#endif
