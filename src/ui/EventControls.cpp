#include "EventControls.h"

#include "AnalysisDocks.h"
#include "EventsForm.h"
#include "Prompts.h"
#include "RememberedValues.h"
#include "Version.h"
#include "files.h"

#include <QAction>
#include <QDir>
#include <QLocale>
#include <QToolBar>

#include <limits>

namespace altrix {

namespace {

constexpr char kEventsSection[] = "Events";
constexpr std::int64_t kMegabyte = 1024 * 1024;

}  // namespace

EventControls::EventControls(const Controls& controls, const Window& window, Prompts& prompts, CaptureSession& session,
                             const ScopeDisplay& display, AnalysisDocks& docks, RememberedValues& remembered, SetClock clock,
                             QObject* parent)
    : QObject(parent), controls_(controls), window_(window), prompts_(prompts), session_(session), display_(display),
      docks_(docks), remembered_(remembered), clock_(std::move(clock)) {
    // Beside Record, before the second trigger condition (at the end, where a narrow window
    // folds the tool bar).
    for (QAction* action : controls_.bar->actions())
        if (controls_.bar->widgetForAction(action) == controls_.before) controls_.bar->insertAction(action, controls_.save);
    connect(controls_.save, &QAction::triggered, this, &EventControls::SaveEventsActionClick);
    connect(controls_.folder, &QAction::triggered, this, &EventControls::EventFolderActionClick);
    connect(controls_.events, &QAction::triggered, this, &EventControls::Events1Click);
    connect(&session_, &CaptureSession::started, this, &EventControls::startSavingEvents);
    connect(&session_, &CaptureSession::eventSavingEnded, this, &EventControls::showEventSavingEnded);
    connect(&session_, &CaptureSession::eventsChanged, this, &EventControls::showEventList);
    // A recording shown, or a new capture.
    connect(&display_, &ScopeDisplay::lengthChanged, this, &EventControls::showEventList);
    docks_.addReopener(QStringLiteral("EventsDock"), [this] { Events1Click(); });
    remembered_.add(
        kEventsSection, "Folder", [this](const QString& stored) { folder_ = stored; }, [this] { return folder_; });
    remembered_.addNumber(
        kEventsSection, "MaxFiles", 1, std::numeric_limits<std::int64_t>::max(),
        [this](std::int64_t stored) { limits_.Files = stored; }, [this] { return limits_.Files; });
    remembered_.addNumber(
        kEventsSection, "MaxMegabytes", 1, std::numeric_limits<std::int64_t>::max() / kMegabyte,
        [this](std::int64_t stored) { limits_.Bytes = stored * kMegabyte; }, [this] { return limits_.Bytes / kMegabyte; });
}

void EventControls::EventFolderActionClick() {
    const QString folder = prompts_.askFolder(QStringLiteral("Save every event to"), folder_.isEmpty() ? QDir::homePath() : folder_);
    if (folder.isEmpty()) return;
    folder_ = folder;
    remembered_.store(kEventsSection, "Folder");
}

void EventControls::SaveEventsActionClick(bool on) {
    if (on && folder_.isEmpty()) EventFolderActionClick();
    if (!on || folder_.isEmpty()) {
        controls_.save->setChecked(false);
        session_.StopSavingEvents();
        return;
    }
    if (session_.IsRunning())
        startSavingEvents();
    else
        window_.tell(QStringLiteral("Every event of a Normal capture will be saved to %1").arg(QDir::toNativeSeparators(folder_)));
}

void EventControls::startSavingEvents() {
    if (!controls_.save->isChecked() || !session_.IsRunning()) return;
    if (session_.Setup().Trigger.Mode != TriggerMode::Normal) {
        window_.tell(QStringLiteral("Events are saved in the trigger's Normal mode; this capture saves none"));
        return;
    }
    const std::string problem =
        session_.StartSavingEvents(NativePath(folder_), limits_, display_.Describe(kProgramVersion), TimeDecimalSeparator());
    if (problem.empty()) return;
    controls_.save->setChecked(false);
    prompts_.showMessage(QStringLiteral("Save Error"),
                         QStringLiteral("Unable to save events to %1: %2. The capture goes on without saving them.")
                             .arg(QDir::toNativeSeparators(folder_), QString::fromLocal8Bit(problem)),
                         MessageIcon::Error, MessageButtons::Ok);
}

void EventControls::showEventSavingEnded(const QString& why) {
    controls_.save->setChecked(false);
    const EventSaver::Counts counts = session_.EventSaving().Count();
    prompts_.showMessage(QStringLiteral("Save Error"),
                         QStringLiteral("Saving every event stopped: %1. %2 events were saved to %3; the capture goes on.")
                             .arg(why, QLocale().toString(counts.Saved), QDir::toNativeSeparators(folder_)),
                         MessageIcon::Warning, MessageButtons::Ok);
}

void EventControls::Events1Click() {
    docks_.showDock(QStringLiteral("EventsDock"), Qt::BottomDockWidgetArea, [this] {
        form_ = new EventsForm;
        connect(form_, &EventsForm::chosen, this, &EventControls::showEvent);
        return form_;
    });
    showEventList();
}

void EventControls::showEventList() {
    if (!form_ || form_->parentWidget()->isHidden()) return;  // the dock closed
    EventListing listing = EventsOnShow(display_, session_, clock_);
    form_->showEvents(listing.Title, std::move(listing.Rows));
}

void EventControls::showEvent(const EventRow& event) {
    const EventChoice choice = ChooseEvent(event, display_.Recording() != nullptr, session_.IsRunning());
    if (choice.What == EventChoice::Action::ShowSet)
        window_.showSet(event.Set);
    else if (choice.What == EventChoice::Action::OpenFile)
        window_.open(choice.Text);
    else
        window_.tell(choice.Text);
}

}  // namespace altrix
