#include "BenchApplication.h"

namespace altrix::bench {

QApplication& Application() {
    static QApplication* const app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "altrix_ui_bench";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace altrix::bench
