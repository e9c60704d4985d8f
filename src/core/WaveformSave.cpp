#include "WaveformSave.h"

#include "WaveformFile.h"

#include <utility>

namespace altrix {

WaveformSave::WaveformSave(const CaptureRecord& record, CaptureDescription description, std::string path,
                           char decimalSeparator)
    : traces_(std::make_unique<std::array<ChannelSamples, kChannelCount>>(record.ChannelTrace)),
      nextSample_(record.NextSample), description_(std::move(description)), path_(std::move(path)),
      decimalSeparator_(decimalSeparator) {}

FileResult WaveformSave::Run(const ExportProgress& progress) {
    const FileResult written = WriteWaveformFile(*traces_, nextSample_, path_, decimalSeparator_, progress);
    if (written.Ok) described_ = WriteSidecar(description_, path_);
    return written;
}

}  // namespace altrix
