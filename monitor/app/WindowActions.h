// SPDX-License-Identifier: GPL-3.0-or-later
// The window's operations, one action each, as the pages' buttons and
// choices take them. The menu bar holds them; a button runs its action.
#pragma once

#include <array>

class QAction;

namespace vexal::monitor {

struct WindowActions {
    QAction *connect = nullptr;
    QAction *disconnect = nullptr;
    QAction *pause = nullptr;
    QAction *release = nullptr;
    QAction *singleSummary = nullptr;
    QAction *startContinuous = nullptr;
    QAction *stopContinuous = nullptr;
    QAction *getList = nullptr;
    QAction *generateCode = nullptr;
    QAction *saveAll = nullptr;
    QAction *quit = nullptr;
    QAction *saveSummary = nullptr;
    QAction *saveList = nullptr;
    QAction *saveCode = nullptr;
    std::array<QAction *, 4> rates{};  // Slow, Normal, Fast, Ultra
};

} // namespace vexal::monitor
