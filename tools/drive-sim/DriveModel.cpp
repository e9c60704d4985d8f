#include "DriveModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace altrix::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSetSeconds = 1.0 / kSampleSetsPerSecond;

// One motor run: a four-pole motor ramped with an S-curve from standstill to 50 Hz.
constexpr double kAccelSeconds = 2.0;
constexpr double kTargetHz = 50.0;
constexpr double kSyncRpmPerHz = 30.0;
constexpr double kRatedSlip = 0.04;        // slip at 100 % torque
constexpr double kMeanTorque = 0.4;        // for the encoder counts, which integrate speed
constexpr double kPeakAccelTorque = 0.4;   // fractions of rated torque
constexpr double kLoadCycleSeconds = 12.0;
constexpr double kMagnetisingAmps = 1.6;
constexpr double kRatedTorqueAmps = 3.4;
constexpr double kBoostVolts = 12.0;
constexpr double kRatedVolts = 230.0;
constexpr double kBusVolts = 312.0;
constexpr double kBusRippleHz = 100.0;
constexpr double kPg1CountsPerRev = 4096.0;
constexpr double kPg2CountsPerRev = 2500.0;
constexpr double kPg2RpmPerCount = 54.61;
constexpr double kPidStepSeconds = 5.0;

// Deterministic noise in [-1, 1) from address and sample set (splitmix64).
double Noise(std::uint16_t address, std::uint64_t n) {
    std::uint64_t z = n * 0x100000001B3ULL ^ (static_cast<std::uint64_t>(address) << 40);
    z += 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
}

std::int16_t Saturate(double value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

// Counter value as a 16-bit register holds it: the low 16 bits, wrapping.
std::int16_t Wrap(double counts) {
    const auto whole = static_cast<std::int64_t>(std::floor(counts));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(whole & 0xFFFF));
}

struct Motor {
    double Hz;
    double AccelTorque;  // fractions of rated torque
    double LoadTorque;
    double Torque;
    double Rpm;
    double Revolutions;  // since the start of the capture
};

Motor MotorAt(double t) {
    const double x = std::clamp(t / kAccelSeconds, 0.0, 1.0);
    Motor m{};
    m.Hz = kTargetHz * x * x * (3.0 - 2.0 * x);
    m.AccelTorque = kPeakAccelTorque * 4.0 * x * (1.0 - x);
    const double cycle = 0.5 - 0.5 * std::cos(kTwoPi * t / kLoadCycleSeconds);
    m.LoadTorque = (0.25 + 0.30 * cycle) * std::min(1.0, m.Hz / 5.0);
    m.Torque = m.AccelTorque + m.LoadTorque;
    m.Rpm = kSyncRpmPerHz * m.Hz * (1.0 - kRatedSlip * m.Torque);
    // Integral of the output frequency over time, closed form of the S-curve.
    const double hzSeconds = t < kAccelSeconds
                                 ? kTargetHz * kAccelSeconds * (x * x * x - x * x * x * x / 2.0)
                                 : kTargetHz * (t - kAccelSeconds / 2.0);
    m.Revolutions = (1.0 - kRatedSlip * kMeanTorque) * kSyncRpmPerHz / 60.0 * hzSeconds;
    return m;
}

double PidReference(double t) {
    return static_cast<std::int64_t>(t / kPidStepSeconds) % 2 == 0 ? 40.0 : 60.0;
}

// Second-order response to each reference step, settled before the next one.
double PidFeedback(double t) {
    const double edge = std::floor(t / kPidStepSeconds) * kPidStepSeconds;
    const double target = PidReference(t);
    if (edge == 0.0) return target;
    const double previous = PidReference(edge - kPidStepSeconds / 2.0);
    constexpr double zeta = 0.45;
    constexpr double wn = kTwoPi * 0.5;
    const double wd = wn * std::sqrt(1.0 - zeta * zeta);
    const double tau = t - edge;
    const double step = 1.0 - std::exp(-zeta * wn * tau) *
                                  (std::cos(wd * tau) +
                                   zeta / std::sqrt(1.0 - zeta * zeta) * std::sin(wd * tau));
    return previous + (target - previous) * step;
}

int Bit(bool on, int bit) { return on ? 1 << bit : 0; }

// Sawtooth, triangle or square wave chosen by the address, period 20 .. 320 ms,
// amplitude 1000 .. 8000.
std::int16_t TestSignal(std::uint16_t address, std::uint64_t n) {
    const std::int64_t period = 100 * (1 + (address >> 2) % 16);
    const std::int64_t amplitude = 1000 * (1 + (address >> 6) % 8);
    const auto phase = static_cast<std::int64_t>(n % static_cast<std::uint64_t>(period));
    std::int64_t value;
    switch (address % 3) {
    case 0:
        value = -amplitude + 2 * amplitude * phase / period;
        break;
    case 1:
        value = phase < period / 2 ? -amplitude + 4 * amplitude * phase / period
                                   : 3 * amplitude - 4 * amplitude * phase / period;
        break;
    default:
        value = phase < period / 2 ? amplitude : -amplitude;
        break;
    }
    return static_cast<std::int16_t>(value);
}

}  // namespace

DriveTime DriveClock::DriveAt(std::chrono::nanoseconds pc) const {
    return std::chrono::round<DriveTime>(pc * Rate());
}

std::chrono::nanoseconds DriveClock::PcAt(DriveTime drive) const {
    // DriveAt rounds to the nearest microsecond, so it reaches `drive` half a microsecond early;
    // the loops settle the rounding of the division, a nanosecond or two.
    using std::chrono::nanoseconds;
    auto pc = std::chrono::ceil<nanoseconds>((drive - nanoseconds(500)) / Rate());
    while (DriveAt(pc) < drive) ++pc;
    while (pc > nanoseconds(0) && DriveAt(pc - nanoseconds(1)) >= drive) --pc;
    return pc;
}

std::int64_t FirstSetAtOrAfter(DriveTime streamStart, DriveTime at) {
    constexpr std::int64_t setUs = 1'000'000 / kSampleSetsPerSecond;
    const std::int64_t us = (at - streamStart).count();
    return us >= 0 ? (us + setUs - 1) / setUs : -(-us / setUs);
}

std::int64_t FirstSetAtOrAfter(const DriveClock& clock, std::chrono::nanoseconds streamStart,
                               std::chrono::nanoseconds at) {
    return FirstSetAtOrAfter(clock.DriveAt(streamStart), clock.DriveAt(at));
}

std::int16_t SampleValue(std::uint16_t address, std::uint64_t n, std::optional<std::int64_t> busStep) {
    const double t = static_cast<double>(n) * kSetSeconds;
    const double noise = Noise(address, n);
    switch (address) {
    case 0x9000:  // frequency command, 0.01 Hz
        return Saturate(kTargetHz * 100.0);
    case 0x9004: {  // output frequency, 0.01 Hz
        return Saturate(MotorAt(t).Hz * 100.0);
    }
    case kBusAddress: {  // DC bus, 0.1 V: rectifier ripple, droop with load, a dip while accelerating
        const Motor m = MotorAt(t);
        const double power = m.Torque * m.Hz / kTargetHz;
        const double accelPower = m.AccelTorque * m.Hz / kTargetHz;
        const double ripple = (2.0 + 5.0 * power) * std::cos(kTwoPi * kBusRippleHz * t);
        const auto set = static_cast<std::int64_t>(n);
        const double step = busStep && set >= *busStep && set - *busStep < kBusStepSets ? kBusStepVolts : 0.0;
        return Saturate((kBusVolts - 8.0 * power - 25.0 * accelPower + ripple + 0.3 * noise - step) *
                        10.0);
    }
    case 0x900c: {  // output voltage, 0.1 V: V/f with boost
        const Motor m = MotorAt(t);
        if (m.Hz <= 0.0) return 0;
        const double volts = kBoostVolts + (kRatedVolts - kBoostVolts) * m.Hz / kTargetHz;
        return Saturate(volts * 10.0 + 2.0 * noise);
    }
    case 0x9010: {  // output current, 0.01 A rms
        const Motor m = MotorAt(t);
        return Saturate(
            (std::hypot(kMagnetisingAmps, kRatedTorqueAmps * m.Torque) + 0.03 * noise) * 100.0);
    }
    case 0x9014:  // motor speed, rpm
        return Saturate(MotorAt(t).Rpm + 0.5 * noise);
    case 0x9018:  // torque command, 1024 = 100 %
        return Saturate(MotorAt(t).Torque * 1024.0 + 5.0 * noise);
    case 0x901a:  // PID reference, %
        return Saturate(PidReference(t));
    case 0x9016:  // PID feedback, %
        return Saturate(PidFeedback(t) + 0.4 * noise);
    case 0x901c:  // PG1 position, counts
        return Wrap(MotorAt(t).Revolutions * kPg1CountsPerRev);
    case 0x901e:  // PG1 position within the revolution, reset by the Z pulse
        return Saturate(std::floor(std::fmod(MotorAt(t).Revolutions * kPg1CountsPerRev,
                                             kPg1CountsPerRev)));
    case 0x9020:  // PG2 position, counts
        return Wrap(MotorAt(t).Revolutions * kPg2CountsPerRev);
    case 0x9024:  // PG2 velocity, 54.61 rpm a count
        return Saturate(MotorAt(t).Rpm / kPg2RpmPerCount + 0.3 * noise);
    case 0x9028:  // AVI, %
        return Saturate(40.0 + 6.0 * std::sin(kTwoPi * t / 17.0) + 0.6 * noise);
    case 0x902a:  // ACI, 0.1 %
        return Saturate(550.0 + 40.0 * std::sin(kTwoPi * t / 23.0 + 1.0) + 2.0 * noise);
    case 0x902c:  // AUI, 0.1 %
        return Saturate(150.0 * std::sin(kTwoPi * t / 29.0 + 2.0) + 2.0 * noise);
    case 0x902e: {  // digital inputs: FWD, a speed select, a limit switch, a reset button
        const double inLimit = std::fmod(t, 7.0);
        const double inReset = std::fmod(t, 11.0);
        return static_cast<std::int16_t>(
            Bit(true, 0) | Bit(static_cast<std::int64_t>(t / 3.0) % 2 == 1, 2) |
            Bit(inLimit >= 6.0, 3) | Bit(inReset >= 5.0 && inReset < 5.2, 6));
    }
    case 0x9030: {  // digital outputs: running, at speed, overload warning, brake released
        const Motor m = MotorAt(t);
        return static_cast<std::int16_t>(Bit(true, 0) | Bit(m.Hz >= 49.5, 1) |
                                         Bit(m.LoadTorque > 0.5, 2) | Bit(m.Hz > 1.0, 3));
    }
    default:
        return TestSignal(address, n);
    }
}

StreamBlock MakeStreamBlock(const ChannelAddresses& channels, std::uint64_t blockIndex,
                            std::uint8_t secondHeaderByte, std::optional<std::int64_t> busStep) {
    StreamBlock block{};
    block[0] = static_cast<std::uint8_t>(blockIndex & 0xFF);
    block[1] = secondHeaderByte;
    std::size_t at = kBlockHeaderBytes;
    for (int set = 0; set < kSetsPerBlock; ++set) {
        const std::uint64_t n = blockIndex * kSetsPerBlock + static_cast<std::uint64_t>(set);
        for (std::uint16_t address : channels) {
            const auto word = static_cast<std::uint16_t>(SampleValue(address, n, busStep));
            block[at++] = static_cast<std::uint8_t>(word & 0xFF);
            block[at++] = static_cast<std::uint8_t>(word >> 8);
        }
    }
    return block;
}

IdentifyReplyBytes MakeIdentifyReply(std::int16_t typeCode) {
    constexpr std::uint16_t kFirmwareVersion = 102;
    const auto code = static_cast<std::uint16_t>(typeCode);
    return {0x3B, 0x0A,
            static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8),
            static_cast<std::uint8_t>(kFirmwareVersion & 0xFF),
            static_cast<std::uint8_t>(kFirmwareVersion >> 8),
            0, 0, 0, 0};
}

}  // namespace altrix::sim
