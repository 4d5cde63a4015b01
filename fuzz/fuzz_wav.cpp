// The WAV reader, header and body: the bytes as a file, opened and read for
// up to 64 capture blocks (converted to 22050 Hz stereo on the way).
#include "fuzz_support.h"
#include "receiver/audio_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    const QString path = fuzz::workFile("in.wav");
    fuzz::writeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    std::string error;
    std::unique_ptr<AudioFileReader> reader = AudioFileReader::open(path.toStdString(), error);
    if (!reader) {
        if (error.empty())
            fuzz::fail("a refused WAV gave no reason");
        return 0;
    }
    CaptureBlock block{};
    for (int i = 0; i < 64 && reader->read(block); ++i) { }
    return 0;
}
