// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionPage.h"

#include "CheckedEdit.h"
#include "CommandGroups.h"
#include "Controls.h"
#include "WindowActions.h"
#include "ui_ConnectionPage.h"

#include <settings/MonitorSettings.h>

namespace vexal::monitor {

ConnectionPage::ConnectionPage(QWidget *parent) : QGroupBox(parent), ui_(std::make_unique<Ui::ConnectionPage>())
{
    ui_->setupUi(this);
    const std::array<QLineEdit *, 4> parts = {ui_->edtIP0, ui_->edtIP1, ui_->edtIP2, ui_->edtIP3};
    for (std::size_t i = 0; i < parts.size(); ++i)
        addressParts_[i] = new CheckedEdit(parts[i], kAddressPartMaximum);
    port_ = new CheckedEdit(ui_->edtPortNumber, kPortMaximum);
}

ConnectionPage::~ConnectionPage() = default;

void ConnectionPage::setUp(const WindowActions &actions, CommandGroups &groups)
{
    runsAction(ui_->btnConnectCopy, actions.connect);
    runsAction(ui_->btnDisconnectCopy, actions.disconnect);
    runsAction(ui_->btnPauseApplCopy, actions.pause);
    runsAction(ui_->btnContApplCopy, actions.release);
    groups.add(CommandGroup::Connect, ui_->cbxAutoSummary);
}

QString ConnectionPage::address() const
{
    const Ui::ConnectionPage &u = *ui_;
    return u.edtIP0->text() + u'.' + u.edtIP1->text() + u'.' + u.edtIP2->text() + u'.' + u.edtIP3->text();
}

int ConnectionPage::port() const { return ui_->edtPortNumber->text().toInt(); }

bool ConnectionPage::autoStartContinuous() const { return ui_->cbxAutoSummary->isChecked(); }

void ConnectionPage::showPausedMark(const QString &text) { ui_->lblOnOff->setText(text); }

void ConnectionPage::applySettings(const MonitorSettings &settings)
{
    setAddressTexts(settings.ipAddress);
    setPortText(settings.portNumber);
    ui_->cbxAutoSummary->setChecked(settings.autoStart);
}

void ConnectionPage::setAddressTexts(const std::array<QString, 4> &parts)
{
    for (std::size_t i = 0; i < parts.size(); ++i)
        addressParts_[i]->setText(parts[i]);
}

void ConnectionPage::setPortText(const QString &port) { port_->setText(port); }

void ConnectionPage::storeSettings(MonitorSettings &settings) const
{
    for (std::size_t i = 0; i < addressParts_.size(); ++i)
        settings.ipAddress[i] = addressParts_[i]->lastValid();
    settings.portNumber = port_->lastValid();
    settings.autoStart = ui_->cbxAutoSummary->isChecked();
}

} // namespace vexal::monitor
