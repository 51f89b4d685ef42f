#pragma once

#include <QString>

#include <memory>

namespace lystra {

// The system clipboard as the engine sees it: plain text in, plain text out.
// The engine links no GUI library, so a GUI program installs an implementation
// over QGuiApplication::clipboard() at start-up. Until one is installed, a
// RecordingClipboard keeps the text in the process (tests and lystra-cli).
class Clipboard {
public:
    virtual ~Clipboard();

    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;

    // The installed clipboard; a RecordingClipboard until install() is called.
    static Clipboard& current();
    // Replaces the process-wide clipboard. Use on the user-interface thread.
    static void install(std::unique_ptr<Clipboard> clipboard);
};

// Keeps the last text put on it and counts the puts.
class RecordingClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
    QString text() const override { return m_text; }
    int setCount() const { return m_setCount; }

private:
    QString m_text;
    int m_setCount = 0;
};

} // namespace lystra
