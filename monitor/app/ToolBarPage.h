// SPDX-License-Identifier: GPL-3.0-or-later
// Panel1: the tool bar along the top of the window, a flat button for each
// of the main operations.
#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class ToolBarPage;
}

namespace vexal::monitor {

struct WindowActions;

class ToolBarPage : public QFrame {
    Q_OBJECT

public:
    explicit ToolBarPage(QWidget *parent = nullptr);
    ~ToolBarPage() override;

    void setUp(const WindowActions &actions);

private:
    std::unique_ptr<Ui::ToolBarPage> ui_;
};

} // namespace vexal::monitor
