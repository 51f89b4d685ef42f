#include "server/serverlog.h"

#include <QDateTime>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace lystra {

namespace {
std::atomic<bool> g_enabled{true};
std::mutex g_mutex;
} // namespace

void logLine(const QString& text)
{
    if (!g_enabled.load(std::memory_order_relaxed))
        return;
    const QByteArray line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")).toUtf8()
                            + text.toUtf8() + '\n';
    const std::lock_guard lock(g_mutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void setLogEnabled(bool enabled)
{
    g_enabled.store(enabled, std::memory_order_relaxed);
}

} // namespace lystra
