#include "About.h"

#include "LibraryVersions.h"
#include "Version.h"

#include <sqlite3.h>

namespace altrix {

QString AboutText() {
    return QStringLiteral(
               "%1 %2\n"
               "An oscilloscope for ALTRIX AC motor drives over their serial link.\n\n"
               "Licence: GNU General Public License, version 3 or later (GPL-3.0-or-later). "
               "It comes with no warranty.\n\n"
               "Libraries it uses:\n"
               "Qt %3 (Core, Gui, Widgets, SerialPort, PrintSupport, Svg): "
               "GNU Lesser General Public License, version 3\n"
               "QCustomPlot 2.1: GNU General Public License, version 3\n"
               "SimpleIni: MIT License\n"
               "FFTW 3: GNU General Public License, version 2 or later\n"
               "SQLite %4: public domain\n"
               "muParser %5: MIT License\n"
               "matio %6: BSD 2-Clause License\n"
               "HDF5 %7: BSD 3-Clause License (HDF5 licence)")
        .arg(QLatin1String(kProgramName), QLatin1String(kProgramVersion), QLatin1String(qVersion()),
             QLatin1String(SQLITE_VERSION), QString::fromStdString(MuParserVersion()),
             QString::fromStdString(MatioVersion()), QString::fromStdString(Hdf5Version()));
}

}  // namespace altrix
