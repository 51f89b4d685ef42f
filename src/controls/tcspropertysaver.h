#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

namespace lystra {

class PropertyStorage;

// Keeps chosen published properties (see controls/publishedproperty.h) of a
// form and of the objects below it between runs of the program, and stores
// and restores all published properties of any object under a key of its own.
//
// The saver belongs to its owner, its Qt parent: normally a window (a "form";
// any top-level widget that is not a popup). Values live in the registry key
// "Software\<AppCompany>\<AppFamily>\<AppName>" of the settings store
// (platform/settingsstore.h) or, with Storage stIniFile, in the INI file
// <AppName>.ini in the program's folder (platform/inifile.h). The form's own
// properties go under the key named after the form (its objectName), those of
// an object below it under "<form name>\<object name>"; the property name is
// the value name. Objects without a name and Qt's internal objects ("qt_...")
// are passed through, not stored; their children are.
//
// When values are restored and stored (AutoLoad, AutoStore) follows the
// form's life. Qt has no hooks for the end of a constructor or the start of a
// destructor, so a form calls FormCreated() at the end of its constructor and
// FormDestroying() first thing in its destructor; showing and closing a widget
// owner the saver sees by itself. Loaded() stands for "the saver's
// properties are set" and is needed only for alOnLoaded.
//
// Reading never fails on missing data: an absent key or value leaves the
// property as it is. Text that does not convert raises EConvertError to the
// caller of LoadForm or LoadObject. Storage is open only during one operation
// and is closed again on every path.
class TcsPropertySaver : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString AppCompany READ AppCompany WRITE setAppCompany)
    Q_PROPERTY(QString AppFamily READ AppFamily WRITE setAppFamily)
    Q_PROPERTY(QString AppName READ AppName WRITE setAppName)
    Q_PROPERTY(bool AutoExec READ AutoExec WRITE setAutoExec)
    Q_PROPERTY(TcsAutoLoad AutoLoad READ AutoLoad WRITE setAutoLoad)
    Q_PROPERTY(TcsAutoSave AutoStore READ AutoStore WRITE setAutoStore)
    Q_PROPERTY(bool ExecTwice READ ExecTwice WRITE setExecTwice)
    Q_PROPERTY(QStringList Items READ Items WRITE setItems)
    Q_PROPERTY(TcsRootKeyType RootKey READ RootKey WRITE setRootKey)
    Q_PROPERTY(TcsStorage Storage READ Storage WRITE setStorage)
    Q_PROPERTY(bool UseWinPath READ UseWinPath WRITE setUseWinPath)

public:
    enum TcsAutoLoad { alNone, alOnCreate, alOnShow, alOnLoaded };
    Q_ENUM(TcsAutoLoad)
    enum TcsAutoSave { asNone, asOnDestroy, asOnClose };
    Q_ENUM(TcsAutoSave)
    enum TcsRootKeyType { THKEY_CURRENT_USER, THKEY_LOCAL_MACHINE };
    Q_ENUM(TcsRootKeyType)
    enum TcsStorage { stRegistry, stIniFile };
    Q_ENUM(TcsStorage)

    explicit TcsPropertySaver(QObject* owner = nullptr);
    ~TcsPropertySaver() override;

    // "Company Name", "Product Family", "Product Name" until set; each keeps
    // at most its first 255 characters.
    QString AppCompany() const { return m_appCompany; }
    void setAppCompany(const QString& value);
    QString AppFamily() const { return m_appFamily; }
    void setAppFamily(const QString& value);
    // Also the INI file's name. With stIniFile each of " * / : < > ? \ | in a
    // new name becomes "_".
    QString AppName() const { return m_appName; }
    void setAppName(const QString& value);
    // After restoring a property of an action, tool button or check box, fire
    // its event (FireComponent). On by default.
    bool AutoExec() const { return m_autoExec; }
    void setAutoExec(bool value) { m_autoExec = value; }
    TcsAutoLoad AutoLoad() const { return m_autoLoad; } // alOnShow by default
    void setAutoLoad(TcsAutoLoad value) { m_autoLoad = value; }
    TcsAutoSave AutoStore() const { return m_autoStore; } // asOnClose by default
    void setAutoStore(TcsAutoSave value) { m_autoStore = value; }
    // FireComponent fires each event twice. On by default.
    bool ExecTwice() const { return m_execTwice; }
    void setExecTwice(bool value) { m_execTwice = value; }
    // Which properties are persisted (IsSelected); kept sorted without regard
    // to case, each entry once.
    QStringList Items() const { return m_items; }
    void setItems(const QStringList& value);
    TcsRootKeyType RootKey() const { return m_rootKey; }
    void setRootKey(TcsRootKeyType value) { m_rootKey = value; }
    // Changing it sets AppName again, so that switching to stIniFile cleans
    // the name (switching back does not restore it).
    TcsStorage Storage() const { return m_storage; }
    void setStorage(TcsStorage value);
    // The INI file in the system's folder instead of the program's: the
    // Windows folder on Windows, the user's configuration folder elsewhere.
    bool UseWinPath() const { return m_useWinPath; }
    void setUseWinPath(bool value) { m_useWinPath = value; }

    // The form's life.
    void Loaded();         // alOnLoaded: restore now
    void FormCreated();    // alOnCreate: restore, once
    void FormDestroying(); // asOnDestroy: store; never throws (a failure is logged)

    // Restores the selected properties of the owner and the objects below it
    // and moves the owner, when it is a form, onto the screen; then emits
    // OnLoaded.
    void LoadForm();
    // Emits OnStore, then stores the selected properties of the owner and the
    // objects below it.
    void StoreForm();

    // Operations on any object, each under the key `keyName`, or the object's
    // class name when keyName is blank; with underFormKey the key is put below
    // the owner's key ("<form name>\<key>"). A null instance does nothing.
    // Every published property is read or written, selected or not.
    void LoadObject(QObject* instance, const QString& keyName, bool underFormKey = false);
    void StoreObject(QObject* instance, const QString& keyName, bool underFormKey = false);
    // Registry storage only (the INI file has no key operations): deletes the
    // key with everything below it, or with onlyWithoutSubKeys only when it
    // has no subkeys. A key path naming no key (only "\") deletes nothing.
    void DeleteObjectKey(QObject* instance, const QString& keyName, bool underFormKey,
                         bool onlyWithoutSubKeys);
    // Registry storage only: true when the key exists and holds a value named
    // like one of the instance's published properties.
    bool HasStoredValues(QObject* instance, const QString& keyName, bool underFormKey = false);
    // Registry storage only: when the key exists, `list` becomes the names of
    // its subkeys (sorted without regard to case); otherwise it is left as it
    // is.
    void ListSubKeys(QObject* instance, const QString& keyName, bool underFormKey,
                     QStringList& list);

    // True when Items holds, without regard to case, the property name alone,
    // "<class name>.<name>", "<object name>.<name>", or for a form
    // "TForm.<name>".
    bool IsSelected(const QObject* component, const QString& propertyName) const;
    // Emits the triggered signal of an action, or the clicked signal of a tool
    // button or check box, with the component as sender; twice with
    // ExecTwice. Whatever a handler throws is swallowed.
    void FireComponent(QObject* component);

    // The screen size used to move forms onto the screen. An empty size (the
    // default) asks the platform: the primary screen, or the whole desktop
    // when there are several screens.
    void setScreenSize(QSize size) { m_screenSize = size; }
    QSize screenSize() const;

    // Where the values go: the registry path and the INI file name, with the
    // current settings (blank names as OpenStorage fills them in).
    QString RegistryPath() const;
    QString IniFileName() const;

signals:
    void OnLoaded(lystra::TcsPropertySaver* sender);
    void OnStore(lystra::TcsPropertySaver* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class OpenedStorage;

    void OpenStorage();
    void CloseStorage() noexcept;
    void fillBlankNames();
    QString objectKey(const QObject* instance, const QString& keyName, bool underFormKey) const;
    QString componentKey(const QObject* form, const QObject* component) const;
    void restoreComponent(QObject* component, const QString& key);
    void storeComponent(QObject* component, const QString& key);
    void moveOntoScreen(QObject* component) const;

    QString m_appCompany = QStringLiteral("Company Name");
    QString m_appFamily = QStringLiteral("Product Family");
    QString m_appName = QStringLiteral("Product Name");
    bool m_autoExec = true;
    TcsAutoLoad m_autoLoad = alOnShow;
    TcsAutoSave m_autoStore = asOnClose;
    bool m_execTwice = true;
    QStringList m_items;
    TcsRootKeyType m_rootKey = THKEY_CURRENT_USER;
    TcsStorage m_storage = stRegistry;
    bool m_useWinPath = false;

    std::unique_ptr<PropertyStorage> m_open; // only between OpenStorage and CloseStorage
    bool m_created = false;
    bool m_shown = false;
    QSize m_screenSize;
};

} // namespace lystra
