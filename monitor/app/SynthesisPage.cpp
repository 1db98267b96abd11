// SPDX-License-Identifier: GPL-3.0-or-later
#include "SynthesisPage.h"

#include "CheckedEdit.h"
#include "Controls.h"
#include "WindowActions.h"
#include "ui_SynthesisPage.h"

#include <settings/MonitorSettings.h>
#include <synthesis/GeneratedCodeModel.h>

#include <QHeaderView>

namespace vexal::monitor {

namespace {

enum { kLine, kSize, kIndex };

constexpr int kNumberColumnWidth = 50;
constexpr int kScrollBarRoom = 24;

} // namespace

SynthesisPage::SynthesisPage(QWidget *parent) : QGroupBox(parent), ui_(std::make_unique<Ui::SynthesisPage>())
{
    Ui::SynthesisPage &u = *ui_;
    u.setupUi(this);
    auto filter = [](std::array<QRadioButton *, 3> choices, QLineEdit *min, QLineEdit *max) {
        return Filter{choices, new CheckedEdit(min, kFilterMaximum), new CheckedEdit(max, kFilterMaximum),
                      int(FilterChoice::All)};
    };
    filters_[kLine] = filter({u.rbnAllLines, u.rbnOneLine, u.rbnMinMaxLines}, u.edtLineMin, u.edtLineMax);
    filters_[kSize] = filter({u.rbnAllSizes, u.rbnOneSize, u.rbnMinMaxSizes}, u.edtSizeMin, u.edtSizeMax);
    filters_[kIndex] = filter({u.rbnAllIndexes, u.rbnOneIndex, u.rbnMinMaxIndexes}, u.edtIndexMin, u.edtIndexMax);
    // Only the between choice takes numbers from its edits.
    for (const Filter &f : filters_) {
        for (QRadioButton *choice : f.choices)
            connect(choice, &QRadioButton::toggled, this, [this, &f] { followChoice(f); });
        followChoice(f);
    }
    u.updIndent->setWrapping(false);
    // The count shows in a read-only edit in the menu colour; only the
    // up-down changes it.
    QLineEdit *indentation = u.updIndent->findChild<QLineEdit *>();
    indentation->setObjectName(QStringLiteral("edtIndentations"));
    indentation->setReadOnly(true);
    paintBackground(indentation, palette().color(QPalette::Window));

    QTableView *view = u.lvwCode;
    model_ = new GeneratedCodeModel(view);
    view->setModel(model_);
    view->setColumnWidth(0, kNumberColumnWidth);
    view->setColumnWidth(1, view->width() - kNumberColumnWidth - kScrollBarRoom);
    showsRowsOfRecords(view);
}

SynthesisPage::~SynthesisPage() = default;

void SynthesisPage::setUp(const WindowActions &actions)
{
    runsAction(ui_->btnGenerateCodeCopy, actions.generateCode);
    runsAction(ui_->btnSaveCode, actions.saveCode);
}

void SynthesisPage::followChoice(const Filter &filter)
{
    const bool between = filter.choices[std::size_t(FilterChoice::Between)]->isChecked();
    for (CheckedEdit *edit : {filter.min, filter.max}) {
        edit->edit()->setEnabled(between);
        paintBackground(edit->edit(), palette().color(between ? QPalette::Base : QPalette::Button));
    }
}

int SynthesisPage::Filter::choice() const
{
    for (int i = 0; i < 3; ++i) {
        if (choices[static_cast<std::size_t>(i)]->isChecked())
            return i;
    }
    return stored;
}

// A group with no choice marked (a stored value outside 0 to 2) keeps that
// value: the synthesis then takes the record's own, narrowest bound. A text
// that was never checked counts as 0.
FilterSetting SynthesisPage::Filter::setting() const
{
    return {choice(), min->edit()->text().toLongLong(), max->edit()->text().toLongLong()};
}

void SynthesisPage::Filter::mark(int choice)
{
    stored = choice;
    markExactly<QRadioButton>({{choices[0], int(FilterChoice::All)},
                               {choices[1], int(FilterChoice::Exact)},
                               {choices[2], int(FilterChoice::Between)}},
                              choice);
}

SynthesisOptions SynthesisPage::options() const
{
    SynthesisOptions options;
    options.regardlessOfFile = ui_->cbxFileRemove->isChecked();
    options.callingThread = ui_->cbxThreadRemove->isChecked();
    options.line = filters_[kLine].setting();
    options.size = filters_[kSize].setting();
    options.index = filters_[kIndex].setting();
    options.indentation = indentation();
    options.tabs = tabs();
    return options;
}

const GeneratedCode *SynthesisPage::code() const { return model_->code().get(); }

QList<qsizetype> SynthesisPage::selectedRows() const { return vexal::monitor::selectedRows(ui_->lvwCode); }

int SynthesisPage::indentation() const { return ui_->updIndent->value(); }

bool SynthesisPage::tabs() const { return ui_->rbnTabs->isChecked(); }

void SynthesisPage::showCode(std::shared_ptr<const GeneratedCode> code) { model_->setCode(std::move(code)); }

void SynthesisPage::applySettings(const MonitorSettings &s)
{
    const std::array<std::pair<QString, QString>, 3> bounds = {
        {{s.minLine, s.maxLine}, {s.minSize, s.maxSize}, {s.minIndex, s.maxIndex}}};
    for (std::size_t i = 0; i < filters_.size(); ++i) {
        filters_[i].min->setText(bounds[i].first);
        filters_[i].max->setText(bounds[i].second);
    }
    filters_[kLine].mark(s.lineCheck);
    filters_[kSize].mark(s.sizeCheck);
    filters_[kIndex].mark(s.indexCheck);
    ui_->cbxFileRemove->setChecked(s.skipFileName);
    ui_->cbxThreadRemove->setChecked(s.callingThread);
    markExactly<QRadioButton>({{ui_->rbnSpaces, 1}, {ui_->rbnTabs, 2}}, s.spaces ? 1 : s.tabs ? 2 : 0);
    ui_->updIndent->setValue(s.indentation);
}

void SynthesisPage::storeSettings(MonitorSettings &s) const
{
    s.lineCheck = filters_[kLine].choice();
    s.sizeCheck = filters_[kSize].choice();
    s.indexCheck = filters_[kIndex].choice();
    s.minLine = filters_[kLine].min->lastValid();
    s.maxLine = filters_[kLine].max->lastValid();
    s.minSize = filters_[kSize].min->lastValid();
    s.maxSize = filters_[kSize].max->lastValid();
    s.minIndex = filters_[kIndex].min->lastValid();
    s.maxIndex = filters_[kIndex].max->lastValid();
    s.skipFileName = ui_->cbxFileRemove->isChecked();
    s.callingThread = ui_->cbxThreadRemove->isChecked();
    s.spaces = ui_->rbnSpaces->isChecked();
    s.tabs = ui_->rbnTabs->isChecked();
    s.indentation = ui_->updIndent->value();
}

} // namespace vexal::monitor
