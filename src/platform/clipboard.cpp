#include "platform/clipboard.h"

#include <utility>

namespace lystra {

namespace {
std::unique_ptr<Clipboard>& instance()
{
    static std::unique_ptr<Clipboard> clipboard = std::make_unique<RecordingClipboard>();
    return clipboard;
}
} // namespace

Clipboard::~Clipboard() = default;

Clipboard& Clipboard::current()
{
    return *instance();
}

void Clipboard::install(std::unique_ptr<Clipboard> clipboard)
{
    if (clipboard)
        instance() = std::move(clipboard);
    else
        instance() = std::make_unique<RecordingClipboard>();
}

void RecordingClipboard::setText(const QString& text)
{
    m_text = text;
    ++m_setCount;
}

} // namespace lystra
