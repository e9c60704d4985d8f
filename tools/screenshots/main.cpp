// altrix-screenshots OUTDIR: makes the README's pictures of the window on the simulated drive,
// driven as a user drives it: the quantities chosen from their lists, RUN and STOP clicked,
// the menus' items triggered. The drive runs at ten times its speed so that 20 s of capture
// take 2 s. Run it under a virtual display of at least 1920 x 1080 (scripts/screenshots).

#include "CaptureSession.h"
#include "Mainframe.h"
#include "PtyDrive.h"
#include "Prompts.h"
#include "ScopeDisplay.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

using namespace altrix;

constexpr double kDriveSpeed = 10;

// Runs the event loop for `ms` of wall-clock time.
void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

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
    const int yScales[] = {10, 7, 9, 8};
    for (int k = 1; k <= 4; ++k) {
        Choose(form, qPrintable(QStringLiteral("ComboBox%1").arg(k)), quantities[k - 1]);
        Choose(form, qPrintable(QStringLiteral("ComboBox%1").arg(k + 4)), yScales[k - 1]);
    }
    Find<QPushButton>(form, "Button1")->click();
    Settle(static_cast<int>(driveSeconds * 1000 / kDriveSpeed));
    Find<QPushButton>(form, "Button2")->click();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: altrix-screenshots OUTDIR\n");
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
    DefaultPrompts prompts;
    bool ok = true;
    {
        CaptureSession session(ini);
        ScopeDisplay display(session);
        TForm1 form(prompts, session, display, ini);
        form.show();
        Find<QComboBox>(form, "COMSelectBox1")->setEditText(QString::fromStdString(settings.LinkPath));
        ok &= Save(form, out, "window.png");
        Capture(form, 20);
        ok &= Save(form, out, "capture.png");
        form.resize(1920, 1080);
        Trigger(form, "Measurements1");
        ok &= Save(form, out, "maximised.png");
        form.close();
    }
    drive.Stop();
    return ok ? 0 : 1;
}
