// SPDX-License-Identifier: MIT
// Texts for Winsock error numbers. Plain data, compiled on every host so the
// table is checked where the tests run; only the Winsock seam uses it.
#pragma once

namespace vexal::socketcom {

// The text for a WSAGetLastError() number; "Unknown Error" for any other.
const char *winsockErrorText(int number) noexcept;

} // namespace vexal::socketcom
