// SPDX-License-Identifier: MIT
// What the message functions need from the endpoint besides its C interface.
#pragma once

#include "MessageAssembler.h"

namespace vexal::socketcom {

// The carried-over bytes of the current connection; receiving thread only.
MessageAssembler &leftOver() noexcept;

// receiveData that asks for at most `capacity` bytes, so a caller's buffer is
// safe whatever size the endpoint was set up with.
int receiveChunk(char *destination, int capacity, int *length) noexcept;

} // namespace vexal::socketcom
