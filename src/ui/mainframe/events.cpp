// TForm1: catching every event. Trigger > "Save every event..." (SaveEventsAction, also on the
// tool bar) saves the window of each event a Normal trigger completes, as its own waveform file
// with its description, into the folder of [Events] Folder (asked for the first time; "Event
// folder..." picks another), until it is switched off, STOP, a limit ([Events] MaxFiles,
// MaxMegabytes) or a write error; the trigger label counts the events caught and saved.
// Analysis > "Events" lists the events of the capture or of the recording on show; choosing one
// shows it in the recording, or opens its saved file.

#include "Mainframe.h"

#include "EventsForm.h"
#include "files.h"
#include "Version.h"
#include "ui_Mainframe.h"

#include <QDir>
#include <QDockWidget>
#include <QLocale>
#include <QStatusBar>

#include <algorithm>
#include <limits>

namespace altrix {

namespace {

constexpr char kEventsSection[] = "Events";
constexpr std::int64_t kMegabyte = 1024 * 1024;

QString ClockText(const QDateTime& start, std::int64_t set) {
    if (!start.isValid()) return QStringLiteral("%1 s").arg(TimeText(static_cast<double>(set) * kSamplePeriodSeconds));
    return QString::fromStdString(SetClockText(Timeline::Recording(start.toMSecsSinceEpoch() * 1000), set, ClockForm::DateAndTime));
}

}  // namespace

void TForm1::connectEventHandlers() {
    Ui::TForm1& ui = *ui_;
    // Beside Record, before the second trigger condition (at the end, where a narrow window
    // folds the tool bar).
    for (QAction* action : ui.ToolBar1->actions())
        if (ui.ToolBar1->widgetForAction(action) == ui.TriggerJoinSourceBox) ui.ToolBar1->insertAction(action, ui.SaveEventsAction);
    connect(ui.SaveEventsAction, &QAction::triggered, this, &TForm1::SaveEventsActionClick);
    connect(ui.EventFolderAction, &QAction::triggered, this, &TForm1::EventFolderActionClick);
    connect(ui.Events1, &QAction::triggered, this, &TForm1::Events1Click);
    connect(&session_, &CaptureSession::started, this, &TForm1::startSavingEvents);
    connect(&session_, &CaptureSession::eventSavingEnded, this, &TForm1::showEventSavingEnded);
    connect(&session_, &CaptureSession::eventsChanged, this, &TForm1::showEventList);
    // A recording shown, or a new capture.
    connect(&display_, &ScopeDisplay::lengthChanged, this, &TForm1::showEventList);
    remembered_.add(
        kEventsSection, "Folder", [this](const QString& stored) { eventFolder_ = stored; }, [this] { return eventFolder_; });
    remembered_.addNumber(
        kEventsSection, "MaxFiles", 1, std::numeric_limits<std::int64_t>::max(),
        [this](std::int64_t stored) { eventLimits_.Files = stored; }, [this] { return eventLimits_.Files; });
    remembered_.addNumber(
        kEventsSection, "MaxMegabytes", 1, std::numeric_limits<std::int64_t>::max() / kMegabyte,
        [this](std::int64_t stored) { eventLimits_.Bytes = stored * kMegabyte; }, [this] { return eventLimits_.Bytes / kMegabyte; });
}

void TForm1::EventFolderActionClick() {
    const QString folder = prompts_.askFolder(QStringLiteral("Save every event to"),
                                              eventFolder_.isEmpty() ? QDir::homePath() : eventFolder_);
    if (folder.isEmpty()) return;
    eventFolder_ = folder;
    remembered_.store(kEventsSection, "Folder");
}

void TForm1::SaveEventsActionClick(bool on) {
    if (on && eventFolder_.isEmpty()) EventFolderActionClick();
    if (!on || eventFolder_.isEmpty()) {
        ui_->SaveEventsAction->setChecked(false);
        session_.StopSavingEvents();
        return;
    }
    if (session_.IsRunning())
        startSavingEvents();
    else
        showFileStatus(QStringLiteral("Every event of a Normal capture will be saved to %1").arg(QDir::toNativeSeparators(eventFolder_)));
}

void TForm1::startSavingEvents() {
    if (!ui_->SaveEventsAction->isChecked() || !session_.IsRunning()) return;
    if (session_.Setup().Trigger.Mode != TriggerMode::Normal) {
        showFileStatus(QStringLiteral("Events are saved in the trigger's Normal mode; this capture saves none"));
        return;
    }
    const std::string problem = session_.StartSavingEvents(NativePath(eventFolder_), eventLimits_,
                                                           display_.Describe(kProgramVersion), TimeDecimalSeparator());
    if (problem.empty()) return;
    ui_->SaveEventsAction->setChecked(false);
    prompts_.showMessage(QStringLiteral("Save Error"),
                         QStringLiteral("Unable to save events to %1: %2. The capture goes on without saving them.")
                             .arg(QDir::toNativeSeparators(eventFolder_), QString::fromLocal8Bit(problem)),
                         MessageIcon::Error, MessageButtons::Ok);
}

void TForm1::showEventSavingEnded(const QString& why) {
    ui_->SaveEventsAction->setChecked(false);
    const EventSaver::Counts counts = session_.EventSaving().Count();
    prompts_.showMessage(QStringLiteral("Save Error"),
                         QStringLiteral("Saving every event stopped: %1. %2 events were saved to %3; the capture goes on.")
                             .arg(why, QLocale().toString(counts.Saved), QDir::toNativeSeparators(eventFolder_)),
                         MessageIcon::Warning, MessageButtons::Ok);
}

void TForm1::Events1Click() {
    showDock(eventsDock_, QStringLiteral("EventsDock"), Qt::BottomDockWidgetArea, [this] {
        eventsForm_ = new EventsForm;
        connect(eventsForm_, &EventsForm::chosen, this, &TForm1::showEvent);
        return eventsForm_;
    });
    showEventList();
}

void TForm1::showEventList() {
    if (!eventsForm_ || eventsDock_->isHidden()) return;
    std::vector<EventRow> rows;
    const QLocale locale;
    if (const RecordingSource* recording = display_.Recording()) {
        const QDateTime start = recording->Started();
        const RecordingReader& reader = recording->Reader();
        for (const RecordingEvent& e : reader.Events()) {
            // A trigger's text begins with its conditions: "ch2 Rising: ...".
            QString text = QString::fromStdString(e.Text), source;
            if (const qsizetype colon = text.indexOf(QLatin1String(": ")); e.Kind == "trigger" && colon > 0) {
                source = text.left(colon);
                text = text.mid(colon + 2);
            }
            rows.push_back({ClockText(start, e.SetIndex), QString::fromStdString(e.Kind), source, text, e.SetIndex, {}});
        }
        for (const RecordingGap& gap : reader.Gaps())
            rows.push_back({ClockText(start, gap.FirstSet), QStringLiteral("gap"), {},
                            QStringLiteral("%1 (%2 sets)").arg(QString::fromStdString(gap.Reason), locale.toString(gap.SetCount)),
                            gap.FirstSet, {}});
        std::stable_sort(rows.begin(), rows.end(), [](const EventRow& a, const EventRow& b) { return a.Set < b.Set; });
        const QString title = QStringLiteral("%1 events in the recording %2; choose one to show it")
                                  .arg(locale.toString(static_cast<qint64>(rows.size())), QString::fromStdString(recording->Path()));
        eventsForm_->showEvents(title, std::move(rows));
        return;
    }
    const QDateTime start = session_.StartedAt();
    for (const CaptureEvent& e : session_.Events())
        rows.push_back({ClockText(start, e.Set), QString::fromStdString(e.Kind), QString::fromStdString(e.Source),
                        QString::fromStdString(e.Text), e.Set, QString::fromStdString(e.File)});
    const QString title =
        start.isValid() ? QStringLiteral("%1 events of the capture started %2; choose a saved one to open it")
                              .arg(locale.toString(static_cast<qint64>(rows.size())),
                                   start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                        : QStringLiteral("No capture yet");
    eventsForm_->showEvents(title, std::move(rows));
}

void TForm1::showEvent(const EventRow& event) {
    if (display_.Recording()) {
        showRecordingSet(event.Set);
        return;
    }
    if (event.File.isEmpty()) {
        showFileStatus(QStringLiteral("The window of this event was not saved"));
        return;
    }
    if (session_.IsRunning()) {
        showFileStatus(QStringLiteral("STOP the capture to open %1").arg(event.File));
        return;
    }
    if (askDiscardCapture()) loadWaveformFile(event.File);
}

}  // namespace altrix
