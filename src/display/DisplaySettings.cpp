#include "DisplaySettings.h"

#include "CsvExport.h"
#include "Presets.h"
#include "RecordingFormat.h"
#include "ScopeProtocol.h"

#include <QLocale>

#include <algorithm>

namespace altrix {

namespace {

// In the order of DrawingMode.
constexpr std::array<DensityRule, 4> kDensityRules{{
    {2500, 2000, {2500, 5000, 10000}, false},
    {6500, 5000, {6500, 10000, 20000}, false},
    {100000, 100000, {100000, 100000, 100000}, true},
    {10000, 10000, {20000, 50000, 100000}, false},
}};

std::string_view YScaleText(int row) {
    return row >= 0 && row < static_cast<int>(kYScaleTexts.size()) ? kYScaleTexts[static_cast<std::size_t>(row)]
                                                                     : std::string_view();
}

const QuantityPreset* PresetAt(int row) {
    return row >= 0 && row < static_cast<int>(kQuantityPresets.size()) ? &kQuantityPresets[static_cast<std::size_t>(row)]
                                                                         : nullptr;
}

QString Latin1Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString QuantityText(int row) {
    const QuantityPreset* preset = PresetAt(row);
    return preset ? Latin1Text(preset->ItemText) : QString();
}

// The gain text as the core reads it: where the user's decimal separator is not ".", it stands
// for "." (which stays valid too, as the presets write it).
GainSetting GainOf(const QString& typed) {
    QString text = typed;
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) text.replace(point, QLatin1String("."));
    GainSetting gain{typed, text.toStdString(), false};
    gain.Valid = IsValidGain(gain.Text);
    return gain;
}

int QuantityRow(std::string_view text) {
    for (std::size_t row = 0; row < kQuantityPresets.size(); ++row)
        if (kQuantityPresets[row].ItemText == text) return static_cast<int>(row);
    return -1;
}

int YScaleRow(std::string_view text) {
    const auto found = std::find(kYScaleTexts.begin(), kYScaleTexts.end(), text);
    return found == kYScaleTexts.end() ? kDefaultYScaleIndex : static_cast<int>(found - kYScaleTexts.begin());
}

}  // namespace

const DensityRule& DensityOf(DrawingMode mode) {
    return kDensityRules[static_cast<std::size_t>(mode)];
}

const GainSetting& DisplaySettings::Gain(int t) const {
    return t <= kChannelCount ? channels_[t - 1].Gain : refs_[t - kChannelCount - 1].Gain;
}

double DisplaySettings::GainFactorOf(int t) const {
    return GainFactor(Gain(t).Text);
}

float DisplaySettings::YScaleGainOf(int t) const {
    return YScaleGain(YScaleText(t <= kChannelCount ? channels_[t - 1].YScale : refs_[t - kChannelCount - 1].YScale));
}

bool DisplaySettings::TriggerLevelValid() const {
    return LevelsValid(trigger_.First()) && (trigger_.Join == TriggerJoin::None || LevelsValid(trigger_.Second));
}

bool DisplaySettings::ChannelShown(int k) const {
    const ChannelSetting& channel = channels_[k - 1];
    return channel.Enabled && !channel.Address.isEmpty();
}

bool DisplaySettings::TraceShown(int t) const {
    return t <= kChannelCount ? ChannelShown(t) : refs_[t - kChannelCount - 1].Shown;
}

bool DisplaySettings::ReadoutShown(int t) const {
    return t <= kChannelCount ? channels_[t - 1].Enabled : refs_[t - kChannelCount - 1].Shown;
}

QString DisplaySettings::TraceName(int t) const {
    if (t <= kChannelCount) {
        const QString quantity = QuantityText(channels_[t - 1].Quantity);
        return quantity.isEmpty() ? QStringLiteral("Channel %1").arg(t) : quantity;
    }
    const int r = t - kChannelCount;
    const QString& source = refs_[r - 1].Source;
    return source.isEmpty() ? QStringLiteral("Ref %1").arg(r) : source;
}

std::string DisplaySettings::ColumnName(int t) const {
    if (t <= kChannelCount) {
        const ChannelSetting& channel = channels_[t - 1];
        return ChannelColumnName(t, QuantityText(channel.Quantity).toStdString(), channel.Address.toStdString());
    }
    return ReferenceColumnName(t - kChannelCount, refs_[t - kChannelCount - 1].Source.toStdString());
}

std::vector<CsvColumn> DisplaySettings::ChannelColumns() const {
    std::vector<CsvColumn> columns;
    for (int k = 1; k <= kChannelCount; ++k) columns.push_back({ColumnName(k), Gain(k).Text});
    return columns;
}

RunSetup DisplaySettings::CaptureSetupForRun() const {
    // A channel that is switched off asks the drive for the unused address.
    CaptureSetup setup;
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelSetting& channel = channels_[k - 1];
        setup.Enabled[k - 1] = channel.Enabled;
        const std::optional<std::uint16_t> address =
            channel.Enabled ? ParseChannelAddress(channel.Address.toStdString()) : kUnusedChannelAddress;
        if (!address) return {std::nullopt, k, false};
        setup.Addresses[k - 1] = *address;
    }
    if (trigger_.Mode != TriggerMode::Off && !TriggerLevelValid()) return {std::nullopt, 0, true};
    setup.Trigger = trigger_;
    for (int k = 1; k <= kChannelCount; ++k) setup.Gains[k - 1] = Gain(k).Text;
    return {setup, 0, false};
}

bool DisplaySettings::SetChannelEnabled(int k, bool on) {
    if (channels_[k - 1].Enabled == on) return false;
    channels_[k - 1].Enabled = on;
    return true;
}

bool DisplaySettings::SetChannelAddress(int k, const QString& address) {
    if (channels_[k - 1].Address == address) return false;
    channels_[k - 1].Address = address;
    return true;
}

void DisplaySettings::SetQuantity(int k, int row) {
    channels_[k - 1].Quantity = row;
}

bool DisplaySettings::ClearQuantity(int k) {
    if (channels_[k - 1].Quantity == -1) return false;
    channels_[k - 1].Quantity = -1;
    return true;
}

bool DisplaySettings::SetGain(int t, const QString& typed) {
    if (Gain(t).Typed == typed) return false;
    GainSetting& gain = t <= kChannelCount ? channels_[t - 1].Gain : refs_[t - kChannelCount - 1].Gain;
    gain = GainOf(typed);
    return true;
}

bool DisplaySettings::SetReferenceShown(int r, bool shown) {
    if (refs_[r - 1].Shown == shown) return false;
    refs_[r - 1].Shown = shown;
    return true;
}

bool DisplaySettings::SetReferenceSource(int r, const QString& source) {
    if (refs_[r - 1].Source == source) return false;
    refs_[r - 1].Source = source;
    return true;
}

bool DisplaySettings::SetTrigger(const TriggerSettings& settings) {
    if (trigger_ == settings) return false;
    trigger_ = settings;
    return true;
}

void DisplaySettings::NameReferenceAfter(int r, int c) {
    const ChannelSetting& channel = channels_[c - 1];
    ReferenceSetting& ref = refs_[r - 1];
    ref.Source = engineering_ ? channel.Address : QuantityText(channel.Quantity);
    ref.YScale = channel.YScale;
}

void DisplaySettings::ShowLoadedChannels() {
    for (ChannelSetting& channel : channels_) {
        channel.Address = QStringLiteral(" ");
        channel.Quantity = -1;
        channel.Enabled = true;
    }
}

void DisplaySettings::TakeDescribed(int k, const ChannelDescription& described) {
    ChannelSetting& channel = channels_[k - 1];
    channel.Enabled = described.Enabled;
    channel.Address = QString::fromStdString(described.Address);
    channel.Quantity = QuantityRow(described.Quantity);
    channel.YScale = YScaleRow(described.YScale);
}

void DisplaySettings::TakeRecorded(int k, const RecordingChannel& recorded) {
    ChannelSetting& channel = channels_[k - 1];
    // A channel recorded without an address shows its zeros as the loaded window's do.
    channel.Address = recorded.Address.empty() ? QStringLiteral(" ") : QString::fromStdString(recorded.Address);
    channel.Quantity = QuantityRow(recorded.Name);
    channel.Enabled = true;
}

void DisplaySettings::Describe(CaptureDescription& d) const {
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelSetting& channel = channels_[k - 1];
        d.Channels[k - 1] = {channel.Enabled, QuantityText(channel.Quantity).toStdString(),
                             channel.Address.toStdString(), channel.Gain.Text, std::string(YScaleText(channel.YScale))};
    }
    for (int r = 1; r <= kReferenceCount; ++r) {
        const ReferenceSetting& ref = refs_[r - 1];
        d.References[r - 1] = {ref.Source.toStdString(), ref.Gain.Text, std::string(YScaleText(ref.YScale))};
    }
    d.DrawingMode = static_cast<int>(mode_);
    d.Trigger = trigger_;
}

std::optional<QString> DisplaySettings::PresetAddress(int row) {
    const QuantityPreset* preset = PresetAt(row);
    return preset ? std::optional(Latin1Text(preset->Address)) : std::nullopt;
}

QString DisplaySettings::PresetGain(int row) {
    const QuantityPreset* preset = PresetAt(row);
    return Latin1Text(preset ? preset->Gain : kNoPresetGain);
}

QString DisplaySettings::TypedGain(const std::string& text) {
    QString typed = QString::fromUtf8(text);
    if (IsValidGain(text)) typed.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return typed;
}

}  // namespace altrix
