#include "CaptureSession.h"

#include "ScopeExchange.h"

#include <QTimer>

#include <span>

namespace altrix {

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRatePeriod{1000};
constexpr int kSetsPerSecond = 5000;
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
    rateBlocks_ = 0;
    reconnecting_ = false;
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
    reconnecting_ = false;
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
    if (reconnecting_) tryReconnect(now);
    updateHealth(now);
    emit ticked(newSets);

    if (IsRunning() && !reconnecting_ && (port_.Vanished() || now - lastByteAt_ >= kSilenceLimit))
        loseLink(now);
}

void CaptureSession::loseLink(Clock::time_point now) {
    const auto silentFor = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastByteAt_);
    const QDateTime lastByteAt = QDateTime::currentDateTime().addMSecs(-silentFor.count());
    if (!autoReconnect_) {
        Stop();
        emit linkLost(lastByteAt);
        return;
    }
    // A drive that went quiet on a port still open is told to stop, within one exchange's time.
    SendStreamReset(port_);
    closePort();
    reconnecting_ = true;
    lastAttemptAt_ = now;
    emit reconnecting(lastByteAt);
}

void CaptureSession::tryReconnect(Clock::time_point now) {
    if (now - lastAttemptAt_ < kRetryPeriod) return;
    lastAttemptAt_ = now;
    CaptureRecord& rec = *record_;
    port_.PortOpen = port_.Open(rec.PortName, rec.BaudRate) == OpenResult::Opened;
    if (!port_.PortOpen) return;
    if (!SendStartCapture(port_, setup_.Addresses)) {
        closePort();
        return;
    }
    // The time without a stream keeps its place on the time axis.
    const auto missed = std::chrono::duration<double>(Clock::now() - lastByteAt_).count();
    RestartStream(rec, static_cast<std::int64_t>(missed * kSetsPerSecond), setup_.Enabled);
    lastByteAt_ = Clock::now();
    reconnecting_ = false;
    emit reconnected();
}

void CaptureSession::updateHealth(Clock::time_point now) {
    const StreamHealth& stream = record_->Health;
    health_.BlocksLost = stream.BlocksLost;
    health_.Resyncs = stream.Resyncs;
    health_.BytesDiscarded = stream.BytesDiscarded;
    health_.SecondsSinceLastByte = std::chrono::duration<double>(now - lastByteAt_).count();
    const auto elapsed = now - rateSince_;
    if (elapsed >= kRatePeriod) {
        const std::uint64_t blocks = stream.BlocksDecoded - rateBlocks_;
        health_.SetsPerSecond = static_cast<double>(blocks * kSetsPerBlock) / std::chrono::duration<double>(elapsed).count();
        rateSince_ = now;
        rateBlocks_ = stream.BlocksDecoded;
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
    timer_->stop();
    reconnecting_ = false;
    if (!port_.IsOpen()) return;
    SendStreamReset(port_);
    closePort();
}

}  // namespace altrix
