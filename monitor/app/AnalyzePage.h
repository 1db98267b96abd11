// SPDX-License-Identifier: GPL-3.0-or-later
// grbAnalyze, "Analyze - Check Outstanding Memory Allocations at the
// Application": where the data on show came from, the summary group and the
// list group.
#pragma once

#include <QGroupBox>

#include <memory>

namespace Ui {
class AnalyzePage;
}

namespace vexal::monitor {

class ListPage;
class SummaryPage;
struct Origin;

class AnalyzePage : public QGroupBox {
    Q_OBJECT

public:
    explicit AnalyzePage(QWidget *parent = nullptr);
    ~AnalyzePage() override;

    SummaryPage &summary();
    ListPage &list();

    void showOrigin(const Origin &origin);

private:
    std::unique_ptr<Ui::AnalyzePage> ui_;
};

} // namespace vexal::monitor
