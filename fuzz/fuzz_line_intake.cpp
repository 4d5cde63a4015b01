// Network text and converted RAW records through the line intake, the block
// decoder, the sequencer and the views.
#include "pipeline_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    fuzz::PipelineRig rig(options);
    const std::string_view tag = (options & 0x40) ? kTagRaw : kTagNet;
    // Several chunks, as several receptions of one connection.
    for (std::string_view chunk : in.parts())
        rig.decode().intake.LineIntake(chunk, tag);
    return 0;
}
