#include "SimulatedDrive.h"

#include <algorithm>

namespace altrix::sim {
namespace {

constexpr std::uint8_t kPreludeByte = kIdentifyPrelude[0];

bool IsCommand(std::uint8_t byte) {
    return byte == kFirstChannelCommand || byte == kFurtherChannelCommand;
}

}  // namespace

SimulatedDrive::SimulatedDrive(DriveOptions options)
    : options_(options),
      noise_(options.NoiseSeed),
      cleanRun_(std::clamp(options.NoiseRate / kStreamBytesPerSecond, 1e-12, 1.0)),
      cleanBytesLeft_(cleanRun_(noise_)) {}

void SimulatedDrive::Receive(std::span<const std::uint8_t> bytes, DriveTime now) {
    for (std::uint8_t byte : bytes) Accept(byte, now);
}

void SimulatedDrive::Accept(std::uint8_t byte, DriveTime now) {
    switch (parse_) {
    case Parse::Hunt:
        if (byte == kFrameStart) parse_ = Parse::AfterColon;
        else if (byte == kPreludeByte) parse_ = Parse::AfterSemicolon;
        return;
    case Parse::AfterColon:
        if (byte == kFrameStart) {
            // A reset. The drive stays after a colon: in a run of colons the last one may
            // start the next frame.
            streaming_ = false;
            expect_ = Expect::Channels;
            channelsReceived_ = 0;
        } else if (IsCommand(byte)) {
            frame_[0] = kFrameStart;
            frame_[1] = byte;
            frameBytes_ = 2;
            parse_ = Parse::InFrame;
        } else {
            parse_ = Parse::Hunt;
            Accept(byte, now);
        }
        return;
    case Parse::AfterSemicolon:
        parse_ = Parse::Hunt;
        if (byte == kPreludeByte) expect_ = Expect::IdentifyFrame;
        else Accept(byte, now);
        return;
    case Parse::InFrame:
        frame_[static_cast<std::size_t>(frameBytes_++)] = byte;
        if (frameBytes_ == static_cast<int>(frame_.size())) {
            parse_ = Parse::Hunt;
            OnFrame(now);
        }
        return;
    }
}

void SimulatedDrive::OnFrame(DriveTime now) {
    if (static_cast<std::uint8_t>(frame_[1] + frame_[2] + frame_[3] + frame_[4]) != 0) return;
    const std::uint8_t command = frame_[1];
    const auto address = static_cast<std::uint16_t>(frame_[2] << 8 | frame_[3]);

    switch (expect_) {
    case Expect::Nothing:
        return;
    case Expect::IdentifyFrame:
        if (command == kFurtherChannelCommand && address == kIdentifyAddress) {
            expect_ = Expect::Nothing;
            if (options_.AnswerIdentify) repliesDue_.push_back(now + options_.IdentifyDelay);
        }
        return;
    case Expect::Channels:
        if (command == kFirstChannelCommand) {
            pendingChannels_[0] = address;
            channelsReceived_ = 1;
        } else if (channelsReceived_ > 0) {
            pendingChannels_[static_cast<std::size_t>(channelsReceived_++)] = address;
        }
        if (channelsReceived_ == static_cast<int>(pendingChannels_.size())) {
            expect_ = Expect::Nothing;
            streaming_ = true;
            streamChannels_ = pendingChannels_;
            streamStart_ = now;
            busStepSet_.reset();
            if (options_.BusStepAt) busStepSet_ = FirstSetAtOrAfter(now, *options_.BusStepAt);
            blocksSent_ = 0;
            streamBytes_ = 0;
        }
        return;
    }
}

std::optional<DriveTime> SimulatedDrive::NextOutputDue() const {
    std::optional<DriveTime> due;
    if (!repliesDue_.empty()) due = repliesDue_.front();
    if (streaming_) {
        const DriveTime block =
            streamStart_ + DriveTime(kBlockPeriodUs * static_cast<std::int64_t>(blocksSent_ + 1));
        due = due ? std::min(*due, block) : block;
    }
    return due;
}

void SimulatedDrive::Transmit(DriveTime now, std::vector<std::uint8_t>& out) {
    for (std::optional<DriveTime> due = NextOutputDue(); due && *due <= now;
         due = NextOutputDue()) {
        if (!repliesDue_.empty() && repliesDue_.front() == *due) {
            const IdentifyReplyBytes reply = MakeIdentifyReply(options_.TypeCode);
            out.insert(out.end(), reply.begin(), reply.end());
            repliesDue_.pop_front();
        } else {
            AppendBlock(out);
        }
    }
}

void SimulatedDrive::AppendBlock(std::vector<std::uint8_t>& out) {
    const std::uint8_t marker =
        options_.BadHeaderBlock == blocksSent_ ? kBadBlockMarker : kGoodBlockMarker;
    const StreamBlock block = MakeStreamBlock(streamChannels_, blocksSent_, marker, busStepSet_);
    for (std::uint8_t byte : block) {
        if (options_.DropByteAfter != streamBytes_) out.push_back(WithNoise(byte));
        ++streamBytes_;
    }
    ++blocksSent_;
}

std::uint8_t SimulatedDrive::WithNoise(std::uint8_t byte) {
    if (!(options_.NoiseRate > 0.0)) return byte;
    if (cleanBytesLeft_ > 0) {
        --cleanBytesLeft_;
        return byte;
    }
    cleanBytesLeft_ = cleanRun_(noise_);
    return static_cast<std::uint8_t>(byte ^ (1u << (noise_() % 8)));
}

}  // namespace altrix::sim
