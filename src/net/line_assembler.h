// Complete raw lines out of a TCP byte stream: bytes of any read are joined
// to the unfinished tail of the same connection, and every line from its start
// marker ("+" "*" SYN SYN SOH or "[CHAT") through its end character (ETX or
// ETB) comes out whole, found exactly as the line intake finds it. The tail is
// bounded by the longest line (512 characters); bytes between lines are skipped.
#pragma once

#include "net/line_intake.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

class LineAssembler {
public:
    LineAssembler();

    // Appends every line completed by bytes to lines, in order.
    void push(std::string_view bytes, std::vector<std::string>& lines);
    // The connection ended: a line still open is dropped (counted as cut).
    void reset();

    bool inLine() const { return m_inLine; }
    // Bytes held between reads: the open line (at most 512).
    std::size_t tailBytes() const { return m_line.size(); }

    // Lines dropped: no end character within 512 characters; a zero byte
    // inside the line (no sender writes one); open when the connection ended.
    uint64_t overlongLines() const { return m_overlong; }
    uint64_t brokenLines() const { return m_broken; }
    uint64_t cutLines() const { return m_cut; }

private:
    void closeLine();

    std::array<uint8_t, 5> m_window{};
    bool m_inLine = false;
    std::string m_line;
    uint64_t m_overlong = 0;
    uint64_t m_broken = 0;
    uint64_t m_cut = 0;
};

} // namespace varnesk
