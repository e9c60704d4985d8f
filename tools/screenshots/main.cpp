// altrix-screenshots OUTDIR [RECORDING]: makes the README's pictures of the window on the
// simulated drive, driven as a user drives it: the quantities chosen from their lists, RUN and
// STOP clicked, the menus' items triggered, file names given where a dialog would ask. The drive
// runs in real time, so the pictures take about a minute. With RECORDING (an .arec file),
// also the recording at full view, zoomed in, and with math traces. Run it under a virtual display of at least
// 1920 x 1080.

#include "CaptureSession.h"
#include "Mainframe.h"
#include "PtyDrive.h"
#include "Prompts.h"
#include "ScopeDisplay.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

using namespace altrix;

constexpr double kDriveSpeed = 1;

// Runs the event loop for `ms` of wall-clock time.
void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// The dialogs' answers: the file names given, messages printed.
class ScriptedPrompts final : public Prompts {
public:
    QString FileName;
    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon, MessageButtons) override {
        std::fprintf(stderr, "altrix-screenshots: %s: %s\n", qPrintable(caption), qPrintable(text));
        return MessageAnswer::Ok;
    }
    QString askSaveFileName(const FileDialogSpec&) override { return FileName; }
    QString askOpenFileName(const FileDialogSpec&) override { return FileName; }
    QString askFolder(const QString&, const QString&) override { return FileName; }
};

template <class T = QWidget>
T* Find(const QWidget& form, const char* name) {
    T* child = form.findChild<T*>(QLatin1String(name));
    if (!child) std::fprintf(stderr, "altrix-screenshots: no control %s\n", name);
    return child;
}

void Choose(const QWidget& form, const char* box, int index) {
    auto* list = Find<QComboBox>(form, box);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void Trigger(const QWidget& form, const char* action) {
    Find<QAction>(form, action)->trigger();
}

bool Save(QWidget& window, const QDir& out, const char* name) {
    Settle(300);
    const QString path = out.filePath(QLatin1String(name));
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// A capture of `driveSeconds` of four quantities: output frequency, DC bus, output current and
// motor speed, their Y-scales raised so that each fills part of the height.
void Capture(TForm1& form, double driveSeconds) {
    const int quantities[] = {1, 2, 4, 5};
    const int yScales[] = {14, 8, 19, 17};  // 4, 1, 20, 10
    for (int k = 1; k <= 4; ++k) {
        Choose(form, qPrintable(QStringLiteral("ComboBox%1").arg(k)), quantities[k - 1]);
        Choose(form, qPrintable(QStringLiteral("ComboBox%1").arg(k + 4)), yScales[k - 1]);
    }
    Find<QPushButton>(form, "Button1")->click();
    Settle(static_cast<int>(driveSeconds * 1000 / kDriveSpeed));
    Find<QPushButton>(form, "Button2")->click();
}

// Runs the event loop until `done` holds or `ms` passed.
bool SettleUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) Settle(50);
    return done();
}

// The mouse over the chart at a share of its width, as the legend's values follow it.
void PointAt(TForm1& form, double share) {
    form.Chart1MouseMove(form.chart().width() * share);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: altrix-screenshots OUTDIR [RECORDING]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;
    sim::PtySettings settings;
    settings.LinkPath = work.filePath(QStringLiteral("drive")).toStdString();
    settings.Speed = kDriveSpeed;
    sim::PtyDrive drive(settings);
    std::string error;
    if (!drive.Start(error)) {
        std::fprintf(stderr, "altrix-screenshots: the simulated drive did not start: %s\n", error.c_str());
        return 1;
    }
    const std::string ini = work.filePath(QStringLiteral("altrix-scope.INI")).toStdString();
    ScriptedPrompts prompts;
    bool ok = true;
    {
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        Find<QComboBox>(form, "COMSelectBox1")->setEditText(QString::fromStdString(settings.LinkPath));
        ok &= Save(form, out, "window.png");
        // At 1920 x 1080: the four quantities overlaid, each read on an axis of its own units.
        form.resize(1920, 1080);
        Capture(form, 20);
        Trigger(form, "FitAction");
        PointAt(form, 0.62);
        ok &= Save(form, out, "capture.png");

        // Lanes, the time zoomed in to 2.5 s and each lane fitted to it, the measurements
        // docked below.
        Trigger(form, "LanesAction");
        Trigger(form, "Measurements1");
        form.resize(1920, 1080);
        form.chart().xAxis->setRange(50000, 62500);  // 10 .. 12.5 s
        Trigger(form, "FitAction");
        PointAt(form, 0.62);
        ok &= Save(form, out, "maximised.png");
        Find<QAction>(form, "LanesAction")->setChecked(false);
        form.close();
    }
    // Each scene below starts as a first start does: no channels, math traces or views remembered.
    const auto forget = [&ini] { QFile::remove(QString::fromStdString(ini)); };
    {
        // Power from output voltage and current, overlaid, in the math window.
        forget();
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        form.resize(1600, 900);
        Find<QComboBox>(form, "COMSelectBox1")->setEditText(QString::fromStdString(settings.LinkPath));
        Choose(form, "ComboBox1", 3);  // Output voltage (Vac)
        Choose(form, "ComboBox2", 4);  // Output current (A rms)
        display.SetMath(1, {true, "Power", "VA", "ch1*ch2"});
        Trigger(form, "MathTraces1");
        Find<QPushButton>(form, "Button1")->click();
        Settle(static_cast<int>(20 * 1000 / kDriveSpeed));
        Find<QPushButton>(form, "Button2")->click();
        Trigger(form, "FitAction");
        PointAt(form, 0.62);
        ok &= Save(form, out, "math-power.png");
        form.close();
    }
    {
        // A Single capture triggered by the PID reference's step (rising through 50 %), 2 s
        // around the trigger line.
        forget();
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        Find<QComboBox>(form, "COMSelectBox1")->setEditText(QString::fromStdString(settings.LinkPath));
        Choose(form, "ComboBox1", 7);  // PID reference (%)
        Choose(form, "ComboBox2", 8);  // PID feedback (%)
        Choose(form, "TriggerModeBox", 1);
        Choose(form, "TriggerSourceBox", 0);
        Choose(form, "TriggerSlopeBox", 0);
        auto* level = Find<QLineEdit>(form, "TriggerLevelEdit");
        level->setText(QStringLiteral("50"));
        emit level->textEdited(level->text());
        Find<QPushButton>(form, "Button1")->click();
        ok &= SettleUntil([&] { return !session.IsRunning(); }, 40000);
        // 9.5 .. 11.5 s around the trigger at 10 s, both traces fitted to it.
        form.chart().xAxis->setRange(47500, 57500);
        Trigger(form, "FitAction");
        PointAt(form, 0.56);
        ok &= Save(form, out, "trigger.png");
        Choose(form, "TriggerModeBox", 0);
        form.close();
    }
    {
        // 25 s over a noisy link: bits flipped five times a second.
        sim::PtySettings noisy = settings;
        noisy.LinkPath = work.filePath(QStringLiteral("noisy-drive")).toStdString();
        noisy.Drive.NoiseRate = 5;
        sim::PtyDrive noisyDrive(noisy);
        if (!noisyDrive.Start(error)) {
            std::fprintf(stderr, "altrix-screenshots: the noisy drive did not start: %s\n", error.c_str());
            return 1;
        }
        forget();
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        Find<QComboBox>(form, "COMSelectBox1")->setEditText(QString::fromStdString(noisy.LinkPath));
        Capture(form, 25);
        ok &= Save(form, out, "link-health.png");
        form.close();
        noisyDrive.Stop();
    }
    if (argc > 2) {
        // A recording: the whole of it, then a few seconds of it.
        forget();
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        form.resize(1600, 900);
        prompts.FileName = QString::fromLocal8Bit(argv[2]);
        Trigger(form, "OpenRecording1");
        Trigger(form, "LanesAction");
        Trigger(form, "FitAction");
        PointAt(form, 0.5);
        ok &= Save(form, out, "recording-whole.png");
        const double middle = form.chart().xAxis->range().center();
        form.chart().xAxis->setRange(middle, middle + 5 * 5000);  // 5 s
        PointAt(form, 0.5);
        ok &= Save(form, out, "recording-zoomed.png");
        // The event list, and the third event chosen in it.
        Trigger(form, "Events1");
        if (auto* events = Find<QTableWidget>(form, "EventsTable"); events && events->rowCount() > 2) {
            events->setCurrentCell(2, 0);
            emit events->cellActivated(2, 0);
        }
        PointAt(form, 0.5);
        ok &= Save(form, out, "events.png");
        Find<QDockWidget>(form, "EventsDock")->hide();
        // Math traces over 0.2 s of it, overlaid: the current's RMS and a product.
        Find<QAction>(form, "LanesAction")->setChecked(false);
        display.SetMath(1, {true, "Current", "A rms", "rms(ch2, 0.02)"});
        display.SetMath(2, {true, "Power", "kW", "ch2*ch3/1000"});
        form.chart().xAxis->setRange(middle, middle + 1000);
        form.chart().yAxis->setRange(-33000, 33000);
        PointAt(form, 0.5);
        ok &= Save(form, out, "math-recording.png");
        for (int m = 1; m <= 2; ++m) display.SetMath(m, {});
        form.close();
    }
    drive.Stop();
    return ok ? 0 : 1;
}
