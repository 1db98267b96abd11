// SPDX-License-Identifier: MIT
// The library's start and end, and its switches.
#include "Communication.h"
#include "SocketCom.h"
#include "VexalInternal.h"

#include <cstdio>
#include <cstdlib>

using namespace vexal;

namespace {

// VEXAL_LISTEN keeps the monitor port to one local address (127.0.0.1: this
// machine only); unset or empty, every local address listens, so a monitor
// elsewhere can connect. False for a value that is no address: the
// program is then tracked but serves no monitor, rather than one it was
// told not to serve.
bool chooseListenAddress()
{
    const char *address = std::getenv("VEXAL_LISTEN");
    if (setListenAddress(address) != 0)
        return true;
    tracking.os.write([&](std::FILE *out) { std::fprintf(out, "Invalid VEXAL_LISTEN address: %s\n", address); });
    return false;
}

} // namespace

extern "C" {

void VexalInit(int on, int log, const char *outputPath, int port)
{
    if (!tracking.os.open(outputPath)) {
        tracking.os.write([&](std::FILE *out) {
            std::fprintf(out, "Sorry, but the output file '%s' could not be opened!\n", outputPath);
            std::fprintf(out, "Instead, 'stdout' will be used as output stream.\n");
        });
    }
    watchForks();
    // The connection's hold of the lock is left alone: a hold a monitor
    // still has from an earlier start is given back by its connection.
    {
        LockGuard guard(tracking.mutGlobalData);
        VexalSet(on, log);
        discardRecords();  // of an earlier start without VexalFinish, such as a forked child's parent's
        tracking.started = true;
        tracking.freeFailed = 0;
        tracking.addressNotStored = 0;
        tracking.internalUse = kBytesOfAnchors;
        for (CountRow &row : tracking.counts)
            row = CountRow{0, 0};
        tracking.globalIndex.store(0, std::memory_order_relaxed);
    }

    if (port < 0 || !chooseListenAddress())
        return;
    if (!comm::launch(port == 0 ? kDefaultPort : port) && tracking.vxlLog.load() != 0) {
        tracking.os.write([](std::FILE *out) {
            std::fprintf(out, "Could not launch threads needed to communicate ");
            std::fprintf(out, "with the client!\n");
        });
    }
}

void VexalFinish(void)
{
    {
        LockGuard guard(tracking.mutGlobalData);
        discardRecords();
    }
    comm::closeThreadHandles();
    tracking.os.close();
}

void VexalSet(int on, int log)
{
    tracking.vxlOn.store(on, std::memory_order_relaxed);
    tracking.vxlLog.store(log, std::memory_order_relaxed);
}

} // extern "C"
