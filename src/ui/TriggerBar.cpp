#include "TriggerBar.h"

#include "ParameterFiles.h"
#include "Readout.h"
#include "ScopeChart.h"

#include <QAction>
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

QString LevelText(const QLineEdit& level) {
    return level.text().replace(QLatin1Char(','), QLatin1Char('.'));
}

TriggerTerm TermOf(const TriggerBar::ConditionControls& c) {
    return {c.source->currentIndex() + 1, static_cast<TriggerCondition>(c.slope->currentIndex()),
            LevelText(*c.level).toStdString(), LevelText(*c.level2).toStdString(), c.bit->value()};
}

}  // namespace

TriggerBar::TriggerBar(const Controls& controls, ScopeChart& chart, ScopeDisplay& display, CaptureSession& session,
                       QObject* parent)
    : QObject(parent), controls_(controls), display_(display), session_(session), chart_(chart),
      line_(new QCPItemStraightLine(&chart)) {
    for (QLineEdit* level : {controls_.first.level, controls_.first.level2, controls_.second.level, controls_.second.level2})
        level->setValidator(new QRegularExpressionValidator(QRegularExpression(LevelPattern()), level));
    line_->setPen(QPen(kTriggerLineColour, 1, Qt::DashDotLine));
    line_->setSelectable(false);
    line_->setVisible(false);

    connect(&display_, &ScopeDisplay::triggerChanged, this, &TriggerBar::showSettings);
    // A file or a recording on show counts no events of its own.
    connect(&display_, &ScopeDisplay::triggerChanged, this, &TriggerBar::showStateLabel);
    display_.SetTrigger(ReadTriggerSettings(session_.SettingsIniPath()));
    showSettings();
    for (QWidget* control : allControls()) {
        if (auto* box = qobject_cast<QComboBox*>(control)) connect(box, &QComboBox::activated, this, &TriggerBar::TriggerControlChange);
        if (auto* level = qobject_cast<QLineEdit*>(control)) connect(level, &QLineEdit::textEdited, this, &TriggerBar::TriggerControlChange);
        if (auto* box = qobject_cast<QSpinBox*>(control)) connect(box, &QSpinBox::valueChanged, this, &TriggerBar::TriggerControlChange);
    }
    connect(&session_, &CaptureSession::started, this, &TriggerBar::showControls);
    connect(&session_, &CaptureSession::stopped, this, &TriggerBar::showControls);
    connect(&session_, &CaptureSession::triggerStateChanged, this, &TriggerBar::showState);
    connect(&session_, &CaptureSession::triggerMoved, this, &TriggerBar::showPosition);
    connect(&session_, &CaptureSession::eventsChanged, this, &TriggerBar::showStateLabel);
    connect(&chart, &ScopeChart::levelDragged, this, &TriggerBar::LevelLineDragged);
    connect(controls_.applyCaptured, &QAction::triggered, this, &TriggerBar::ApplyCaptureTriggerClick);
    showStateLabel();
}

void TriggerBar::LevelLineDragged(double y) {
    if (!session_.IsRunning()) {
        const int source = display_.Trigger().Source;
        const double value = display_.ValueScale(source).valueAt(y);
        const std::string& gain = display_.Gain(source).Text;
        const std::size_t point = gain.find('.');
        const int decimals = point == std::string::npos ? 0 : static_cast<int>(gain.size() - point - 1);
        QString text = QString::number(value, 'f', decimals);
        if (std::abs(text.toDouble()) == 0) text = QString::number(0.0, 'f', decimals);  // no "-0"
        controls_.first.level->setText(text);
        TriggerControlChange();
    }
    chart_.replot(QCustomPlot::rpQueuedReplot);
}

std::vector<QWidget*> TriggerBar::allControls() const {
    const ConditionControls& a = controls_.first;
    const ConditionControls& b = controls_.second;
    return {controls_.mode, a.source, a.slope, a.level, a.level2, a.bit, controls_.join,
            b.source, b.slope, b.level, b.level2, b.bit, controls_.preTrigger, controls_.holdoff};
}

void TriggerBar::TriggerControlChange() {
    TriggerSettings settings;
    settings.Mode = static_cast<TriggerMode>(controls_.mode->currentIndex());
    const TriggerTerm first = TermOf(controls_.first);
    settings.Source = first.Source;
    settings.Condition = first.Condition;
    settings.Level = first.Level;
    settings.Level2 = first.Level2;
    settings.Bit = first.Bit;
    settings.PreTriggerPercent = controls_.preTrigger->value();
    settings.HoldoffMs = controls_.holdoff->value();
    settings.Join = static_cast<TriggerJoin>(controls_.join->currentIndex());
    settings.Second = TermOf(controls_.second);
    if (settings == display_.Trigger()) return;
    display_.SetTrigger(settings);
    WriteTriggerSettings(session_.SettingsIniPath(), settings);
}

void TriggerBar::ApplyCaptureTriggerClick() {
    if (display_.ApplyCapturedTrigger()) WriteTriggerSettings(session_.SettingsIniPath(), display_.Trigger());
}

void TriggerBar::showSettings() {
    const TriggerSettings& settings = display_.Trigger();
    controls_.mode->setCurrentIndex(static_cast<int>(settings.Mode));
    controls_.join->setCurrentIndex(static_cast<int>(settings.Join));
    // A level that is no number stays as it is, shown red, and keeps RUN from starting.
    const bool valid = display_.TriggerLevelValid();
    const auto showLevel = [valid](QLineEdit& level, const std::string& setting) {
        const QString text = QString::fromStdString(setting);
        if (LevelText(level) != text) level.setText(text);
        const bool red = !valid && !IsTriggerLevel(setting);
        QPalette palette = level.palette();
        palette.setColor(QPalette::Text, red ? QColor(Qt::red) : QApplication::palette(&level).color(QPalette::Text));
        level.setPalette(palette);
    };
    const auto showTerm = [&showLevel](const ConditionControls& c, const TriggerTerm& term) {
        c.source->setCurrentIndex(term.Source - 1);
        c.slope->setCurrentIndex(static_cast<int>(term.Condition));
        showLevel(*c.level, term.Level);
        showLevel(*c.level2, term.Level2);
        // The boxes report the user's changes only.
        const QSignalBlocker bitBlocker(c.bit);
        c.bit->setValue(term.Bit);
    };
    showTerm(controls_.first, settings.First());
    showTerm(controls_.second, settings.Second);
    const QSignalBlocker preTriggerBlocker(controls_.preTrigger), holdoffBlocker(controls_.holdoff);
    controls_.preTrigger->setValue(settings.PreTriggerPercent);
    controls_.holdoff->setValue(settings.HoldoffMs);
    showControls();
}

void TriggerBar::showControls() {
    const bool unlocked = !session_.IsRunning();
    for (QWidget* control : allControls()) control->setEnabled(unlocked);
    controls_.applyCaptured->setEnabled(unlocked && display_.Facts().Trigger.has_value());
    // A tool bar shows and hides its widgets through their actions: the level or the bit by
    // the condition, the second condition while a join is chosen.
    const bool joined = controls_.join->currentIndex() != static_cast<int>(TriggerJoin::None);
    const auto visibility = [](const ConditionControls& c, bool shown) {
        const auto condition = static_cast<TriggerCondition>(c.slope->currentIndex());
        return std::vector<std::pair<QWidget*, bool>>{{c.source, shown},
                                                      {c.slope, shown},
                                                      {c.bit, shown && IsBitCondition(condition)},
                                                      {c.level, shown && !IsBitCondition(condition)},
                                                      {c.level2, shown && IsBandCondition(condition)}};
    };
    auto shown = visibility(controls_.first, true);
    const auto second = visibility(controls_.second, joined);
    shown.insert(shown.end(), second.begin(), second.end());
    for (QAction* action : controls_.bar->actions()) {
        const QWidget* widget = controls_.bar->widgetForAction(action);
        for (const auto& [control, visible] : shown)
            if (widget == control) action->setVisible(visible);
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
        // The time the cursor reads on the trigger line (the time since RUN while the line is
        // out of the window), then the trigger set's own time of day.
        const Timeline times = display_.Times();
        const std::optional<std::int64_t> at =
            position_ >= 0 ? std::optional<std::int64_t>(position_)
                           : times.PositionOfSet(std::llround(secondsSinceRun_ / kSamplePeriodSeconds));
        text = QStringLiteral("Triggered at %1 s").arg(position_ >= 0 ? TimeText(times, position_) : TimeText(secondsSinceRun_));
        if (const std::string clock = at ? SetClockText(times, *at, ClockForm::TimeOfDay) : std::string(); !clock.empty())
            text += QStringLiteral(", ") + QString::fromStdString(clock);
    }
    controls_.state->setText(text + savingText());
    controls_.state->setStyleSheet(
        QStringLiteral("QLabel { font-weight: bold; color: black; background: %1; padding: 0 6px; }").arg(kPhaseColours[p]));
}

QString TriggerBar::savingText() const {
    const EventSavingState& saving = session_.EventSaving();
    const EventSaver::Counts counts = saving.Count();
    if ((!saving.Active() && counts.Caught == 0) || (display_.ShowsFile() && !session_.IsRunning())) return {};
    const QLocale locale;
    QString text = QStringLiteral(" \u2014 %1 caught, %2 saved").arg(locale.toString(counts.Caught), locale.toString(counts.Saved));
    if (counts.NotSaved > 0) text += QStringLiteral(", %1 not saved").arg(locale.toString(counts.NotSaved));
    return text;
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
