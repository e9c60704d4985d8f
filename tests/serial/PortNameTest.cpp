// Port names from the window to devices: the settings file's "Ports" section, then COMn.

#include <gtest/gtest.h>

#include <fstream>

#include "DriveTestSupport.h"
#include "PortName.h"

namespace altrix::testing {
namespace {

TEST(ResolvePortName, SettingsFileThenComNumberThenAsTyped) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string ini = folder.PathOf("altrix-scope.INI");
    std::ofstream(ini) << "[Parameter]\nListFilePath=list.plf\n"
                          "[ports]\nCOM3=/dev/ttyUSB0\ncom4=/tmp/altrix-drive\nCOM5=\n"
                          "sim=/tmp/sim-link\n";

    struct Case {
        std::string Name;
        std::string Ini;
        std::string Device;
    };
    const std::string missingIni = folder.PathOf("missing.INI");
    const Case cases[] = {
        {"COM3", ini, "/dev/ttyUSB0"},       // mapped
        {"com3", ini, "/dev/ttyUSB0"},       // keys compare without case
        {"COM4", ini, "/tmp/altrix-drive"},  //
        {"sim", ini, "/tmp/sim-link"},       // any key, not only COMn
        {"COM5", ini, "/dev/ttyS4"},         // an empty value counts as absent
        {"COM1", ini, "/dev/ttyS0"},
        {"COM12", ini, "/dev/ttyS11"},
        {"COM12", missingIni, "/dev/ttyS11"},
        {"COM12", "", "/dev/ttyS11"},
        {"Com7", "", "/dev/ttyS6"},
        {"COM256", "", "/dev/ttyS255"},
        {"COM257", "", "COM257"},
        {"COM0", "", "COM0"},
        {"COM03", "", "COM03"},
        {"COM", "", "COM"},
        {"COM1x", "", "COM1x"},
        {"COM-1", "", "COM-1"},
        {"/dev/ttyUSB1", ini, "/dev/ttyUSB1"},
        {"", ini, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolvePortName(c.Name, c.Ini), c.Device)
            << '"' << c.Name << "\" with settings \"" << c.Ini << '"';
    }
}

}  // namespace
}  // namespace altrix::testing
