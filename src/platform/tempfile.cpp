#include "platform/tempfile.h"

#include "platform/exception.h"

#include <QDir>

namespace lystra {

std::unique_ptr<QTemporaryFile> createTemporaryFile(const QString& prefix)
{
    auto file = std::make_unique<QTemporaryFile>(QDir(QDir::tempPath()).filePath(prefix + u"XXXXXX"));
    file->setAutoRemove(true);
    if (!file->open())
        throw Exception(QStringLiteral("Cannot create a temporary file in %1: %2")
                            .arg(QDir::tempPath(), file->errorString()));
    return file;
}

} // namespace lystra
