// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnalyzePage.h"

#include "Controls.h"
#include "ui_AnalyzePage.h"

#include <window/MonitorView.h>

namespace vexal::monitor {

namespace {

const QString kNotAvailable = QStringLiteral("N/A");
const QString kThisProgram = QStringLiteral("A call from this program");

} // namespace

AnalyzePage::AnalyzePage(QWidget *parent) : QGroupBox(parent), ui_(std::make_unique<Ui::AnalyzePage>())
{
    ui_->setupUi(this);
}

AnalyzePage::~AnalyzePage() = default;

SummaryPage &AnalyzePage::summary() { return *ui_->grbStatus; }

ListPage &AnalyzePage::list() { return *ui_->grpList; }

void AnalyzePage::showOrigin(const Origin &origin)
{
    QLineEdit *file = ui_->edtVXGDataFile;
    QLineEdit *line = ui_->edtVXGDataLine;
    const QColor buttonFace = palette().color(QPalette::Button);
    switch (origin.kind) {
    case OriginKind::None:
        file->setText(kNotAvailable);
        paintBackground(file, buttonFace);
        break;
    case OriginKind::ThisProgram:
        file->setText(kThisProgram);
        paintBackground(file, palette().color(QPalette::Base));
        break;
    case OriginKind::Application:
        file->setText(origin.file);
        line->setText(QString::number(origin.line));
        paintBackground(file, Qt::yellow);
        paintBackground(line, Qt::yellow);
        return;
    }
    line->setText(kNotAvailable);
    paintBackground(line, buttonFace);
}

} // namespace vexal::monitor
