#pragma once
// An update of a window's contents that many requests share: it runs once the event loop is
// free, at most once per `capturingIntervalMs` while a capture runs, and never while the
// window is hidden (showing it runs one).

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace altrix {

class CoalescedUpdate : public QObject {
public:
    CoalescedUpdate(QWidget& window, int capturingIntervalMs, std::function<void()> work);

    void request(bool capturing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();

    QWidget& window_;
    int capturingIntervalMs_;
    std::function<void()> work_;
    QTimer timer_;
    QElapsedTimer sinceLastRun_;
};

}  // namespace altrix
