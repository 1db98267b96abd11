// SPDX-License-Identifier: GPL-3.0-or-later
#include "About.h"

#include "ui_About.h"

#include <ProjectVersion.h>

#include <QApplication>

namespace vexal::monitor {

namespace {

constexpr int kRowHeight = 13;

} // namespace

About::About(QWidget *parent) : QDialog(parent), ui_(std::make_unique<Ui::About>())
{
    ui_->setupUi(this);
    setFixedSize(size());
    ui_->lstInfo->setBackgroundRole(QPalette::Button);  // the menu colour
    ui_->lstInfo->setStyleSheet(QStringLiteral("QListWidget::item { height: %1px; }").arg(kRowHeight));
    // Written once: showing the window again shows the same lines.
    ui_->lstInfo->clear();
    ui_->lstInfo->addItem(QStringLiteral("Name: ") + QApplication::applicationDisplayName());
    ui_->lstInfo->addItem(QStringLiteral("Version: " VEXAL_VERSION_TEXT));
    ui_->lstInfo->addItem(QString());
}

About::~About() = default;

QListWidget *About::lines() const { return ui_->lstInfo; }

} // namespace vexal::monitor
