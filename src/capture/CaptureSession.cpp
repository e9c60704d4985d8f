#include "CaptureSession.h"

#include "CaptureReader.h"

#include <QTimer>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

namespace altrix {

namespace {
using Kind = CaptureNotice::Kind;

// Copies `count` ring slots ending before `end` of every channel.
void CopySlots(const ChannelTraces& from, ChannelTraces& to, std::int64_t count, std::int32_t end) {
    const auto copy = [&](std::int32_t first, std::int32_t n) {
        for (int c = 0; c < kChannelCount; ++c)
            std::memcpy(&to[c][first], &from[c][first], static_cast<std::size_t>(n) * sizeof(std::int16_t));
    };
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, kTraceSlots));
    const std::int32_t first = end - n;
    if (first >= 0) {
        copy(first, n);
    } else {
        copy(first + kTraceSlots, -first);
        copy(0, end);
    }
}
}  // namespace

CaptureSession::CaptureSession(std::string settingsIniPath, QObject* parent)
    : QObject(parent),
      settingsIniPath_(std::move(settingsIniPath)),
      readerHome_(new QObject),
      readTimer_(new QTimer(readerHome_)),
      reader_(std::make_unique<CaptureReader>(settingsIniPath_)),
      timer_(new QTimer(this)),
      record_(std::make_unique<CaptureRecord>()),
      frozen_(std::make_unique<ChannelTraces>()) {
    pending_.reserve(1024);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(kTickIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CaptureSession::Tick);
    readTimer_->setInterval(kReadIntervalMs);
    connect(readTimer_, &QTimer::timeout, readerHome_, [this] {
        const std::lock_guard hold(lock_);
        reader_->Read();
        if (!reader_->Running()) readTimer_->stop();
    });
    thread_.setObjectName(QStringLiteral("capture reader"));
    readerHome_->moveToThread(&thread_);
    thread_.start();
}

CaptureSession::~CaptureSession() {
    // The reader and its port belong to the reader thread: they end there.
    QMetaObject::invokeMethod(readerHome_, [this] {
        const std::lock_guard hold(lock_);
        reader_->Shutdown();
        reader_.reset();
        delete readTimer_;
    }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete readerHome_;
}

template <class Command>
void CaptureSession::onReader(Command command) {
    QMetaObject::invokeMethod(readerHome_, [&] {
        const std::lock_guard hold(lock_);
        command(*reader_);
        if (!reader_->Running()) readTimer_->stop();
        take();
    }, Qt::BlockingQueuedConnection);
    tell();
}

const CommPort& CaptureSession::port() const { return reader_->port(); }

bool CaptureSession::IsRunning() const { return timer_->isActive(); }

const ChannelSamples& CaptureSession::ShownTrace(int channel) const {
    return frozenShown_ ? (*frozen_)[channel - 1] : record_->ChannelTrace[channel - 1];
}

std::int32_t CaptureSession::ShownNextSample() const {
    return frozenShown_ ? frozenNextSample_ : record_->NextSample;
}

std::int64_t CaptureSession::ShownFirstSet() const {
    if (shownTrigger_ >= 0 && shownPosition_ >= 0) return shownTrigger_ - shownPosition_;
    return static_cast<std::int64_t>(record_->SetCount) - kWindowPositions;
}

void CaptureSession::take() {
    const CaptureReader& reader = *reader_;
    const CaptureNews news = reader_->TakeNews();
    const CaptureRecord& from = reader.record();
    CaptureRecord& to = *record_;
    if (news.Capture) {
        if (news.WholeTraces)
            to.ChannelTrace = from.ChannelTrace;
        else if (news.NewSlots > 0)
            CopySlots(from.ChannelTrace, to.ChannelTrace, news.NewSlots, news.SlotsEnd);
        to.PortName = from.PortName;
        to.NextSample = from.NextSample;
        to.SetCount = from.SetCount;
        to.ChannelPhase = from.ChannelPhase;
        to.DataError = from.DataError;
        to.Health = from.Health;
        to.Gaps = from.Gaps;
        to.GapCount = from.GapCount;
        setup_ = reader.Setup();
        startedAt_ = reader.StartedAt();
    }
    if (news.DriveType) to.DriveTypeCode = from.DriveTypeCode;
    if (news.Frozen) CopyWindowSlots(reader.Frozen(), *frozen_, reader.FrozenNextSample());
    frozenShown_ = reader.FrozenShown();
    frozenNextSample_ = reader.FrozenNextSample();
    shownTrigger_ = reader.ShownTrigger();
    shownPosition_ = reader.ShownPosition();
    if (news.Events) events_ = reader.Events();
    health_ = reader.Health();
    reconnecting_ = reader.Reconnecting();
    recording_ = {reader.Recording().Active(), reader.Recording().Sets(), reader.Recording().Bytes()};
    longRecording_ = {reader.LongRecording().Active(), reader.LongRecording().Sets(), reader.LongRecording().Bytes()};
    eventSaving_ = {reader.EventSaving().Active(), reader.EventSaving().Count()};
    reader_->MoveNoticesTo(pending_);
}

void CaptureSession::tell() {
    // A handler may call back into the session (STOP from a ticked()), which tells its own at
    // once: take the list first, into a buffer kept from earlier ticks.
    std::vector<CaptureNotice> notices;
    if (!spareLists_.empty()) {
        notices.swap(spareLists_.back());
        spareLists_.pop_back();
    }
    notices.swap(pending_);
    for (const CaptureNotice& notice : notices) tell(notice);
    notices.clear();
    spareLists_.push_back(std::move(notices));
}

void CaptureSession::tell(const CaptureNotice& notice) {
    switch (notice.What) {
    case Kind::Running:
        timer_->start();
        readerWaits_ = true;
        break;
    case Kind::Halted: timer_->stop(); break;
    case Kind::Started: emit started(); break;
    case Kind::Stopped: emit stopped(); break;
    case Kind::Ticked: emit ticked(static_cast<int>(notice.Number)); break;
    case Kind::Identified: emit identified(static_cast<std::int32_t>(notice.Number)); break;
    case Kind::LinkFailed: emit linkFailed(static_cast<LinkFailure>(notice.Number)); break;
    case Kind::LinkLost: emit linkLost(notice.At); break;
    case Kind::Reconnecting: emit reconnecting(notice.At); break;
    case Kind::Reconnected: emit reconnected(); break;
    case Kind::RecordingStarted:
        recordingFrom_ = notice.Number;
        emit recordingStarted();
        break;
    case Kind::RecordingEnded: emit recordingEnded(notice.Text); break;
    case Kind::TriggerState: emit triggerStateChanged(notice.Phase, notice.Seconds); break;
    case Kind::TriggerMoved: emit triggerMoved(static_cast<int>(notice.Number)); break;
    case Kind::EventsChanged: emit eventsChanged(); break;
    case Kind::EventSavingEnded: emit eventSavingEnded(notice.Text); break;
    }
}

void CaptureSession::takeLinkSettings(CaptureReader& reader) const {
    // The link settings are the window's record's: a loaded file or a test may have set them.
    reader.record().BaudRate = record_->BaudRate;
    reader.record().DriveTypeCode = record_->DriveTypeCode;
}

bool CaptureSession::Start(const std::string& portName, const CaptureSetup& setup) {
    if (IsRunning()) return true;
    bool running = false;
    onReader([&](CaptureReader& reader) {
        takeLinkSettings(reader);
        running = reader.Start(portName, setup);
    });
    return running;
}

void CaptureSession::Stop() {
    onReader([](CaptureReader& reader) { reader.Stop(); });
}

void CaptureSession::Tick() {
    if (std::exchange(readerWaits_, false))
        QMetaObject::invokeMethod(readerHome_, [this] {
            const std::lock_guard hold(lock_);
            if (reader_->Running()) readTimer_->start();
        }, Qt::QueuedConnection);
    std::unique_lock hold(lock_, std::try_to_lock);
    // The reader is in an exchange (a reconnect): the next tick takes what it did.
    if (!hold.owns_lock()) return;
    take();
    hold.unlock();
    tell();
}

void CaptureSession::Identify(const std::string& portName) {
    onReader([&](CaptureReader& reader) {
        takeLinkSettings(reader);
        reader.Identify(portName);
    });
}

void CaptureSession::Shutdown() {
    onReader([](CaptureReader& reader) { reader.Shutdown(); });
    timer_->stop();
    pending_.clear();
}

// The recorders and the event saving touch no port: they are started and stopped from here,
// under the lock the reader reads under.
template <class Command>
auto CaptureSession::withReader(Command command) {
    std::unique_lock hold(lock_);
    if constexpr (std::is_void_v<decltype(command(*reader_))>) {
        command(*reader_);
        take();
        hold.unlock();
        tell();
    } else {
        auto result = command(*reader_);
        take();
        hold.unlock();
        tell();
        return result;
    }
}

std::string CaptureSession::StartRecording(const std::string& path, const std::vector<CsvColumn>& columns) {
    return withReader([&](CaptureReader& reader) { return reader.StartRecording(path, columns); });
}

std::string CaptureSession::StartLongRecording(const std::string& path, const RecordingHeader& header) {
    return withReader([&](CaptureReader& reader) { return reader.StartLongRecording(path, header); });
}

void CaptureSession::StopRecording() {
    withReader([](CaptureReader& reader) { reader.StopRecording(); });
}

std::string CaptureSession::StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                              const CaptureDescription& description, char decimalSeparator) {
    return withReader([&](CaptureReader& reader) {
        return reader.StartSavingEvents(folder, limits, description, decimalSeparator);
    });
}

void CaptureSession::StopSavingEvents() {
    withReader([](CaptureReader& reader) { reader.StopSavingEvents(); });
}

void CaptureSession::SetAutoReconnect(bool on) {
    autoReconnect_ = on;
    withReader([on](CaptureReader& reader) { reader.SetAutoReconnect(on); });
}

}  // namespace altrix
