// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolBarPage.h"

#include "Controls.h"
#include "WindowActions.h"
#include "ui_ToolBarPage.h"

namespace vexal::monitor {

ToolBarPage::ToolBarPage(QWidget *parent) : QFrame(parent), ui_(std::make_unique<Ui::ToolBarPage>())
{
    ui_->setupUi(this);
}

ToolBarPage::~ToolBarPage() = default;

void ToolBarPage::setUp(const WindowActions &actions)
{
    Ui::ToolBarPage &u = *ui_;
    runsAction(u.btnConnect, actions.connect);
    runsAction(u.btnDisconnect, actions.disconnect);
    runsAction(u.btnPauseAppl, actions.pause);
    runsAction(u.btnContAppl, actions.release);
    runsAction(u.btnGetSingleStatus, actions.singleSummary);
    runsAction(u.btnGetContinousStatus, actions.startContinuous);
    runsAction(u.btnStopContinousStatus, actions.stopContinuous);
    runsAction(u.btnGetList, actions.getList);
    runsAction(u.btnGenerateCode, actions.generateCode);
    runsAction(u.btnSaveAll, actions.saveAll);
    runsAction(u.btnExit, actions.quit);
}

} // namespace vexal::monitor
