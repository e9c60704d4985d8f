#include "CaptureSession.h"

#include "ScopeExchange.h"

#include <QTimer>

#include <span>

namespace altrix {

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRatePeriod{1000};
}  // namespace

CaptureSession::CaptureSession(std::string settingsIniPath, QObject* parent)
    : QObject(parent),
      record_(std::make_unique<CaptureRecord>()),
      port_(std::move(settingsIniPath)),
      timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(kTickIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CaptureSession::Tick);
}

CaptureSession::~CaptureSession() = default;

bool CaptureSession::IsRunning() const { return timer_->isActive(); }

bool CaptureSession::openPort(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.PortName = portName;
    const OpenResult result = port_.Open(rec.PortName, rec.BaudRate);
    port_.PortOpen = result == OpenResult::Opened;
    if (port_.PortOpen) return true;
    emit linkFailed(result == OpenResult::SettingsRefused ? LinkFailure::SettingsRefused
                                                          : LinkFailure::DeviceError);
    return false;
}

void CaptureSession::closePort() {
    port_.Close();
    port_.PortOpen = false;
}

bool CaptureSession::Start(const std::string& portName, const CaptureSetup& setup) {
    if (IsRunning()) return true;
    if (!openPort(portName)) return false;
    if (!SendStartCapture(port_, setup.Addresses)) {
        closePort();
        emit linkFailed(LinkFailure::ExchangeStalled);
        return false;
    }
    // The purge of the start exchange emptied the input queue: the stream's first byte lands
    // at ring index 0.
    setup_ = setup;
    ResetForRun(*record_);
    health_ = {};
    lastByteAt_ = rateSince_ = Clock::now();
    rateSets_ = 0;
    timer_->start();
    emit started();
    return true;
}

void CaptureSession::Stop() {
    // A stalled port takes at most one exchange's time; it is closed regardless.
    SendStreamReset(port_);
    port_.Close();
    timer_->stop();
    port_.PortOpen = false;
    emit stopped();
}

void CaptureSession::Tick() {
    CaptureRecord& rec = *record_;
    const std::int32_t before = rec.NextSample;
    rec.ReceivedCount = port_.ReadAvailable(rec.ReceiveBuffer);
    StoreAndDecode(rec, std::span(rec.ReceiveBuffer).first(static_cast<std::size_t>(rec.ReceivedCount)),
                   setup_.Enabled);
    rec.DrawPointCount = captureDensity_;
    // One tick decodes far fewer than a ring's worth of sets.
    int newSets = rec.NextSample - before;
    if (newSets < 0) newSets += kTraceSlots;
    const auto now = Clock::now();
    if (rec.ReceivedCount > 0) lastByteAt_ = now;
    updateHealth(now, newSets);
    emit ticked(newSets);

    if (IsRunning() && (port_.Vanished() || now - lastByteAt_ >= kSilenceLimit)) {
        const auto silentFor = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastByteAt_);
        Stop();
        emit linkLost(QDateTime::currentDateTime().addMSecs(-silentFor.count()));
    }
}

void CaptureSession::updateHealth(Clock::time_point now, int newSets) {
    health_.SecondsSinceLastByte = std::chrono::duration<double>(now - lastByteAt_).count();
    rateSets_ += newSets;
    const auto elapsed = now - rateSince_;
    if (elapsed >= kRatePeriod) {
        health_.SetsPerSecond = rateSets_ / std::chrono::duration<double>(elapsed).count();
        rateSince_ = now;
        rateSets_ = 0;
    }
}

void CaptureSession::Identify(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.StreamRing.fill(0);
    if (!openPort(portName)) return;
    if (!SendIdentifyRequest(port_)) {
        closePort();
        emit linkFailed(LinkFailure::ExchangeStalled);
        return;
    }
    rec.ReceiveBuffer.fill(0);
    // Bytes that do not arrive in time read as 0.
    const auto reply = std::span(rec.ReceiveBuffer).first<kIdentifyReplyBytes>();
    ReadReply(port_, reply, kIdentifyReplyWait);
    rec.DriveTypeCode = DecodeIdentifyReply(reply).TypeCode;
    closePort();
    emit identified(rec.DriveTypeCode);
}

void CaptureSession::Shutdown() {
    if (!port_.IsOpen()) return;
    SendStreamReset(port_);
    closePort();
    timer_->stop();
}

}  // namespace altrix
