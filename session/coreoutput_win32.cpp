#include "session/coreoutput_win32.h"

namespace win32 {

std::string_view OutputCutter::take(std::string_view chunk, long long room)
{
    if (m_skippingToLineEnd) {
        const std::size_t lineEnd = chunk.find('\n');
        if (lineEnd == std::string_view::npos)
            return {};
        chunk.remove_prefix(lineEnd + 1);
        m_skippingToLineEnd = false;
    }
    if (room < 0 || chunk.size() > static_cast<unsigned long long>(room)) {
        const std::size_t lineEnd =
            room > 0 ? chunk.rfind('\n', std::size_t(room - 1)) : std::string_view::npos;
        // A dropped part that ends with a line break leaves no line to finish.
        m_skippingToLineEnd = chunk.empty() || chunk.back() != '\n';
        chunk = chunk.substr(0, lineEnd == std::string_view::npos ? 0 : lineEnd + 1);
    }
    return chunk;
}

std::string_view OutputCutter::takeLast(std::string_view chunk)
{
    if (m_skippingToLineEnd) {
        const std::size_t lineEnd = chunk.find('\n');
        m_skippingToLineEnd = lineEnd == std::string_view::npos;
        chunk.remove_prefix(m_skippingToLineEnd ? chunk.size() : lineEnd + 1);
    }
    return chunk;
}

} // namespace win32
