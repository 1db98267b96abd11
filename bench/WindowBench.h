// SPDX-License-Identifier: MIT
// What the desktop window's benchmarks share: a run of their own with
// settings in a temporary place, and message boxes that only say what they
// would have shown.
#pragma once

#include <Application.h>
#include <MessageBoxes.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace vexal::monitor::bench {

class QuietBoxes : public MessageBoxes {
public:
    void inform(QWidget *, const MessageBox &box) override
    {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(box.caption), qPrintable(box.text));
    }
    bool ask(QWidget *, const MessageBox &) override { return false; }
};

// The application, named as the monitor; lines out at once; no stored
// settings of the user read or written.
class BenchApplication {
public:
    BenchApplication(int &argc, char **argv) : app_(argc, argv)
    {
        setvbuf(stdout, nullptr, _IOLBF, 0);
        describeApplication();
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }

private:
    QApplication app_;
    QTemporaryDir home_;
};

} // namespace vexal::monitor::bench
