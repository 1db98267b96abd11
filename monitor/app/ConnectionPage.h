// SPDX-License-Identifier: GPL-3.0-or-later
// grbConnect, "Connection with Application": the connection's buttons, the
// paused mark, the checked address and port edits, and the choice to start
// continuous summary on connecting.
#pragma once

#include <QGroupBox>

#include <array>
#include <memory>

namespace Ui {
class ConnectionPage;
}

namespace vexal::monitor {

class CheckedEdit;
class CommandGroups;
struct MonitorSettings;
struct WindowActions;

class ConnectionPage : public QGroupBox {
    Q_OBJECT

public:
    explicit ConnectionPage(QWidget *parent = nullptr);
    ~ConnectionPage() override;

    void setUp(const WindowActions &actions, CommandGroups &groups);

    // The address composed from the four edits as they stand.
    QString address() const;
    int port() const;
    bool autoStartContinuous() const;

    void showPausedMark(const QString &text);

    // Stored or given texts become the edits' last valid texts unchecked.
    void applySettings(const MonitorSettings &settings);
    void setAddressTexts(const std::array<QString, 4> &parts);
    void setPortText(const QString &port);
    void storeSettings(MonitorSettings &settings) const;

private:
    std::unique_ptr<Ui::ConnectionPage> ui_;
    std::array<CheckedEdit *, 4> addressParts_{};
    CheckedEdit *port_ = nullptr;
};

} // namespace vexal::monitor
