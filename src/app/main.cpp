// altrix-scope: creates the main window and runs the message loop until the window closes.

#include "CommPort.h"
#include "ExportCommand.h"
#include "Mainframe.h"
#include "ParameterFiles.h"
#include "Prompts.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <optional>

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = altrix::RunExportCommand(argc, argv)) return *status;
    QApplication app(argc, argv);
    altrix::DefaultPrompts prompts;
    // The one link to the drive: made before the window, closed when it goes at the end.
    altrix::CommPort port(
        altrix::SettingsIniPath(QCoreApplication::applicationFilePath().toStdString()));
    // An exception that escapes start-up or the loop is shown, then the program ends;
    // one that is not a std::exception shows an empty message.
    QString message;
    try {
        // The window frees itself when closed; closing the last window ends the loop.
        auto* form = new altrix::TForm1(prompts, port);
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
