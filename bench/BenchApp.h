#pragma once

// The application object the benchmarks that drive the app's window run
// under: the offscreen platform, the bundle's translations and the phone
// style, as the program starts itself.
#include <QApplication>

#include <memory>

namespace BenchApp {

// `argc` must outlive the application, as for QApplication itself.
std::unique_ptr<QApplication> start(int& argc, char** argv);

}  // namespace BenchApp
