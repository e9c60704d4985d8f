#include "CaptureFactsKeeper.h"

#include "CaptureSession.h"
#include "DisplayReadouts.h"
#include "Presets.h"

#include <QLocale>
#include <QObject>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace altrix {

namespace {

std::string UtcText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs).toStdString() : std::string();
}

QDateTime UtcTime(const std::string& text) {
    return text.empty() ? QDateTime() : QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs).toUTC();
}

}  // namespace

bool OnlyOnScreen(const CaptureCopies& copies) {
    if (!copies.Unsaved || copies.SetsTaken <= 0 || copies.ShownEventSaved) return false;
    return !copies.RecordedFrom || *copies.RecordedFrom > std::max<std::int64_t>(0, copies.WindowFirstSet);
}

void CaptureFactsKeeper::Follow(QObject* receiver) {
    const CaptureSession* session = &session_;
    QObject::connect(session, &CaptureSession::started, receiver, [this] {
        facts_ = CaptureFacts{session_.StartedAt(), {}, -1, {}, identifiedType_, {}, true, {}, {}};
        loaded_ = false;
        recordedFrom_.reset();
    });
    QObject::connect(session, &CaptureSession::recordingStarted, receiver,
                     [this] { recordedFrom_ = session_.RecordingFrom(); });
    // Ended before STOP, or without its last write, it misses the newest sets.
    QObject::connect(session, &CaptureSession::recordingEnded, receiver, [this](const QString& error) {
        if (!error.isEmpty() || session_.IsRunning()) recordedFrom_.reset();
    });
    QObject::connect(session, &CaptureSession::stopped, receiver, [this] { facts_.End = QDateTime::currentDateTimeUtc(); });
    QObject::connect(session, &CaptureSession::triggerMoved, receiver,
                     [this](int position) { facts_.TriggerPosition = position; });
    QObject::connect(session, &CaptureSession::triggerStateChanged, receiver, [this](TriggerPhase phase, double seconds) {
        facts_.TriggerSeconds = phase == TriggerPhase::Triggered ? TimeText(seconds) : QString();
    });
    QObject::connect(session, &CaptureSession::identified, receiver, [this](std::int32_t typeCode) {
        identifiedType_ = typeCode;
        // The drive of a capture taken here; a loaded capture keeps the drive its file names.
        if (!loaded_) facts_.DriveTypeCode = typeCode;
    });
}

CaptureCopies CaptureFactsKeeper::Copies() const {
    CaptureCopies copies{facts_.Unsaved, static_cast<std::int64_t>(session_.record().SetCount), session_.ShownFirstSet(),
                         recordedFrom_, false};
    if (facts_.TriggerPosition >= 0) {
        const std::int64_t triggerSet = copies.WindowFirstSet + facts_.TriggerPosition;
        const std::vector<CaptureEvent>& events = session_.Events();
        const auto shown = std::find_if(events.rbegin(), events.rend(), [triggerSet](const CaptureEvent& e) {
            return e.Kind == "trigger" && e.Set == triggerSet;
        });
        copies.ShownEventSaved = shown != events.rend() && !shown->File.empty();
    }
    return copies;
}

void CaptureFactsKeeper::ShowLoaded() {
    facts_ = CaptureFacts{};
    loaded_ = true;
}

void CaptureFactsKeeper::ShowDescribed(const CaptureDescription& d) {
    facts_ = CaptureFacts{UtcTime(d.StartUtc), UtcTime(d.EndUtc), d.TriggerPosition.value_or(-1),
                          QString::fromStdString(d.TriggerSeconds).replace(QLatin1Char('.'), QLocale().decimalPoint()),
                          d.DriveTypeCode, QString::fromStdString(d.Note), false, {}, d.Trigger};
    // The trigger set's time since RUN (a multiple of a set) at its position places the window.
    double triggerSeconds = 0;
    const std::string& text = d.TriggerSeconds;
    if (d.TriggerPosition && !text.empty() &&
        std::from_chars(text.data(), text.data() + text.size(), triggerSeconds).ec == std::errc())
        facts_.FirstSet = std::llround(triggerSeconds / kSamplePeriodSeconds) - *d.TriggerPosition;
}

void CaptureFactsKeeper::ShowRecording(const QDateTime& start, const std::string& driveTypeCode) {
    std::int32_t code = 0;
    const std::string& type = driveTypeCode;
    const bool typed = !type.empty() && std::from_chars(type.data(), type.data() + type.size(), code).ec == std::errc();
    facts_ = CaptureFacts{start, {}, -1, {}, typed ? std::optional(code) : std::nullopt, {}, false, {}, {}};
    loaded_ = true;
}

void CaptureFactsKeeper::Describe(CaptureDescription& d) const {
    // A loaded capture was taken with its own trigger, whatever the user's setup is now.
    if (facts_.Trigger) d.Trigger = *facts_.Trigger;
    if (facts_.TriggerPosition >= 0) {
        d.TriggerPosition = facts_.TriggerPosition;
        // The file's time field takes the user's decimal separator; the description takes ".".
        d.TriggerSeconds = QString(facts_.TriggerSeconds).replace(QLocale().decimalPoint(), QLatin1String(".")).toStdString();
    }
    d.DriveTypeCode = facts_.DriveTypeCode;
    if (d.DriveTypeCode) d.DriveTypeLabel = std::string(DriveTypeLabel(*d.DriveTypeCode));
    d.StartUtc = UtcText(facts_.Start);
    d.EndUtc = UtcText(facts_.End);
    d.Note = facts_.Note.toStdString();
}

Timeline CaptureFactsKeeper::WindowTimes() const {
    const std::optional<UtcMicros> run =
        facts_.Start.isValid() ? std::optional<UtcMicros>(facts_.Start.toMSecsSinceEpoch() * 1000) : std::nullopt;
    if (loaded_) return Timeline::Window(facts_.FirstSet ? TimelineSource::EventFile : TimelineSource::File, facts_.FirstSet, run);
    const bool frozen = !session_.IsRunning() || facts_.TriggerPosition >= 0;
    return Timeline::Window(frozen ? TimelineSource::FrozenWindow : TimelineSource::LiveWindow, session_.ShownFirstSet(), run);
}

}  // namespace altrix
