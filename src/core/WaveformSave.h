#pragma once
// A waveform file saved with its description beside it: made on the thread that owns the
// samples (they are copied) and written once on another, referring to nothing it was made from.

#include "CaptureDescription.h"
#include "CaptureRecord.h"
#include "SafeFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace altrix {

class WaveformSave {
public:
    // The display window of `record` with `description`, to be written to `path`.
    WaveformSave(const CaptureRecord& record, CaptureDescription description, std::string path, char decimalSeparator);

    const std::string& Path() const { return path_; }
    const CaptureDescription& Description() const { return description_; }
    // Writes the waveform file, then its description. A failed or cancelled waveform write
    // leaves both files as they were; a cancel after the waveform file is whole comes too late.
    FileResult Run(const ExportProgress& progress = {});
    // The description's write once Run wrote the waveform file; Ok until then.
    const FileResult& Described() const { return described_; }

private:
    std::unique_ptr<std::array<ChannelSamples, kChannelCount>> traces_;
    std::int32_t nextSample_;
    CaptureDescription description_;
    std::string path_;
    char decimalSeparator_;
    FileResult described_;
};

}  // namespace altrix
