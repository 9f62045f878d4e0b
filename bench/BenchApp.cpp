#include "bench/BenchApp.h"

#include "app/shell/Translations.h"
#include "platform/ui/PhoneStyle.h"

#include <cstdlib>

namespace BenchApp {

std::unique_ptr<QApplication> start(int& argc, char** argv) {
    // No display on the machines that measure; the offscreen platform still
    // lays out and paints every widget.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto application = std::make_unique<QApplication>(argc, argv);
    Translations::install(*application, Translations::bundleDirectory());
    PhoneStyle::install();
    return application;
}

}  // namespace BenchApp
