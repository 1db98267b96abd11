// SPDX-License-Identifier: GPL-3.0-or-later
// frmSites, "Leak Sites": a second, non-modal window beside the main one.
// The table of the sites (sortable, the growing first until sorted), the
// chart of the selected sites' live bytes over time (the five largest when
// none is selected), and the operations refresh now, automatic refresh,
// Mark, only since the mark, and Generate, one action each. The rules live
// in SitesController; this window carries out what they ask, on the GUI
// thread.
#pragma once

#include <sites/SitesModel.h>
#include <window/SitesController.h>
#include <window/SitesView.h>

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class SitesWindow;
}

class QAction;
class QTableView;

namespace vexal::monitor {

class SitesChart;

class SitesWindow : public QWidget, public SitesView {
    Q_OBJECT

public:
    // The chart shows this many of the largest sites when none is selected.
    static constexpr int kLargestShown = 5;

    explicit SitesWindow(QWidget *parent = nullptr);
    ~SitesWindow() override;

    // The rules the operations go to; set once, before the window is shown.
    void setController(SitesController *controller) { controller_ = controller; }
    // Short or full file names, as the main window's Show Full Path says.
    void setFullPath(bool fullPath);

    void showSites(std::shared_ptr<const SitesFrame> frame) override;
    void setSitesStatus(const QString &text) override;
    void setSitesNotice(const QString &text) override;
    void setSitesConnected(bool connected) override;
    void setAutoRefreshChecked(bool on) override;
    void setMarked(bool marked, int64_t index) override;

    QTableView *table() const;
    const SitesModel &model() const { return *model_; }
    SitesChart *chart() const;
    QString statusText() const;
    QAction *refreshAction() const { return refresh_; }
    QAction *autoRefreshAction() const { return autoRefresh_; }
    QAction *markAction() const { return mark_; }
    QAction *sinceMarkAction() const { return sinceMark_; }
    QAction *generateAction() const { return generate_; }

private:
    void onGuiThread(std::function<void()> work);
    QAction *action(const char *name, const QString &text, const QString &hint, bool checkable = false);
    void setUpActions();
    void applyFrame(std::shared_ptr<const SitesFrame> frame);
    std::vector<SiteKey> selectedSites() const;
    void selectionChanged();
    void updateChart();

    std::unique_ptr<Ui::SitesWindow> ui_;
    SitesModel *model_ = nullptr;
    SitesController *controller_ = nullptr;
    QAction *refresh_ = nullptr;
    QAction *autoRefresh_ = nullptr;
    QAction *mark_ = nullptr;
    QAction *sinceMark_ = nullptr;
    QAction *generate_ = nullptr;
    bool connected_ = false;
};

} // namespace vexal::monitor
