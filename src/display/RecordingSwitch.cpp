#include "RecordingSwitch.h"

#include "CaptureSession.h"
#include "DataExport.h"
#include "ScopeDisplay.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace altrix {

RecordingHeader RecordingHeaderOf(const CaptureDescription& description,
                                  const std::array<std::string, kChannelCount>& units,
                                  const std::array<MathDefinition, kMathCount>& math, const QDateTime& startUtc) {
    RecordingHeader header;
    header.StartedUtc = startUtc.toUTC().toString(Qt::ISODateWithMs).toStdString();
    header.ProgramVersion = description.ProgramVersion;
    if (description.DriveTypeCode) header.DriveTypeCode = std::to_string(*description.DriveTypeCode);
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const ChannelDescription& channel = description.Channels[c];
        header.Channels[c] = {channel.Enabled ? QString::fromStdString(channel.Address).trimmed().toStdString() : std::string(),
                              channel.Quantity, channel.Gain, units[c]};
    }
    header.Math = math;
    return header;
}

QString RecordingLabel(const QString& fileName, bool active, std::uint64_t bytes, std::uint64_t sets) {
    const QLocale locale;
    if (active)
        return QStringLiteral("Recording %1: %2 kB, %3 s")
            .arg(fileName, locale.toString(static_cast<double>(bytes) / 1024.0, 'f', 0),
                 locale.toString(static_cast<double>(sets) * kSamplePeriodSeconds, 'f', 1));
    if (!fileName.isEmpty()) return QStringLiteral("Recording at RUN to %1").arg(fileName);
    return {};
}

bool RecordingSwitch::Choose(const QString& path) {
    path_ = path;
    return On();
}

QString RecordingSwitch::Start(CaptureSession& session, const ScopeDisplay& display, const std::string& programVersion,
                               const QDateTime& nowUtc) {
    if (!On()) return {};
    const std::string path = QFile::encodeName(path_).toStdString();
    std::string problem;
    if (path_.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        problem = session.StartRecording(path, display.ChannelColumns());
    } else {
        std::array<std::string, kChannelCount> units;
        std::array<MathDefinition, kMathCount> math;
        for (int k = 1; k <= kChannelCount; ++k) units[static_cast<std::size_t>(k - 1)] = UnitOfLabel(display.ColumnName(k));
        for (int m = 1; m <= kMathCount; ++m) math[static_cast<std::size_t>(m - 1)] = display.Math().Definition(m);
        problem = session.StartLongRecording(path, RecordingHeaderOf(display.Describe(programVersion), units, math, nowUtc));
    }
    if (problem.empty()) return {};
    const QString told = QStringLiteral("Unable to write %1: %2").arg(path_, QString::fromLocal8Bit(problem));
    Off();
    return told;
}

QString RecordingSwitch::Ended(const QString& error) {
    const QString path = path_;
    Off();
    if (error.isEmpty()) return {};
    return QStringLiteral("Recording to %1 stopped: %2. What was recorded before is kept.").arg(path, error);
}

QString RecordingSwitch::Label(const CaptureSession& session) const {
    const RecorderState& csv = session.Recording();
    const RecorderState& file = session.LongRecording();
    const bool active = csv.Active() || file.Active();
    return RecordingLabel(On() ? QFileInfo(path_).fileName() : QString(), active, csv.Active() ? csv.Bytes() : file.Bytes(),
                          csv.Active() ? csv.Sets() : file.Sets());
}

}  // namespace altrix
