#include "CommPort.h"

#include <QMetaObject>
#include <QSerialPort>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "PortName.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/file.h>
#endif

namespace altrix {
namespace {

#ifdef Q_OS_WIN
constexpr auto kStopBits = QSerialPort::OneAndHalfStop;
#else
// Qt has no 1.5 stop bits here (it would quietly set 1); a receiver expecting 1.5 accepts 2.
constexpr auto kStopBits = QSerialPort::TwoStop;
#endif

// True when another program holds the device under the advisory lock that serial tools
// take (Qt's own lock file already covers programs built on Qt).
bool LockedElsewhere([[maybe_unused]] QSerialPort& serial) {
#ifdef Q_OS_UNIX
    return ::flock(static_cast<int>(serial.handle()), LOCK_EX | LOCK_NB) != 0 &&
           errno == EWOULDBLOCK;
#else
    return false;  // opened without sharing
#endif
}

// A device that is gone reports a hang-up on POSIX systems; Qt does not always notice.
bool HungUp([[maybe_unused]] QSerialPort& serial) {
#ifdef Q_OS_UNIX
    pollfd fd{static_cast<int>(serial.handle()), 0, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

}  // namespace

CommPort::CommPort(std::string settingsIniPath) : settingsIniPath_(std::move(settingsIniPath)) {}

CommPort::~CommPort() { Close(); }

OpenResult CommPort::Open(const std::string& name, std::int32_t speed) {
    if (PortOpen) return OpenResult::Opened;
    Close();

    auto serial = std::make_unique<QSerialPort>();
    const std::string device = ResolvePortName(name, settingsIniPath_);
    serial->setPortName(QString::fromStdString(device));
    const auto fail = [&](OpenResult result, const QString& reason) {
        openFailure_ = (device == name ? name : name + " (" + device + ")") + ": " + reason.toStdString();
        return result;
    };
    if (!serial->open(QIODevice::ReadWrite)) return fail(OpenResult::DeviceError, serial->errorString());
    if (LockedElsewhere(*serial)) return fail(OpenResult::DeviceError, QStringLiteral("Device or resource busy"));
    const bool settingsApplied = serial->setBaudRate(speed) &&
                                 serial->setDataBits(QSerialPort::Data8) &&
                                 serial->setParity(QSerialPort::NoParity) &&
                                 serial->setStopBits(kStopBits);
    if (!settingsApplied) return fail(OpenResult::SettingsRefused, serial->errorString());
    openFailure_.clear();

    QObject::connect(serial.get(), &QSerialPort::errorOccurred, serial.get(),
                     [this](QSerialPort::SerialPortError error) { OnSerialError(error); });
    serial_ = std::move(serial);
    open_ = true;
    vanished_ = false;
    return OpenResult::Opened;
}

bool CommPort::Close() {
    serial_.reset();
    open_ = false;
    vanished_ = false;
    return true;
}

void CommPort::Purge() {
    if (!DeviceUsable()) return;
    serial_->clear(QSerialPort::AllDirections);
    ReleaseIfVanished();
}

bool CommPort::WriteByte(std::uint8_t byte, std::chrono::milliseconds wait) {
    if (!DeviceUsable()) return false;
    const char data = static_cast<char>(byte);
    const bool sent = serial_->write(&data, 1) == 1 &&
                      serial_->waitForBytesWritten(static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
    ReleaseIfVanished();
    return sent;
}

std::int32_t CommPort::ReadAvailable(std::span<std::uint8_t> buffer) {
    if (!DeviceUsable() || buffer.empty()) return 0;
    const qint64 capacity =
        static_cast<qint64>(std::min<std::size_t>(buffer.size(), std::numeric_limits<std::int32_t>::max()));
    // Move what the driver already holds into Qt's buffer; a zero timeout never waits.
    while (serial_->bytesAvailable() < capacity && serial_->waitForReadyRead(0)) {
    }
    const qint64 read = serial_->read(reinterpret_cast<char*>(buffer.data()), capacity);
    ReleaseIfVanished();
    return read > 0 ? static_cast<std::int32_t>(read) : 0;
}

bool CommPort::DeviceUsable() const { return open_ && serial_ && serial_->isOpen(); }

void CommPort::OnSerialError(int error) {
    if (vanished_ || !DeviceUsable()) return;
    const bool gone = error == QSerialPort::ResourceError ||
                      ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) &&
                       HungUp(*serial_));
    if (!gone) return;
    vanished_ = true;
    // Qt keeps polling a hung-up device and would spin the event loop. Let go of it, but not
    // from inside the port's own call that reported the error.
    QMetaObject::invokeMethod(serial_.get(), [this] { ReleaseIfVanished(); }, Qt::QueuedConnection);
}

void CommPort::ReleaseIfVanished() {
    if (vanished_ && serial_ && serial_->isOpen()) serial_->close();
}

}  // namespace altrix
