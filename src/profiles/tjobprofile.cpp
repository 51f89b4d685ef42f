#include "profiles/tjobprofile.h"

#include "controls/publishedproperty.h"
#include "controls/tcspropertysaver.h"
#include "platform/settingsstore.h"

namespace lystra {

TJobPrinterProfile::TJobPrinterProfile(TJobProfile& owner) : m_owner(owner)
{
    Clear();
}

QString TJobPrinterProfile::keyOf(const QString& printerName) const
{
    return m_owner.StorageKey() + u'\\' + SettingsStore::escapeKeyName(printerName);
}

void TJobPrinterProfile::Load(const QString& printerName)
{
    Clear();
    TcsPropertySaver* saver = m_owner.Saver();
    if (!saver || printerName.trimmed().isEmpty())
        return;
    const QString key = keyOf(printerName);
    if (!saver->HasStoredValues(this, key))
        return;
    saver->LoadObject(this, key);
    m_printerName = printerName;
}

void TJobPrinterProfile::Save()
{
    if (TcsPropertySaver* saver = m_owner.Saver(); saver && !m_printerName.isEmpty())
        saver->StoreObject(this, keyOf(m_printerName));
}

void TJobPrinterProfile::Remove()
{
    if (TcsPropertySaver* saver = m_owner.Saver(); saver && !m_printerName.isEmpty())
        saver->DeleteObjectKey(this, keyOf(m_printerName), false, false);
}

void TJobPrinterProfile::Clear()
{
    m_printerName.clear();
    m_useOCRFont = true;
    m_leftOffset = 0;
    m_topOffset = 0;
    m_paperSource = 0;
    m_oriantation = 0;
}

bool TJobPrinterProfile::IsEmpty() const
{
    return m_printerName.isEmpty() && m_useOCRFont && m_leftOffset == 0 && m_topOffset == 0 &&
           m_paperSource == 0;
}

TJobProfile::TJobProfile(QObject* parent)
    : QObject(parent), m_printerProfile(std::make_unique<TJobPrinterProfile>(*this))
{
    Clear();
}

TJobProfile::~TJobProfile() = default;

QString TJobProfile::JobKey(const QString& jobText, const QString& documentName,
                            const QString& formName)
{
    // A "\" in a text would otherwise split the key into nested keys.
    return SettingsStore::escapeKeyName(jobText.trimmed()) + u'-' +
           SettingsStore::escapeKeyName(documentName.trimmed()) + u'-' +
           SettingsStore::escapeKeyName(formName.trimmed());
}

QString TJobProfile::StorageKey() const
{
    return m_key.trimmed().isEmpty() ? ClassNameOf(this) : m_key;
}

void TJobProfile::Select(const QString& jobText, const QString& documentName,
                         const QString& formName)
{
    Load(JobKey(jobText, documentName, formName));
}

void TJobProfile::Load(const QString& key)
{
    Clear();
    if (!m_saver)
        return;
    m_key = key;
    m_saver->LoadObject(this, m_key);
    m_printerProfile->Load(m_defaultPrinterName);
    m_defaultPrinterName = m_printerProfile->PrinterName();
    if (!m_defaultPrinterName.isEmpty())
        return;
    QStringList printers;
    m_saver->ListSubKeys(this, m_key, false, printers);
    if (printers.isEmpty())
        return;
    m_printerProfile->Load(printers.first());
    m_defaultPrinterName = m_printerProfile->PrinterName();
}

void TJobProfile::Save()
{
    if (!m_saver)
        return;
    m_saver->StoreObject(this, m_key);
    m_printerProfile->Save();
}

void TJobProfile::Remove()
{
    if (!m_saver)
        return;
    if (m_defaultPrinterName == m_printerProfile->PrinterName())
        m_defaultPrinterName.clear();
    m_printerProfile->Remove();
    m_printerProfile->Clear();
    if (IsEmpty())
        m_saver->DeleteObjectKey(this, m_key, false, true);
}

void TJobProfile::Clear()
{
    m_key.clear();
    m_deleteAutoPrint = false;
    m_autoPrint = false;
    m_autoSave = false;
    m_storageFormat = sfSpool;
    m_defaultPrinterName.clear();
    m_printFormName.clear();
    m_printerProfile->Clear();
}

bool TJobProfile::IsEmpty() const
{
    return !m_deleteAutoPrint && !m_autoPrint && !m_autoSave && m_printFormName.isEmpty() &&
           m_defaultPrinterName.isEmpty() && m_printerProfile->IsEmpty();
}

QString TJobProfile::SelectPrinter(const QString& name)
{
    const QString trimmed = name.trimmed();
    m_printerProfile->Load(trimmed);
    return trimmed;
}

} // namespace lystra
