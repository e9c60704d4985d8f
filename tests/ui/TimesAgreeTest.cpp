// One set, one time: the time of a set as the Time readout, the picture's legend, a CSV, .mat and
// .h5 export, the event list, Find and "Triggered at" give it, for a live window, a window a
// trigger froze, a loaded waveform file, a saved event and a recording.

#include "LiveDriveFixture.h"

#include "CaptureDescription.h"
#include "DisplayExports.h"
#include "Readout.h"
#include "RecordingWriter.h"
#include "WaveformFile.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTableWidget>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace altrix::testing {
namespace {

class TimesAgreeTest : public LiveDriveTest {
protected:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    void open(const char* action, const QString& file) {
        prompts_.FileNames = {file};
        find<QAction>(QLatin1String(action))->trigger();
    }
    void choose(const char* box, int index) {
        auto* list = find<QComboBox>(QLatin1String(box));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    QString state() const { return find<QLabel>(QStringLiteral("TriggerStateLabel"))->text(); }
    // The times of the event list's rows.
    QStringList eventTimes() {
        find<QAction>(QStringLiteral("Events1"))->trigger();
        QStringList times;
        const auto* table = find<QTableWidget>(QStringLiteral("EventsTable"));
        for (int row = 0; row < table->rowCount(); ++row) times << table->item(row, 0)->text();
        return times;
    }
    // What Find previous says from the middle of the whole recording.
    QString findPrevious() {
        display_->SetView({0, 5000, 100}, 0, 5000);
        form_->activateWindow();
        QTest::keyClick(form_, Qt::Key_F3, Qt::ControlModifier | Qt::ShiftModifier);
        const auto* bar = find<QStatusBar>(QStringLiteral("LinkStatusBar"));
        WaitUntil([&] { return !bar->currentMessage().startsWith(QLatin1String("Searching")); });
        return bar->currentMessage();
    }

    // The time the readout gives `position`.
    QString readout(std::int32_t position) {
        display_->MoveCursor(position);
        return find<QLineEdit>(QStringLiteral("LabeledEdit9"))->text();
    }
    // The first time of the span the picture's legend gives a view from `position`.
    QString legend(std::int32_t position) {
        display_->SetView({double(position), double(position) + 100, 100}, position, position + 100);
        const QString file = path("legend.svg");
        QFile::remove(file);
        open("ExportImage1", file);
        QFile svg(file);
        if (!svg.open(QIODevice::ReadOnly)) return QStringLiteral("<no picture>");
        const QRegularExpressionMatch span =
            QRegularExpression(QStringLiteral("Time ([0-9.]+) s to")).match(QString::fromUtf8(svg.readAll()));
        return span.hasMatch() ? span.captured(1) : QStringLiteral("<no span>");
    }
    // The time a CSV export of `position` alone writes, and the time a .mat or .h5 export
    // writes for it, as its double's shortest text.
    std::pair<QString, QString> exported(std::int32_t position) {
        ExportSource source = ExportSourceOf(*display_, 0);
        source.Mark = source.Cursor = position;
        const std::string csv = path("one.csv").toStdString();
        const ExportPlan written = PlanExport(source, ExportStretch::MarkToCursor, true, csv);
        if (!WriteExport(source, written, csv).Ok) return {QStringLiteral("<not written>"), {}};
        QFile file(QString::fromStdString(csv));
        file.open(QIODevice::ReadOnly);
        file.readLine();
        const QByteArray line = file.readLine();
        const ExportPlan data = PlanExport(source, ExportStretch::MarkToCursor, true, "one.h5");
        double t = 0;
        SetTimes(data.What.First + data.What.TimeOffset, data.What.SampleRateHz, {&t, 1});
        return {QString::fromLatin1(line.left(line.indexOf(','))), QString::fromStdString(FormatSeconds(t, '.'))};
    }

    QTemporaryDir dir_;
};

// Written by the rule, not by the code: a window's position x reads (x + 1) x 0.0002 s, a
// recording's set n n x 0.0002 s from its start.
struct SourceCase {
    const char* source;
    std::function<void()> show;
    std::int32_t position;
    const char* time;
    bool legendShown;      // the File menu is locked while a capture runs
    // "Triggered at" for the trigger at `position` with its set's own time of day; empty without one.
    std::function<QString()> triggered;
    // The set's date and time of day, as the event list and (in a recording) Find give an event
    // there; empty where the source lists no event.
    std::function<QString()> clock;
    bool findable;
};

// A moment's local date and time of day, to the millisecond.
QString LocalClock(const QDateTime& utc) {
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

TEST_F(TimesAgreeTest, OneSetHasOneTimeWhereverItShows) {
    ASSERT_TRUE(dir_.isValid());
    record().NextSample = kWindowPositions;
    ASSERT_TRUE(WriteWaveformFile(record(), path("plain.wfd").toStdString(), '.').Ok);
    ASSERT_TRUE(WriteWaveformFile(record(), path("event.wfd").toStdString(), '.').Ok);
    // A saved event: its trigger 34.2532 s after a RUN at 23:42:11, at position 12345.
    CaptureDescription event;
    event.TriggerPosition = 12345;
    event.TriggerSeconds = "34.2532";
    event.StartUtc = "2026-12-07T23:42:11.000Z";
    event.Channels[0].Enabled = true;
    ASSERT_TRUE(WriteSidecar(event, path("event.wfd").toStdString()).Ok);
    // Its trigger at its own time of day, not its window's start plus the time since RUN.
    const QString eventClock = QDateTime::fromString(QStringLiteral("2026-12-07T23:42:45.253Z"), Qt::ISODateWithMs)
                                   .toLocalTime()
                                   .toString(QStringLiteral("HH:mm:ss.zzz"));
    // A recording of one second from 03:00 UTC whose channel 1 rises through 1000 at set 2345,
    // where a trigger was recorded.
    const QString recording = path("rise.arec");
    const QDateTime recordingStart = QDateTime::fromString(QStringLiteral("2026-12-07T03:00:00.000Z"), Qt::ISODateWithMs);
    {
        RecordingWriter writer;
        RecordingHeader header{"2026-12-07T03:00:00.000Z", "test", "", {}};
        header.Channels = {{{"9004", "", "1", ""}, {"9042", "", "1", ""}, {"9040", "", "1", ""}, {"9060", "", "1", ""}}};
        ASSERT_EQ(writer.Create(recording.toStdString(), header), "");
        std::vector<std::int16_t> sets;
        for (int n = 0; n < 5000; ++n) sets.insert(sets.end(), {std::int16_t(n >= 2345 ? 2000 : 0), 0, 0, 0});
        const RecordingEvent trigger{2345, "trigger", "Ch1 rising 1000: triggered"};
        ASSERT_TRUE(writer.Write(sets, {}, {&trigger, 1}));
        ASSERT_TRUE(writer.Close());
    }

    const SourceCase cases[] = {
        {"loaded file", [&] { open("Loadwaveformfile1", path("plain.wfd")); }, 12345, "2.4692", true, {}, {}, false},
        {"event file", [&] { open("Loadwaveformfile1", path("event.wfd")); }, 12345, "2.4692", true,
         [&] { return QStringLiteral("Triggered at 2.4692 s, ") + eventClock; }, {}, false},
        {"recording",
         [&] {
             open("OpenRecording1", recording);
             display_->SetTrigger({TriggerMode::Off, 1, TriggerCondition::Rising, "1000"});
         },
         2345, "0.469", true, {}, [&] { return LocalClock(recordingStart.addMSecs(469)); }, true},
        // Channel 2 (the PID reference, gain 0.1) steps from 4 to 6 at 15 s: a Single trigger
        // at 5 freezes the window with the trigger at position 50000.
        {"live window",
         [&] {
             startDrive({}, 10.0);
             typeAddress(2, QStringLiteral("901a"));
             find<QLineEdit>(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.1"));
             choose("TriggerModeBox", 1);
             choose("TriggerSourceBox", 1);
             auto* level = find<QLineEdit>(QStringLiteral("TriggerLevelEdit"));
             level->clear();
             QTest::keyClicks(level, QStringLiteral("5"));
             click("Button1");
             ASSERT_TRUE(tickUntil([&] { return record().SetCount > 1000; }));
         },
         99999, "20", false, {}, {}, false},
        // The trigger's set came 15 s after RUN.
        {"frozen window", [&] { ASSERT_TRUE(tickUntil([&] { return !timerActive(); }, 30s)); }, 50000, "10.0002", true,
         [&] {
             return QStringLiteral("Triggered at 10.0002 s, ") +
                    display_->Facts().Start.addSecs(15).toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"));
         },
         [&] { return LocalClock(display_->Facts().Start.addSecs(15)); }, false},
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(c.source);
        c.show();
        EXPECT_EQ(readout(c.position), QLatin1String(c.time));
        if (c.legendShown) EXPECT_EQ(legend(c.position), QLatin1String(c.time));
        const auto [csv, data] = exported(c.position);
        EXPECT_EQ(csv, QLatin1String(c.time));
        EXPECT_EQ(data, QLatin1String(c.time));
        if (c.triggered) EXPECT_EQ(state(), c.triggered());
        if (c.clock) EXPECT_TRUE(eventTimes().contains(c.clock())) << eventTimes().join(", ").toStdString();
        if (c.findable) EXPECT_TRUE(findPrevious().startsWith(QStringLiteral("Found at %1 ").arg(c.clock()))) << findPrevious().toStdString();
    }
}

}  // namespace
}  // namespace altrix::testing
