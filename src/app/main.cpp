// altrix-scope: reads the command line, finds the settings file, creates the main window and
// runs the message loop until the window closes; or runs a command without a window.

#include "CaptureSession.h"
#include "CommandLine.h"
#include "ExportCommand.h"
#include "RecordCommand.h"
#include "Mainframe.h"
#include "ParameterFiles.h"
#include "Prompts.h"
#include "ScopeDisplay.h"
#include "Version.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

// Beside the program, else in the user's configuration folder, made from the installed
// sample on a first start.
std::string ProgramSettingsFile() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    return altrix::LocateSettingsFile({
        NativePath(QCoreApplication::applicationFilePath()),
        NativePath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)),
        NativePath(QDir::cleanPath(programFolder.filePath(QStringLiteral(ALTRIX_SAMPLE_FOLDER)))),
    });
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char* argv[]) {
    altrix::DescribeProgram();
    // The export command's arguments are its own: "-v" there is a file name or an error.
    if (const std::optional<int> exitCode = altrix::RunExportCommand(argc, argv)) return *exitCode;
    // The record command's arguments are its own too; it runs the capture on Qt Core alone.
    if (const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
        altrix::NamesRecordCommand(arguments)) {
        const altrix::RecordParse parsed = altrix::ParseRecordCommand(arguments);
        if (!parsed.Options) {
            std::fprintf(stderr, "altrix-scope: %s; usage: %s\n", parsed.Error.c_str(), altrix::kRecordCommandUsage);
            return EXIT_FAILURE;
        }
        QCoreApplication app(argc, argv);
        return altrix::RunRecordCommand(*parsed.Options, ProgramSettingsFile(), altrix::kProgramVersion);
    }
    if (const std::optional<int> exitCode = altrix::RunCommandLine(ArgumentsOf(argc, argv), false))
        return *exitCode;
    QApplication app(argc, argv);
    if (const std::optional<int> exitCode = altrix::RunCommandLine(QCoreApplication::arguments(), true))
        return *exitCode;

    altrix::DefaultPrompts prompts;
    const std::string settingsIniPath = ProgramSettingsFile();
    // The pipeline: the capture session holds the one link to the drive and its record; the
    // display model follows it and holds what the screen shows; the window binds its controls
    // to both, and the analysis windows read the display. The session and the display are
    // made before the window and go after it.
    altrix::CaptureSession session(settingsIniPath);
    altrix::ScopeDisplay display(session);
    // An exception that escapes start-up or the loop is shown, then the program ends;
    // one that is not a std::exception shows an empty message.
    QString message;
    try {
        // The window frees itself when closed; closing the last window ends the loop.
        auto* form = new altrix::TForm1(prompts, session, display, settingsIniPath);
        form->show();
        return app.exec();
    } catch (const std::exception& error) {
        message = QString::fromLocal8Bit(error.what());
    } catch (...) {
    }
    prompts.showMessage(QCoreApplication::applicationName(), message, altrix::MessageIcon::Error,
                        altrix::MessageButtons::Ok);
    return EXIT_FAILURE;
}
