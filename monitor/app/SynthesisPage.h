// SPDX-License-Identifier: GPL-3.0-or-later
// grbGenGarbCollCode, "Synthesize - Generate Vexal Code ...": the code's
// buttons, the filters by file, thread, line, size and index, the
// indentation of saved code, and the code view.
#pragma once

#include <synthesis/CodeSynthesis.h>

#include <QGroupBox>
#include <QList>

#include <array>
#include <memory>

namespace Ui {
class SynthesisPage;
}

class QRadioButton;

namespace vexal::monitor {

class CheckedEdit;
class GeneratedCodeModel;
struct MonitorSettings;
struct WindowActions;

class SynthesisPage : public QGroupBox {
    Q_OBJECT

public:
    explicit SynthesisPage(QWidget *parent = nullptr);
    ~SynthesisPage() override;

    void setUp(const WindowActions &actions);

    SynthesisOptions options() const;
    // The view's code and its selected rows.
    const GeneratedCode *code() const;
    QList<qsizetype> selectedRows() const;
    int indentation() const;
    bool tabs() const;

    void showCode(std::shared_ptr<const GeneratedCode> code);

    void applySettings(const MonitorSettings &settings);
    void storeSettings(MonitorSettings &settings) const;

private:
    // One of the line, size and index groups: all, the exact value, or
    // between its two edits.
    struct Filter {
        std::array<QRadioButton *, 3> choices;
        CheckedEdit *min;
        CheckedEdit *max;
        int stored;  // kept when none of the choices is marked

        int choice() const;
        FilterSetting setting() const;
        void mark(int choice);
    };

    void followChoice(const Filter &filter);

    std::unique_ptr<Ui::SynthesisPage> ui_;
    GeneratedCodeModel *model_ = nullptr;
    std::array<Filter, 3> filters_{};  // line, size, index
};

} // namespace vexal::monitor
