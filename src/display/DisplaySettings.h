#pragma once
// What the user set: per channel its enable, address, quantity, gain and Y-scale; the two
// references; the drawing mode and its density rule; the trigger settings; engineering mode.
// Plain values with the rules that read them (names, columns, gains, the capture's setup for
// RUN); the display draws and tells listeners when they change.

#include "CaptureDescription.h"
#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "Readout.h"
#include "Trigger.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace altrix {

struct CsvColumn;
struct RecordingChannel;

// A gain as typed (the user's decimal separator allowed) and as every reader takes it.
struct GainSetting {
    QString Typed = QStringLiteral("1");
    std::string Text = "1";  // "." as the point
    bool Valid = true;       // an invalid gain counts as 1
};

struct ChannelSetting {
    bool Enabled = false;
    QString Address;
    int Quantity = -1;  // row of the quantity presets; -1 for none
    GainSetting Gain;
    int YScale = kDefaultYScaleIndex;  // row of the Y-scale texts
};

struct ReferenceSetting {
    bool Shown = false;
    QString Source;
    GainSetting Gain;
    int YScale = kDefaultYScaleIndex;
};

// In the order in which the density recount tests them.
enum class DrawingMode { Simplified, Fast, Envelope, HighPrecision };

// The point counts a drawing mode asks for.
struct DensityRule {
    std::int32_t MenuPointCount;     // when chosen
    std::int32_t CapturePointCount;  // every capture tick
    // Stopped, by visible fraction r of the window: r > 0.45, 0.3 <= r <= 0.45, r < 0.3.
    std::array<std::int32_t, 3> StoppedPointCounts;
    bool Envelope;  // draws the envelope of the view instead of a stride
};
const DensityRule& DensityOf(DrawingMode mode);

// The capture's values for RUN, from the channels and the trigger; else the first channel
// whose address is not four hexadecimal digits, or a trigger that waits for a level that
// is no number.
struct RunSetup {
    std::optional<CaptureSetup> Setup;
    int BadChannel = 0;
    bool BadTriggerLevel = false;
};

// Traces t here are the channels 1..4 and the references 5..6.
class DisplaySettings {
public:
    const ChannelSetting& Channel(int k) const { return channels_[k - 1]; }
    const ReferenceSetting& Reference(int r) const { return refs_[r - 1]; }
    const GainSetting& Gain(int t) const;
    double GainFactorOf(int t) const;
    // The factor of trace t's Y-scale row, as a drawing takes it.
    float YScaleGainOf(int t) const;
    DrawingMode Mode() const { return mode_; }
    void SetMode(DrawingMode mode) { mode_ = mode; }
    const DensityRule& Density() const { return DensityOf(mode_); }
    const TriggerSettings& Trigger() const { return trigger_; }
    // False only for a level the trigger would wait for that is no number.
    bool TriggerLevelValid() const;
    bool Engineering() const { return engineering_; }
    void SetEngineering(bool on) { engineering_ = on; }

    // Channel k is shown when enabled with a non-empty address.
    bool ChannelShown(int k) const;
    bool TraceShown(int t) const;
    // The readouts of trace t are kept while its box is ticked.
    bool ReadoutShown(int t) const;
    // Names as the analysis windows show them ("Channel 2", "Ref 1" without one) and as CSV
    // columns name them.
    QString TraceName(int t) const;
    std::string ColumnName(int t) const;
    std::vector<CsvColumn> ChannelColumns() const;
    RunSetup CaptureSetupForRun() const;

    // The setters return false for a value that was there already.
    bool SetChannelEnabled(int k, bool on);
    bool SetChannelAddress(int k, const QString& address);
    void SetQuantity(int k, int row);
    bool ClearQuantity(int k);
    void SetChannelYScale(int k, int row) { channels_[k - 1].YScale = row; }
    bool SetGain(int t, const QString& typed);
    bool SetReferenceShown(int r, bool shown);
    bool SetReferenceSource(int r, const QString& source);
    void SetReferenceYScale(int r, int row) { refs_[r - 1].YScale = row; }
    bool SetTrigger(const TriggerSettings& settings);
    // Reference r named and scaled as channel c: in engineering mode the address names the
    // source, otherwise the chosen quantity, or nothing without one. The gain is not taken.
    void NameReferenceAfter(int r, int c);

    // A loaded window names no addresses. The space is none either, but it shows each channel,
    // so RUN asks for an address until one is chosen or typed.
    void ShowLoadedChannels();
    // Channel k as a description or a recording names it, all but its gain.
    void TakeDescribed(int k, const ChannelDescription& described);
    void TakeRecorded(int k, const RecordingChannel& recorded);
    // The channels, references, drawing mode and trigger into a description.
    void Describe(CaptureDescription& d) const;

    // What choosing quantity `row` fills in: its address (none without a preset) and its gain.
    static std::optional<QString> PresetAddress(int row);
    static QString PresetGain(int row);
    // A gain as a file keeps it ("." as the point) as the user would type it here.
    static QString TypedGain(const std::string& text);

private:
    std::array<ChannelSetting, kChannelCount> channels_{};
    std::array<ReferenceSetting, kReferenceCount> refs_{};
    DrawingMode mode_ = DrawingMode::HighPrecision;
    TriggerSettings trigger_;
    bool engineering_ = false;
};

}  // namespace altrix
