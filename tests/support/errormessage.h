#pragma once

#include "platform/exception.h"

#include <QString>

#include <functional>

namespace lystra::testsupport {

// The message of the lystra::Exception an action throws, or "(no error)":
// lets a table of cases compare exact messages in one EXPECT_EQ.
inline QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace lystra::testsupport
