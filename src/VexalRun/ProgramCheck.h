// SPDX-License-Identifier: MIT
// Whether a program can be tracked at all: the loader preloads nothing into
// a statically linked program, nor (for other users) into a set-user-id or
// set-group-id one.
#pragma once

#include <string>

namespace vexal::run {

// Why `program` (as execvp would find it) cannot be tracked, or empty when
// it can or it cannot be told.
std::string whyNotTrackable(const char *program);

} // namespace vexal::run
