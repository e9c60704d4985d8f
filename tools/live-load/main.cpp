// altrix-live-load --link PATH [--mode high|envelope] [--settings INI]: the main window, made as
// altrix-scope makes it, capturing four quantities live from the drive at PATH (a simulated drive's
// link) on the real port and the real tick, axes and legend on, in the given drawing mode. It
// prints "capturing" once the first sets are decoded; every line read on its standard input is
// answered with "sets N", the sample sets decoded since RUN, and a line "shot FILE" also saves a
// picture of the window to FILE; at the end of its input it clicks STOP and ends. Whatever measures it (scripts/measure-live) reads the process from outside.

#include "CaptureSession.h"
#include "Mainframe.h"
#include "Prompts.h"
#include "ScopeDisplay.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace altrix;

// Nothing asks: a message is printed and taken as read.
class QuietPrompts final : public Prompts {
public:
    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon, MessageButtons) override {
        std::fprintf(stderr, "altrix-live-load: %s: %s\n", qPrintable(caption), qPrintable(text));
        return MessageAnswer::Discard;
    }
    QString askSaveFileName(const FileDialogSpec&) override { return {}; }
    QString askOpenFileName(const FileDialogSpec&) override { return {}; }
    QString askFolder(const QString&, const QString&) override { return {}; }
};

template <class T>
T& Child(const QWidget& form, const char* name) {
    T* child = form.findChild<T*>(QLatin1String(name));
    if (!child) {
        std::fprintf(stderr, "altrix-live-load: no control %s\n", name);
        std::exit(1);
    }
    return *child;
}

void Choose(const QWidget& form, const QString& box, int index) {
    auto& list = Child<QComboBox>(form, qPrintable(box));
    list.setCurrentIndex(index);
    emit list.activated(index);
}

void Check(const QWidget& form, const char* action, bool on) {
    auto& item = Child<QAction>(form, action);
    if (item.isChecked() != on) item.trigger();
}

int Usage() {
    std::fprintf(stderr, "usage: altrix-live-load --link PATH [--mode high|envelope] [--settings INI]\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::string link, mode = "high", settings;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--link") && value) link = argv[++i];
        else if (!std::strcmp(argv[i], "--mode") && value) mode = argv[++i];
        else if (!std::strcmp(argv[i], "--settings") && value) settings = argv[++i];
        else return Usage();
    }
    if (link.empty() || (mode != "high" && mode != "envelope")) return Usage();
    QTemporaryDir scratch;
    if (settings.empty()) settings = scratch.filePath(QStringLiteral("altrix-scope.INI")).toStdString();

    QuietPrompts prompts;
    CaptureSession session(settings);
    ScopeDisplay display(session);
    auto* form = new TForm1(prompts, session, display, settings);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();

    // Output frequency, DC bus, output current and motor speed, as the README's pictures show them.
    const int quantities[] = {1, 2, 4, 5};
    const int yScales[] = {14, 8, 19, 17};
    for (int k = 1; k <= 4; ++k) {
        Choose(*form, QStringLiteral("ComboBox%1").arg(k), quantities[k - 1]);
        Choose(*form, QStringLiteral("ComboBox%1").arg(k + 4), yScales[k - 1]);
    }
    Check(*form, "AxesAction", true);
    Check(*form, "LegendAction", true);
    Check(*form, "LanesAction", false);
    Child<QAction>(*form, mode == "high" ? "HighprecisionMode" : "EnvelopeMode1").trigger();
    Child<QComboBox>(*form, "COMSelectBox1").setEditText(QString::fromStdString(link));

    std::uint64_t sets = 0;
    QObject::connect(&session, &CaptureSession::ticked, &app, [&sets](int newSets) {
        if (sets == 0 && newSets > 0) {
            std::printf("capturing\n");
            std::fflush(stdout);
        }
        sets += static_cast<std::uint64_t>(newSets);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[1024];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count > 0) {
            const QString line = QString::fromLocal8Bit(buffer, count).trimmed();
            if (line.startsWith(QLatin1String("shot "))) form->grab().save(line.mid(5));
            std::printf("sets %llu\n", static_cast<unsigned long long>(sets));
            std::fflush(stdout);
            return;
        }
        input.setEnabled(false);
        Child<QPushButton>(*form, "Button2").click();
        form->close();
    });
    Child<QPushButton>(*form, "Button1").click();
    if (!session.IsRunning()) {
        std::fprintf(stderr, "altrix-live-load: the capture did not start on %s\n", link.c_str());
        return 1;
    }
    return app.exec();
}
