#include "EventList.h"

#include "CaptureSession.h"
#include "RecordingSource.h"
#include "ScopeDisplay.h"

#include <QLocale>

#include <algorithm>

namespace altrix {

namespace {

// How the recorder joins a trigger's conditions and its text.
constexpr QLatin1String kSourceSeparator(": ");

}  // namespace

EventListing CaptureEventList(const std::vector<CaptureEvent>& events, const QDateTime& started, const SetClock& clock) {
    EventListing listing;
    for (const CaptureEvent& e : events)
        listing.Rows.push_back({clock(e.Set), QString::fromStdString(e.Kind), QString::fromStdString(e.Source),
                                QString::fromStdString(e.Text), e.Set, QString::fromStdString(e.File)});
    listing.Title = started.isValid() ? QStringLiteral("%1 events of the capture started %2; choose a saved one to open it")
                                            .arg(QLocale().toString(static_cast<qint64>(listing.Rows.size())), clock(0))
                                      : QStringLiteral("No capture yet");
    return listing;
}

EventListing RecordingEventList(const RecordingReader& reader, const std::string& path, const SetClock& clock) {
    EventListing listing;
    const QLocale locale;
    for (const RecordingEvent& e : reader.Events()) {
        QString text = QString::fromStdString(e.Text), source;
        if (const qsizetype at = text.indexOf(kSourceSeparator); e.Kind == "trigger" && at > 0) {
            source = text.left(at);
            text = text.mid(at + kSourceSeparator.size());
        }
        listing.Rows.push_back({clock(e.SetIndex), QString::fromStdString(e.Kind), source, text, e.SetIndex, {}});
    }
    for (const RecordingGap& gap : reader.Gaps())
        listing.Rows.push_back({clock(gap.FirstSet), QStringLiteral("gap"), {},
                                QStringLiteral("%1 (%2 sets)").arg(QString::fromStdString(gap.Reason), locale.toString(gap.SetCount)),
                                gap.FirstSet, {}});
    std::stable_sort(listing.Rows.begin(), listing.Rows.end(), [](const EventRow& a, const EventRow& b) { return a.Set < b.Set; });
    listing.Title = QStringLiteral("%1 events in the recording %2; choose one to show it")
                        .arg(locale.toString(static_cast<qint64>(listing.Rows.size())), QString::fromStdString(path));
    return listing;
}

EventListing EventsOnShow(const ScopeDisplay& display, const CaptureSession& session, const SetClock& clock) {
    if (const RecordingSource* recording = display.Recording())
        return RecordingEventList(recording->Reader(), recording->Path(), clock);
    return CaptureEventList(session.Events(), session.StartedAt(), clock);
}

EventChoice ChooseEvent(const EventRow& row, bool recordingShown, bool capturing) {
    if (recordingShown) return {EventChoice::Action::ShowSet, {}};
    if (row.File.isEmpty()) return {EventChoice::Action::Tell, QStringLiteral("The window of this event was not saved")};
    if (capturing) return {EventChoice::Action::Tell, QStringLiteral("STOP the capture to open %1").arg(row.File)};
    return {EventChoice::Action::OpenFile, row.File};
}

}  // namespace altrix
