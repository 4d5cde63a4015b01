// A RAW text log read back: the record reader byte by byte (with its
// invariants), then the import of the same bytes as a file through the
// line intake, the decoder and the views.
#include "pipeline_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const std::string_view bytes = in.rest();

    RawRecordReader reader;
    for (char c : bytes) {
        if (reader.push(static_cast<uint8_t>(c)) && reader.line().find('\0') != std::string_view::npos)
            fuzz::fail("a record's line holds a zero byte");
    }
    reader.finish();

    fuzz::PipelineRig rig(options);
    const QString path = fuzz::workFile("import.txt");
    fuzz::writeFile(path, bytes);
    if (!rig.decode().import.importFile(path))
        fuzz::fail("the RAW log could not be opened");
    if (rig.decode().import.running())
        fuzz::fail("the import still runs after its end");
    return 0;
}
