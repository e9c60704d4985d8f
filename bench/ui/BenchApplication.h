#pragma once
// The QApplication of the ui benchmarks, on the offscreen platform. The shared benchmark
// main creates none, so the first benchmark that needs it creates it; it is never destroyed,
// since one torn down by the exit handlers would outlive Qt's own statics.

#include <QApplication>

namespace altrix::bench {

QApplication& Application();

}  // namespace altrix::bench
