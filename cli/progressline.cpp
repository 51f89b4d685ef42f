#include "cli/progressline.h"

#include <unistd.h>

#include <cstdio>

namespace lystra::cli {

namespace {

// Work shorter than this finishes without a progress line.
constexpr qint64 kShowAfterMs = 300;

} // namespace

ProgressLine::ProgressLine(const QString& caption, int total) : m_caption(caption), m_total(total)
{
    m_timer.start();
}

ProgressLine::~ProgressLine()
{
    if (!m_shown)
        return;
    const QByteArray blank = '\r' + QByteArray(m_width, ' ') + '\r';
    std::fwrite(blank.constData(), 1, size_t(blank.size()), stderr);
    std::fflush(stderr);
}

bool ProgressLine::Enabled()
{
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return terminal;
}

void ProgressLine::Step()
{
    ++m_done;
    if (!Enabled() || (!m_shown && m_timer.elapsed() < kShowAfterMs))
        return;
    m_shown = true;
    const QString text = QStringLiteral("%1  %2/%3").arg(m_caption).arg(m_done).arg(m_total);
    const QByteArray line = '\r' + text.toLocal8Bit();
    // Pads over the rest of a longer line drawn before.
    const qsizetype padding = qMax<qsizetype>(0, m_width - (line.size() - 1));
    m_width = qMax(m_width, line.size() - 1);
    const QByteArray padded = line + QByteArray(padding, ' ');
    std::fwrite(padded.constData(), 1, size_t(padded.size()), stderr);
    std::fflush(stderr);
}

} // namespace lystra::cli
