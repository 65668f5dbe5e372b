#include "session/coreoutput.h"

qint64 OutputBudget::room()
{
    const qint64 now = m_clock.elapsed();
    if (now - m_windowStart >= kWindowMs) {
        m_windowStart = now - (now - m_windowStart) % kWindowMs;
        m_spent = 0;
    }
    return kBytesPerWindow - m_spent;
}

int OutputBudget::msUntilRefill() const
{
    return int(qBound<qint64>(1, m_windowStart + kWindowMs - m_clock.elapsed(), kWindowMs));
}
