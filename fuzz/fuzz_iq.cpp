// IQ recordings: the first byte picks the [Sdr] format of .raw/.iq/.bin names
// (bits 0-1: cu8, cs8, cs16, cf32), whether the settings' rate is 250 kS/s or
// 2.4 MS/s (bit 2) and the piece size of the second pass (bits 3-7); then the
// file name up to "#%#" (cut to 80 characters of [A-Za-z0-9._-]) and the
// file's bytes. A refused file must give a one-line reason; an accepted one
// is read for up to 64 capture blocks, and the same bytes pushed into a
// channelizer in pieces of another size must give the same blocks.
#include "fuzz_support.h"
#include "receiver/iq_file_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const std::vector<std::string_view> parts = in.parts();
    std::string name;
    for (const char c : parts.front().substr(0, 80))
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
            || c == '-')
            name.push_back(c);
    if (name.empty() || name == "." || name == "..")
        name = "in.cu8";
    const std::string_view bytes =
        parts.size() > 1 ? in.rest().substr(parts.front().size() + fuzz::kPartSeparator.size()) : std::string_view();
    const QString path = fuzz::workFile("iq/") + QString::fromStdString(name);
    QDir().mkpath(fuzz::workFile("iq"));
    fuzz::writeFile(path, bytes);

    IqFileSettings settings;
    settings.format = static_cast<IqFormat>(options & 3);
    settings.sampleRateHz = (options & 4) ? 2'400'000 : 250'000;
    settings.channelHz = {131'450'000, 131'550'000};
    std::string error;
    std::unique_ptr<IqFileReader> reader = IqFileReader::open(path.toStdString(), settings, error);
    QFile::remove(path);
    if (!reader) {
        if (error.empty() || error.find('\n') != std::string::npos)
            fuzz::fail("a refused IQ file gave no reason on one line");
        return 0;
    }
    if (!CheckIqTuning(reader->tuning()).empty())
        fuzz::fail("an IQ file was opened with an unusable tuning");
    std::vector<CaptureBlock> blocks;
    ChannelBlock block;
    while (blocks.size() < 64 && reader->read(block))
        blocks.push_back(block.stereo());

    // The second pass, straight into a channelizer.
    std::vector<CaptureBlock> again;
    IqChannelizer channelizer(reader->tuning(), [&](const ChannelBlock& channelBlock) {
        const CaptureBlock b = channelBlock.stereo();
        if (again.size() < blocks.size())
            std::copy(b.begin(), b.end(), again.emplace_back().begin());
    });
    const size_t piece = (options >> 3) + 1;
    for (size_t at = 0; at < bytes.size() && again.size() < blocks.size(); at += piece) {
        const std::string_view p = bytes.substr(at, piece);
        channelizer.push(reader->format(), std::as_bytes(std::span<const char>(p.data(), p.size())));
    }
    channelizer.flush();
    if (again.size() != blocks.size() || !std::equal(blocks.begin(), blocks.end(), again.begin()))
        fuzz::fail("pieces of another size gave other blocks");
    return 0;
}
