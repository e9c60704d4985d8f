#include "RecordingWindow.h"

#include "TraceSource.h"

#include <algorithm>
#include <vector>

namespace altrix {

RecordingWindow WindowOfStretch(const TraceSource& source, PositionStretch stretch) {
    RecordingWindow result;
    if (stretch.count() > kWindowPositions) {
        result.TooLong = stretch.count();
        return result;
    }
    const std::vector<int> channels{1, 2, 3, 4};
    const std::int64_t first = std::max(stretch.First, 0);
    const std::int64_t count = std::min<std::int64_t>(kWindowPositions, source.length() - first);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)) * channels.size());
    if (count > 0) {
        result.Read = source.reader(channels)(first, count, samples);
        if (!result.Read.Ok) return result;
    }
    auto window = std::make_unique<CaptureRecord>();
    for (std::size_t c = 0; c < channels.size(); ++c)
        for (std::int64_t i = 0; i < count; ++i)
            window->ChannelTrace[c][static_cast<std::size_t>(i)] = samples[c * static_cast<std::size_t>(count) + static_cast<std::size_t>(i)];
    window->NextSample = kWindowPositions;
    result.Window = std::move(window);
    return result;
}

}  // namespace altrix
