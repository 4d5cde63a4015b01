// The receive chain on raw samples: the bytes are stereo 16-bit samples
// (little-endian) in capture blocks through both channels' filters, level
// control, demodulator and frame capture, and any frame into the decoder.
// The first byte scales them (silence, faint, clipped) and picks one or
// two channels.
#include "pipeline_rig.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    fuzz::PipelineRig rig(1);
    rig.settings().setInteger(Key::Dual, (options & 0x80) ? 1 : 2);
    ReceivePipeline& pipeline = rig.pipeline();
    pipeline.setProcessingEnabled(true);
    // Shift left (louder, clipped at the limits) or right (fainter, 0 silence).
    const int shift = (options & 0x0F) - 4;
    const std::string_view bytes = in.rest();
    CaptureBlock block{};
    size_t at = 0;
    // The samples repeat to fill at least four blocks, so that a short input still
    // runs the chain past its filters' delay.
    const size_t samples = bytes.size() / 2;
    const size_t total = std::max<size_t>(samples, 4 * kCaptureBlockSamples);
    for (size_t done = 0; done < total && samples > 0;) {
        for (size_t i = 0; i < block.size(); ++i, ++done) {
            const size_t s = (at++ % samples) * 2;
            const auto raw = static_cast<int16_t>(
                static_cast<uint16_t>(static_cast<uint8_t>(bytes[s]) | (static_cast<uint8_t>(bytes[s + 1]) << 8)));
            int32_t v = raw;
            v = shift >= 0 ? v * (1 << shift) : v / (1 << -shift);
            block[i] = static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
        }
        pipeline.ProcessCaptureBlock(block, QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
    }
    return 0;
}
