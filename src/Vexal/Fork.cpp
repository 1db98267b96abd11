// SPDX-License-Identifier: MIT
// A tracked program that forks (POSIX only). In the child only the forking
// thread exists: a lock that another thread of the parent held at that
// moment would stay held for ever, and the child's first tracked call would
// wait on it. So just before fork() every lock of the library is taken, in
// the order in which the library's own threads nest them, and right after,
// the parent gives them back and the child sets them up afresh.
//
// The child keeps the records and counters as they were at the fork, so its
// own leaks show in its own reports. It serves no monitor: the parent's
// listening socket and connection stay the parent's (closed in the child
// without a byte sent on them), and the connection's threads, which exist
// only in the parent, are forgotten. A VexalInit in the child starts afresh.
//
// Taking the global lock makes fork() wait while a monitor holds the
// application paused, as a tracked call does.
#include "ConnectionState.h"
#include "VexalInternal.h"

#include <mutex>
#include <pthread.h>

namespace vexal {
namespace {

// A thread walking the records with VexalGetListEntry holds the global lock
// already; the walk then goes on in both processes.
void prepare()
{
    if (!walkingHere())
        tracking.mutGlobalData.lock();
    comm::State &st = comm::state();
    st.launchMutex.lock();
    st.outbox.holdForFork();
    st.sigStatusRequest.holdForFork();
    st.sigListRequest.holdForFork();
    tracking.os.holdForFork();
}

void resumeParent()
{
    comm::State &st = comm::state();
    tracking.os.resumeAfterFork();
    st.sigListRequest.resumeInParent();
    st.sigStatusRequest.resumeInParent();
    st.outbox.resumeInParent();
    st.launchMutex.unlock();
    if (!walkingHere())
        tracking.mutGlobalData.unlock();
}

void renewChild()
{
    comm::State &st = comm::state();
    tracking.os.resumeAfterFork();
    closeSocket();
    comm::connection.goOnSending.store(0);
    comm::connection.clientHasEnabledGlobalMutex.store(0);
    comm::connection.freezeEnabled.store(0);
    st.sigListRequest.renewInChild();
    st.sigStatusRequest.renewInChild();
    st.outbox.renewInChild();
    st.thrLauchThreads.forget();
    st.launched = false;
    st.launchMutex.unlock();
    tracking.mutGlobalData.renewInChild(walkingHere());
}

} // namespace

void watchForks()
{
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(prepare, resumeParent, renewChild); });
}

} // namespace vexal
