// TForm1: the trigger controls of the tool bar, bound to the display's trigger settings,
// remembered in the settings file and handed to
// each RUN; the trigger's state; the line at the trigger position, which a file saved from a
// triggered capture takes along for as long as the program runs.

#include "Mainframe.h"

#include "ParameterFiles.h"
#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

namespace altrix {

namespace {

const QColor kTriggerLineColour(0xFF, 0x00, 0xFF);  // fuchsia: no trace, line or mark uses it

// The level as typed: a signed decimal number whose point is "." or, where the locale writes
// one, ",".
QString LevelPattern() {
    return QLocale().decimalPoint() == QStringLiteral(",") ? QStringLiteral("[+-]?[0-9]*[.,]?[0-9]*")
                                                           : QStringLiteral("[+-]?[0-9]*[.]?[0-9]*");
}

bool IsBitCondition(int conditionIndex) {
    return conditionIndex == static_cast<int>(TriggerCondition::BitSet) ||
           conditionIndex == static_cast<int>(TriggerCondition::BitCleared);
}

}  // namespace

void TForm1::connectTriggerHandlers() {
    Ui::TForm1& ui = *ui_;
    ui.TriggerLevelEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(LevelPattern()), ui.TriggerLevelEdit));
    triggerLine_ = new QCPItemStraightLine(ui.Chart1);
    triggerLine_->setPen(QPen(kTriggerLineColour, 1, Qt::DashDotLine));
    triggerLine_->setSelectable(false);
    triggerLine_->setVisible(false);

    connect(&display_, &ScopeDisplay::triggerChanged, this, &TForm1::showTriggerSettings);
    display_.SetTrigger(ReadTriggerSettings(session_.SettingsIniPath()));
    showTriggerSettings();
    for (QComboBox* box : {ui.TriggerModeBox, ui.TriggerSourceBox, ui.TriggerSlopeBox})
        connect(box, &QComboBox::activated, this, &TForm1::TriggerControlChange);
    connect(ui.TriggerLevelEdit, &QLineEdit::textEdited, this, &TForm1::TriggerControlChange);
    for (QSpinBox* box : {ui.TriggerBitBox, ui.PreTriggerBox})
        connect(box, &QSpinBox::valueChanged, this, &TForm1::TriggerControlChange);
    connect(&session_, &CaptureSession::started, this, &TForm1::showTriggerControls);
    connect(&session_, &CaptureSession::stopped, this, &TForm1::showTriggerControls);
    connect(&session_, &CaptureSession::triggerStateChanged, this, &TForm1::showTriggerState);
    connect(&session_, &CaptureSession::triggerMoved, this, &TForm1::showTriggerPosition);
}

void TForm1::TriggerControlChange() {
    const Ui::TForm1& ui = *ui_;
    TriggerSettings settings;
    settings.Mode = static_cast<TriggerMode>(ui.TriggerModeBox->currentIndex());
    settings.Source = ui.TriggerSourceBox->currentIndex() + 1;
    settings.Condition = static_cast<TriggerCondition>(ui.TriggerSlopeBox->currentIndex());
    settings.Level = ui.TriggerLevelEdit->text().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
    settings.Bit = ui.TriggerBitBox->value();
    settings.PreTriggerPercent = ui.PreTriggerBox->value();
    if (settings == display_.Trigger()) return;
    display_.SetTrigger(settings);
    WriteTriggerSettings(session_.SettingsIniPath(), settings);
}

void TForm1::showTriggerSettings() {
    Ui::TForm1& ui = *ui_;
    const TriggerSettings& settings = display_.Trigger();
    ui.TriggerModeBox->setCurrentIndex(static_cast<int>(settings.Mode));
    ui.TriggerSourceBox->setCurrentIndex(settings.Source - 1);
    ui.TriggerSlopeBox->setCurrentIndex(static_cast<int>(settings.Condition));
    const QString level = QString::fromStdString(settings.Level);
    if (ui.TriggerLevelEdit->text().replace(QLatin1Char(','), QLatin1Char('.')) != level)
        ui.TriggerLevelEdit->setText(level);
    // A level that is no number stays as it is, shown red, and keeps RUN from starting.
    QPalette palette = ui.TriggerLevelEdit->palette();
    palette.setColor(QPalette::Text, display_.TriggerLevelValid()
                                         ? QApplication::palette(ui.TriggerLevelEdit).color(QPalette::Text)
                                         : QColor(Qt::red));
    ui.TriggerLevelEdit->setPalette(palette);
    // The boxes report the user's changes only.
    const QSignalBlocker bitBlocker(ui.TriggerBitBox), preTriggerBlocker(ui.PreTriggerBox);
    ui.TriggerBitBox->setValue(settings.Bit);
    ui.PreTriggerBox->setValue(settings.PreTriggerPercent);
    showTriggerControls();
}

void TForm1::showTriggerControls() {
    Ui::TForm1& ui = *ui_;
    const bool unlocked = !session_.IsRunning();
    for (QWidget* control : std::initializer_list<QWidget*>{ui.TriggerModeBox, ui.TriggerSourceBox, ui.TriggerSlopeBox,
                                                            ui.TriggerLevelEdit, ui.TriggerBitBox, ui.PreTriggerBox})
        control->setEnabled(unlocked);
    // A tool bar shows and hides its widgets through their actions.
    const bool bit = IsBitCondition(ui.TriggerSlopeBox->currentIndex());
    for (QAction* action : ui.ToolBar1->actions()) {
        const QWidget* widget = ui.ToolBar1->widgetForAction(action);
        if (widget == ui.TriggerBitBox) action->setVisible(bit);
        if (widget == ui.TriggerLevelEdit) action->setVisible(!bit);
    }
}

void TForm1::showTriggerState(TriggerPhase phase, double seconds) {
    static const std::array<QString, 3> kPhaseTexts{QStringLiteral("Off"), QStringLiteral("Filling"),
                                                    QStringLiteral("Armed")};
    ui_->TriggerStateLabel->setText(phase == TriggerPhase::Triggered
                                        ? QStringLiteral("Triggered at %1 s").arg(TimeText(seconds))
                                        : kPhaseTexts[static_cast<std::size_t>(phase)]);
}

void TForm1::showTriggerPosition(int position) {
    triggerPosition_ = position;
    triggerLine_->setVisible(position >= 0);
    triggerLine_->point1->setCoords(position, 0);
    triggerLine_->point2->setCoords(position, 1);
}

void TForm1::rememberTriggerOfFile(const QString& fileName) {
    const QFileInfo file(fileName);
    if (triggerPosition_ >= 0)
        savedTriggers_.insert(file.canonicalFilePath(), {file.lastModified(), file.size(), triggerPosition_});
    else
        savedTriggers_.remove(file.canonicalFilePath());
}

void TForm1::recallTriggerOfFile(const QString& fileName) {
    const QFileInfo file(fileName);
    const auto saved = savedTriggers_.constFind(file.canonicalFilePath());
    const bool unchanged =
        saved != savedTriggers_.constEnd() && saved->modified == file.lastModified() && saved->size == file.size();
    showTriggerPosition(unchanged ? saved->position : -1);
}

}  // namespace altrix
