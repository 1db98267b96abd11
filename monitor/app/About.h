// SPDX-License-Identifier: GPL-3.0-or-later
// The About window: which program and version is running. It has no buttons;
// its close box ends the modal run.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class About;
}

class QListWidget;

namespace vexal::monitor {

class About : public QDialog {
    Q_OBJECT

public:
    explicit About(QWidget *parent = nullptr);
    ~About() override;

    QListWidget *lines() const;

private:
    std::unique_ptr<Ui::About> ui_;
};

} // namespace vexal::monitor
