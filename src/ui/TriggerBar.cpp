#include "TriggerBar.h"

#include "ParameterFiles.h"
#include "Readout.h"
#include "ScopeChart.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolBar>

#include <cmath>

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

TriggerBar::TriggerBar(const Controls& controls, ScopeChart& chart, ScopeDisplay& display, CaptureSession& session,
                       QObject* parent)
    : QObject(parent), controls_(controls), display_(display), session_(session), line_(new QCPItemStraightLine(&chart)) {
    for (QLineEdit* level : {controls_.level, controls_.level2})
        level->setValidator(new QRegularExpressionValidator(QRegularExpression(LevelPattern()), level));
    line_->setPen(QPen(kTriggerLineColour, 1, Qt::DashDotLine));
    line_->setSelectable(false);
    line_->setVisible(false);

    connect(&display_, &ScopeDisplay::triggerChanged, this, &TriggerBar::showSettings);
    display_.SetTrigger(ReadTriggerSettings(session_.SettingsIniPath()));
    showSettings();
    for (QComboBox* box : {controls_.mode, controls_.source, controls_.slope})
        connect(box, &QComboBox::activated, this, &TriggerBar::TriggerControlChange);
    for (QLineEdit* level : {controls_.level, controls_.level2})
        connect(level, &QLineEdit::textEdited, this, &TriggerBar::TriggerControlChange);
    for (QSpinBox* box : {controls_.bit, controls_.preTrigger, controls_.holdoff})
        connect(box, &QSpinBox::valueChanged, this, &TriggerBar::TriggerControlChange);
    connect(&session_, &CaptureSession::started, this, &TriggerBar::showControls);
    connect(&session_, &CaptureSession::stopped, this, &TriggerBar::showControls);
    connect(&session_, &CaptureSession::triggerStateChanged, this, &TriggerBar::showState);
    connect(&session_, &CaptureSession::triggerMoved, this, &TriggerBar::showPosition);
    showStateLabel();
}

void TriggerBar::TriggerControlChange() {
    TriggerSettings settings;
    settings.Mode = static_cast<TriggerMode>(controls_.mode->currentIndex());
    settings.Source = controls_.source->currentIndex() + 1;
    settings.Condition = static_cast<TriggerCondition>(controls_.slope->currentIndex());
    settings.Level = controls_.level->text().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
    settings.Bit = controls_.bit->value();
    settings.PreTriggerPercent = controls_.preTrigger->value();
    settings.Level2 = controls_.level2->text().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
    settings.HoldoffMs = controls_.holdoff->value();
    if (settings == display_.Trigger()) return;
    display_.SetTrigger(settings);
    WriteTriggerSettings(session_.SettingsIniPath(), settings);
}

void TriggerBar::showSettings() {
    const TriggerSettings& settings = display_.Trigger();
    controls_.mode->setCurrentIndex(static_cast<int>(settings.Mode));
    controls_.source->setCurrentIndex(settings.Source - 1);
    controls_.slope->setCurrentIndex(static_cast<int>(settings.Condition));
    // A level that is no number stays as it is, shown red, and keeps RUN from starting.
    const bool valid = display_.TriggerLevelValid();
    const auto showLevel = [valid](QLineEdit& level, const std::string& setting) {
        const QString text = QString::fromStdString(setting);
        if (level.text().replace(QLatin1Char(','), QLatin1Char('.')) != text) level.setText(text);
        const bool red = !valid && !IsTriggerLevel(setting);
        QPalette palette = level.palette();
        palette.setColor(QPalette::Text, red ? QColor(Qt::red) : QApplication::palette(&level).color(QPalette::Text));
        level.setPalette(palette);
    };
    showLevel(*controls_.level, settings.Level);
    showLevel(*controls_.level2, settings.Level2);
    // The boxes report the user's changes only.
    const QSignalBlocker bitBlocker(controls_.bit), preTriggerBlocker(controls_.preTrigger),
        holdoffBlocker(controls_.holdoff);
    controls_.bit->setValue(settings.Bit);
    controls_.preTrigger->setValue(settings.PreTriggerPercent);
    controls_.holdoff->setValue(settings.HoldoffMs);
    showControls();
}

void TriggerBar::showControls() {
    const bool unlocked = !session_.IsRunning();
    for (QWidget* control : std::initializer_list<QWidget*>{controls_.mode, controls_.source, controls_.slope,
                                                            controls_.level, controls_.level2, controls_.bit,
                                                            controls_.preTrigger, controls_.holdoff})
        control->setEnabled(unlocked);
    // A tool bar shows and hides its widgets through their actions.
    const bool bit = IsBitCondition(controls_.slope->currentIndex());
    const bool band = IsBandCondition(static_cast<TriggerCondition>(controls_.slope->currentIndex()));
    for (QAction* action : controls_.bar->actions()) {
        const QWidget* widget = controls_.bar->widgetForAction(action);
        if (widget == controls_.bit) action->setVisible(bit);
        if (widget == controls_.level) action->setVisible(!bit);
        if (widget == controls_.level2) action->setVisible(band);
    }
}

void TriggerBar::showState(TriggerPhase phase, double seconds) {
    phase_ = phase;
    secondsSinceRun_ = seconds;
    showStateLabel();
}

void TriggerBar::showStateLabel() {
    static const std::array<QString, 4> kPhaseTexts{QStringLiteral("Off"), QStringLiteral("Filling"),
                                                    QStringLiteral("Armed"), QString()};
    // Grey at rest, amber while the window fills, yellow while armed, green once triggered.
    static const std::array<QString, 4> kPhaseColours{QStringLiteral("#d4d4d4"), QStringLiteral("#ffc870"),
                                                      QStringLiteral("#fff176"), QStringLiteral("#9be09b")};
    const auto p = static_cast<std::size_t>(phase_);
    QString text = kPhaseTexts[p];
    if (phase_ == TriggerPhase::Triggered) {
        // The time the cursor reads on the trigger line, then the wall-clock time of the trigger.
        text = QStringLiteral("Triggered at %1 s")
                   .arg(TimeText(position_ >= 0 ? PositionSeconds(position_) : secondsSinceRun_));
        const QDateTime start = display_.Facts().Start;
        if (start.isValid())
            text += start.addMSecs(std::llround(secondsSinceRun_ * 1000)).toLocalTime().toString(QStringLiteral(", HH:mm:ss.zzz"));
    }
    controls_.state->setText(text);
    controls_.state->setStyleSheet(
        QStringLiteral("QLabel { font-weight: bold; color: black; background: %1; padding: 0 6px; }").arg(kPhaseColours[p]));
}

void TriggerBar::showPosition(int position) {
    position_ = position;
    line_->setVisible(position >= 0);
    line_->point1->setCoords(position, 0);
    line_->point2->setCoords(position, 1);
    if (phase_ == TriggerPhase::Triggered) showStateLabel();
}

void TriggerBar::rememberFile(const QString& fileName) {
    const QFileInfo file(fileName);
    if (position_ >= 0)
        savedTriggers_.insert(file.canonicalFilePath(), {file.lastModified(), file.size(), position_});
    else
        savedTriggers_.remove(file.canonicalFilePath());
}

void TriggerBar::recallFile(const QString& fileName) {
    const QFileInfo file(fileName);
    const auto saved = savedTriggers_.constFind(file.canonicalFilePath());
    const bool unchanged =
        saved != savedTriggers_.constEnd() && saved->modified == file.lastModified() && saved->size == file.size();
    showPosition(unchanged ? saved->position : -1);
}

}  // namespace altrix
