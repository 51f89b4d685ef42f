#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace lystra {

class TcsPropertySaver;
class TJobProfile;

// The print settings of one job for one printer. Its five published
// properties are stored under "<job key>\<printer key>", where the printer
// key is the printer name with every "\" replaced by "@".
class TJobPrinterProfile : public QObject {
    Q_OBJECT
    Q_PROPERTY(double LeftOffset READ LeftOffset WRITE setLeftOffset)
    Q_PROPERTY(double TopOffset READ TopOffset WRITE setTopOffset)
    Q_PROPERTY(bool UseOCRFont READ UseOCRFont WRITE setUseOCRFont)
    Q_PROPERTY(ushort PaperSource READ PaperSource WRITE setPaperSource)
    Q_PROPERTY(int Oriantation READ Oriantation WRITE setOriantation)

public:
    // Cleared. The owner outlives the profile (it owns it).
    explicit TJobPrinterProfile(TJobProfile& owner);

    // The printer these settings belong to; set only when stored settings
    // were found (Load) or by the caller.
    QString PrinterName() const { return m_printerName; }
    void setPrinterName(const QString& value) { m_printerName = value; }
    // Millimetres added to the left and top of every printed line.
    double LeftOffset() const { return m_leftOffset; }
    void setLeftOffset(double value) { m_leftOffset = value; }
    double TopOffset() const { return m_topOffset; }
    void setTopOffset(double value) { m_topOffset = value; }
    // Print the last row of each page in the OCR font.
    bool UseOCRFont() const { return m_useOCRFont; }
    void setUseOCRFont(bool value) { m_useOCRFont = value; }
    // Paper bin number of the print system; 0 leaves the printer's choice.
    ushort PaperSource() const { return m_paperSource; }
    void setPaperSource(ushort value) { m_paperSource = value; }
    // 0: by page shape, 1: portrait, 2: landscape.
    int Oriantation() const { return m_oriantation; }
    void setOriantation(int value) { m_oriantation = value; }
    TJobProfile& Owner() const { return m_owner; }

    // Clear(); then, when the trimmed name is not empty and the printer's key
    // holds at least one of the five values, loads them and sets PrinterName
    // to `printerName`.
    void Load(const QString& printerName);
    // Stores the five values under the printer's key; nothing without
    // PrinterName.
    void Save();
    // Deletes the printer's key with everything in it; nothing without
    // PrinterName.
    void Remove();
    // No printer, UseOCRFont true, offsets 0, PaperSource 0, Oriantation 0.
    void Clear();
    // No printer, UseOCRFont true, both offsets exactly 0, PaperSource 0;
    // Oriantation does not count.
    bool IsEmpty() const;

private:
    QString keyOf(const QString& printerName) const;

    TJobProfile& m_owner;
    QString m_printerName;
    double m_leftOffset = 0;
    double m_topOffset = 0;
    bool m_useOCRFont = true;
    ushort m_paperSource = 0;
    int m_oriantation = 0;
};

// The print settings of one kind of job, identified by job text, document name
// and form name, with the settings for one printer (PrinterProfile). The eight
// published properties are stored under the job key "<job text>-<document
// name>-<form name>" (each trimmed, with every "\" replaced by "@") through
// the borrowed Saver; without a Saver nothing is loaded, stored or deleted.
class TJobProfile : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool DeleteAutoPrint READ DeleteAutoPrint WRITE setDeleteAutoPrint)
    Q_PROPERTY(bool AutoPrint READ AutoPrint WRITE setAutoPrint)
    Q_PROPERTY(bool DeleteAutoSave READ DeleteAutoSave WRITE setDeleteAutoSave)
    Q_PROPERTY(bool AutoSave READ AutoSave WRITE setAutoSave)
    Q_PROPERTY(QString StoragePath READ StoragePath WRITE setStoragePath)
    Q_PROPERTY(TStorageFormat StorageFormat READ StorageFormat WRITE setStorageFormat)
    Q_PROPERTY(QString DefaultPrinterName READ DefaultPrinterName WRITE setDefaultPrinterName)
    Q_PROPERTY(QString PrintFormName READ PrintFormName WRITE setPrintFormName)

public:
    enum TStorageFormat { sfSpool, sfText, sfPdf };
    Q_ENUM(TStorageFormat)

    // No Saver, empty Key, cleared.
    explicit TJobProfile(QObject* parent = nullptr);
    ~TJobProfile() override;

    // The key of a job: "<job text>-<document name>-<form name>", each text
    // trimmed and made one key name.
    static QString JobKey(const QString& jobText, const QString& documentName,
                          const QString& formName);

    QString Key() const { return m_key; }
    // Borrowed; the saver must outlive the profile's use of it.
    TcsPropertySaver* Saver() const { return m_saver; }
    void setSaver(TcsPropertySaver* saver) { m_saver = saver; }
    TJobPrinterProfile& PrinterProfile() const { return *m_printerProfile; }

    // Stored and edited only; nothing in the program acts on these.
    bool DeleteAutoPrint() const { return m_deleteAutoPrint; }
    void setDeleteAutoPrint(bool value) { m_deleteAutoPrint = value; }
    bool AutoPrint() const { return m_autoPrint; }
    void setAutoPrint(bool value) { m_autoPrint = value; }
    bool DeleteAutoSave() const { return m_deleteAutoSave; }
    void setDeleteAutoSave(bool value) { m_deleteAutoSave = value; }
    bool AutoSave() const { return m_autoSave; }
    void setAutoSave(bool value) { m_autoSave = value; }
    QString StoragePath() const { return m_storagePath; }
    void setStoragePath(const QString& value) { m_storagePath = value; }
    TStorageFormat StorageFormat() const { return m_storageFormat; }
    void setStorageFormat(TStorageFormat value) { m_storageFormat = value; }
    QString PrintFormName() const { return m_printFormName; }
    void setPrintFormName(const QString& value) { m_printFormName = value; }
    // The printer to preselect for this job.
    QString DefaultPrinterName() const { return m_defaultPrinterName; }
    void setDefaultPrinterName(const QString& value) { m_defaultPrinterName = value; }

    // Load(JobKey(jobText, documentName, formName)).
    void Select(const QString& jobText, const QString& documentName, const QString& formName);
    // Clear(); with a Saver: Key := key, load the stored values, then the
    // settings of the default printer. A default printer without stored
    // settings is forgotten; without a default printer the first printer
    // that has settings under the key is taken, by its key name.
    void Load(const QString& key);
    // Stores the published properties under Key, then the printer profile.
    void Save();
    // Removes the printer profile's settings (and the default printer when it
    // was that printer); when nothing is left, deletes the job's key unless
    // other printers still have settings under it.
    void Remove();
    // Key empty, DeleteAutoPrint, AutoPrint, AutoSave false, StorageFormat
    // sfSpool, DefaultPrinterName and PrintFormName empty, printer profile
    // cleared; DeleteAutoSave and StoragePath are kept.
    void Clear();
    // True when nothing here changes how the job prints: DeleteAutoPrint,
    // AutoPrint and AutoSave false, no PrintFormName, no DefaultPrinterName,
    // and an empty printer profile.
    bool IsEmpty() const;
    // Loads the printer profile of the trimmed name; returns that name.
    QString SelectPrinter(const QString& name);

    // The key the saver uses for this profile: Key, or the class name when
    // Key is blank.
    QString StorageKey() const;

private:
    QString m_key;
    TcsPropertySaver* m_saver = nullptr;
    std::unique_ptr<TJobPrinterProfile> m_printerProfile;
    bool m_deleteAutoPrint = false;
    bool m_autoPrint = false;
    bool m_deleteAutoSave = false;
    bool m_autoSave = false;
    QString m_storagePath;
    TStorageFormat m_storageFormat = sfSpool;
    QString m_defaultPrinterName;
    QString m_printFormName;
};

} // namespace lystra
