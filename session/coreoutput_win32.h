#pragma once

#include <string_view>

// Where a Windows pipe cannot be left unread, output beyond the budget is dropped up to the
// next line break instead, so that no part of a line (and of a secret in it) is passed on cut.
// Free of Qt so it can be tested on its own.
namespace win32 {

class OutputCutter
{
public:
    // The part of `chunk` to pass on while the core runs, when the budget has `room` bytes left:
    // all of it within the budget, otherwise the whole lines that fit.
    std::string_view take(std::string_view chunk, long long room);
    // The part of the core's last output to pass on, without a budget: only the rest of a
    // dropped line is dropped, even when no line break follows.
    std::string_view takeLast(std::string_view chunk);

private:
    bool m_skippingToLineEnd = false;
};

} // namespace win32
