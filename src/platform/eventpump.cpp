#include "platform/eventpump.h"

#include <QCoreApplication>

namespace lystra {

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace lystra
