// One decoded ACARS block: the fields the block decoder splits out of a frame,
// as Shift-JIS bytes in fixed-size buffers. Built afresh for every frame and
// handed on by reference; whoever keeps a field beyond the call copies it.
#pragma once

#include "acars/frame_layout.h"
#include "decode/block_context.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace varnesk {

// A byte text of at most N bytes that never allocates; appending past the
// capacity drops the excess.
template <std::size_t N>
class FixedText {
public:
    static constexpr std::size_t kCapacity = N;

    void clear() { m_size = 0; }
    void assign(std::string_view s)
    {
        m_size = 0;
        append(s);
    }
    void append(std::string_view s)
    {
        for (char c : s)
            push_back(c);
    }
    void push_back(char c)
    {
        if (m_size < N)
            m_bytes[m_size++] = c;
    }
    char& operator[](std::size_t i) { return m_bytes[i]; }
    char operator[](std::size_t i) const { return m_bytes[i]; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {m_bytes.data(), m_size}; }
    operator std::string_view() const { return view(); }

private:
    std::array<char, N> m_bytes{};
    std::size_t m_size = 0;
};

enum class Direction { Downlink, Uplink };

// The text field holds the longest text a frame of kMaxFrameChars can carry:
// no block is ever cut.
inline constexpr std::size_t kBlockTextCapacity = kMaxFrameChars;

struct AcarsBlock {
    BlockContext context;     // source tag, time and source of the frame
    std::string_view rawText; // the rendered raw line (RawText)
    char mode = 0;            // character 5 as received
    Direction direction = Direction::Downlink;
    std::string_view groundStation; // the ground station named by the latest known mode character (ModeStation)
    FixedText<kAddressWidth> address;
    FixedText<2> label;
    char blockId = 0;
    FixedText<4> messageNumber;
    FixedText<6> flight;
    FixedText<kBlockTextCapacity> text;
    bool lastBlock = true; // ended by ETX; false for ETB (more blocks follow)

    std::string_view modeText() const { return {&mode, 1}; }
    std::string_view blockIdText() const { return {&blockId, 1}; }
};

} // namespace varnesk
