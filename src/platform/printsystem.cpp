#include "platform/printsystem.h"

#include <utility>

namespace lystra {

namespace {

PrintSystem*& installed()
{
    static PrintSystem* system = nullptr;
    return system;
}

} // namespace

PrintSystem::~PrintSystem() = default;

PrintSystem& PrintSystem::instance()
{
    static StaticPrintSystem empty;
    if (PrintSystem* system = installed())
        return *system;
    return empty;
}

void PrintSystem::install(PrintSystem* system)
{
    installed() = system;
}

StaticPrintSystem::StaticPrintSystem(QStringList printers, QList<FontFamily> fonts, QString current)
    : m_printers(std::move(printers)), m_fonts(std::move(fonts)), m_current(std::move(current))
{}

QString StaticPrintSystem::currentPrinterName() const
{
    if (!m_current.isEmpty())
        return m_current;
    return m_printers.value(0);
}

} // namespace lystra
