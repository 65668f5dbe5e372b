#include "session/coreoutput.h"

#include "session/coreoutput_win32.h"

#include <QProcess>

// QProcess reads a Windows pipe on its own; output beyond the budget is dropped instead.
struct CoreOutput::Private
{
    win32::OutputCutter cutter;
};

namespace {

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray bytes(std::string_view view)
{
    return QByteArray(view.data(), qsizetype(view.size()));
}

} // namespace

CoreOutput::CoreOutput(QProcess& process)
    : QObject(&process), m_process(process), d(std::make_unique<Private>())
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process, &QProcess::readyReadStandardOutput, this, &CoreOutput::takeIn);
}

CoreOutput::~CoreOutput() = default;

void CoreOutput::takeIn()
{
    const QByteArray chunk = m_process.readAllStandardOutput();
    const std::string_view kept = d->cutter.take(view(chunk), m_budget.room());
    m_budget.spend(qint64(kept.size()));
    if (!kept.empty())
        emit received(bytes(kept));
}

void CoreOutput::pause() {}

void CoreOutput::drain()
{
    const QByteArray chunk = m_process.readAllStandardOutput();
    const std::string_view kept = d->cutter.takeLast(view(chunk));
    if (!kept.empty())
        emit received(bytes(kept));
}
