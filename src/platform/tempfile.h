#pragma once

#include <QString>
#include <QTemporaryFile>

#include <memory>

namespace lystra {

// Creates and opens (read-write) a temporary file in the system's temporary
// folder whose name begins with `prefix`. The file is removed when the object
// is destroyed, on every path. Raises lystra::Exception when the file cannot
// be created.
std::unique_ptr<QTemporaryFile> createTemporaryFile(const QString& prefix);

} // namespace lystra
