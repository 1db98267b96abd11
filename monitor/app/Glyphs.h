// SPDX-License-Identifier: GPL-3.0-or-later
// The tool buttons' glyphs: the desktop's icon theme where it has one, else a
// small drawing of our own. Qt derives the disabled images.
#pragma once

#include <QIcon>

namespace vexal::monitor {

enum class Glyph {
    Connect,
    Disconnect,
    Pause,
    Release,
    SingleSummary,
    StartContinuous,
    StopContinuous,
    GetList,
    GenerateCode,
    Save,
    Exit,
    Program,
};

QIcon glyph(Glyph which);

} // namespace vexal::monitor
