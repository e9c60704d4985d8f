#include "TraceSource.h"

#include <algorithm>

namespace altrix {

TraceSource::ReaderOpener TraceSource::detachedReader(const std::vector<int>& traces, PositionStretch stretch) const {
    const std::int64_t count = stretch.count();
    auto sets = std::make_shared<std::vector<std::int16_t>>(static_cast<std::size_t>(count) * traces.size());
    const FileResult copied = count > 0 ? reader(traces)(stretch.First, count, *sets) : FileResult{};
    return [sets = std::shared_ptr<const std::vector<std::int16_t>>(std::move(sets)), first = std::int64_t{stretch.First},
            count, copied] { return CopiedSetReader(sets, first, count, copied); };
}

SetReader CopiedSetReader(std::shared_ptr<const std::vector<std::int16_t>> sets, std::int64_t first, std::int64_t count,
                          FileResult copied) {
    return [sets = std::move(sets), first, count, copied = std::move(copied)](std::int64_t at, std::int64_t n,
                                                                               std::span<std::int16_t> out) {
        if (!copied.Ok) return copied;
        if (n < 0 || at < first || at + n > first + count) return FileResult{false, "No such sample sets", false};
        const std::size_t traces = count > 0 ? sets->size() / static_cast<std::size_t>(count) : 0;
        for (std::size_t t = 0; t < traces; ++t)
            std::copy_n(sets->begin() + static_cast<std::ptrdiff_t>(t * static_cast<std::size_t>(count) + static_cast<std::size_t>(at - first)),
                        n, out.begin() + static_cast<std::ptrdiff_t>(t * static_cast<std::size_t>(n)));
        return FileResult{};
    };
}

}  // namespace altrix
