#include "CommandLine.h"

#include "ExportCommand.h"
#include "RecordCommand.h"
#include "Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace altrix {

namespace {

void Print(std::FILE* stream, const QString& text) {
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}

}  // namespace

void DescribeProgram() {
    QCoreApplication::setApplicationName(QLatin1String(kProgramName));
    QCoreApplication::setApplicationVersion(QLatin1String(kProgramVersion));
    QGuiApplication::setDesktopFileName(QLatin1String(kProgramName));
}

std::optional<int> RunCommandLine(const QStringList& arguments, bool windowSystemOptionsRemoved) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "An oscilloscope for ALTRIX AC motor drives over their serial link. Without options it "
        "opens its window; the settings file is the one beside the program, or else "
        "altrix-scope.INI in the user's configuration folder.\n\n"
        "Without a window, --export-csv converts a waveform file to CSV as \"Export CSV...\" "
        "writes it, values read with the channels' gains (1 when not given) or as raw integers "
        "with --raw:\n  %1\n\n"
        "--export writes the same values as CSV, a MATLAB .mat file or an HDF5 .h5 file, by the "
        "output's suffix, optionally only the sets from --from to --to seconds:\n  %2\n\n"
        "--record records a capture to a recording file without a window, until Ctrl+C, SIGTERM "
        "or the --duration (90s, 30m, 8h); quantities by preset name or four-digit address:\n  %3")
        .arg(QLatin1String(kExportCommandUsage), QLatin1String(kExportDataUsage), QLatin1String(kRecordCommandUsage)));
    // Without the window system's --help-all: its options are in Qt's documentation.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // Strictly: "-hv" is one unknown option, not -h and -v, and "--" ends the options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const bool parsed = parser.parse(arguments);

    if (parser.isSet(help)) {
        // Before the window system starts the parser cannot name the program itself.
        Print(stdout, parser.helpText().replace(QLatin1String("<executable_name>"),
                                                QCoreApplication::applicationName()));
        return EXIT_SUCCESS;
    }
    if (parser.isSet(version)) {
        Print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion()));
        return EXIT_SUCCESS;
    }
    if (!windowSystemOptionsRemoved) return std::nullopt;
    // The window takes no file or other argument.
    const QString wrong = !parsed ? parser.errorText()
                          : parser.positionalArguments().isEmpty()
                              ? QString()
                              : QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    if (!wrong.isEmpty()) {
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QCoreApplication::applicationName(), wrong));
        return EXIT_FAILURE;
    }
    return std::nullopt;
}

}  // namespace altrix
