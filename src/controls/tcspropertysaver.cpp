#include "controls/tcspropertysaver.h"

#include "controls/propertystorage.h"
#include "controls/publishedproperty.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

namespace lystra {

namespace {

const QString kDefaultCompany = QStringLiteral("Company Name");
const QString kDefaultFamily = QStringLiteral("Product Family");
// The application names are short strings of the program's settings format.
constexpr qsizetype kMaxNameLength = 255;

bool isForm(const QObject* object)
{
    if (!object || !object->isWidgetType())
        return false;
    const auto* widget = static_cast<const QWidget*>(object);
    const Qt::WindowType type = widget->windowType();
    return widget->isWindow() && type != Qt::Popup && type != Qt::ToolTip;
}

bool isStoredObject(const QObject* object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(u"qt_");
}

// The objects below `root` in the order of their creation, depth first;
// savers come last, so that their own properties are restored after those of
// everything else.
QList<QObject*> componentsBelow(QObject* root)
{
    QList<QObject*> found;
    const auto walk = [&found](auto&& self, QObject* parent) -> void {
        for (QObject* child : parent->children()) {
            if (isStoredObject(child))
                found.append(child);
            self(self, child);
        }
    };
    walk(walk, root);
    std::stable_partition(found.begin(), found.end(),
                          [](QObject* o) { return qobject_cast<TcsPropertySaver*>(o) == nullptr; });
    return found;
}

QString executableBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString systemFolder()
{
#ifdef Q_OS_WIN
    QString folder = qEnvironmentVariable("SystemRoot", qEnvironmentVariable("windir"));
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
    return QDir::fromNativeSeparators(folder);
}

} // namespace

// Opens the storage for one operation and closes it on every path. commit()
// writes on the success path and reports a failure; a failing operation
// still writes what it wrote, but its own error is the one that is raised.
class TcsPropertySaver::OpenedStorage {
public:
    explicit OpenedStorage(TcsPropertySaver& saver) : m_saver(saver) { saver.OpenStorage(); }
    ~OpenedStorage() { m_saver.CloseStorage(); }
    OpenedStorage(const OpenedStorage&) = delete;
    OpenedStorage& operator=(const OpenedStorage&) = delete;

    PropertyStorage& operator*() const { return *m_saver.m_open; }
    PropertyStorage* operator->() const { return m_saver.m_open.get(); }
    void commit() const { m_saver.m_open->commit(); }

private:
    TcsPropertySaver& m_saver;
};

TcsPropertySaver::TcsPropertySaver(QObject* owner) : QObject(owner)
{
    if (owner)
        owner->installEventFilter(this);
}

TcsPropertySaver::~TcsPropertySaver()
{
    CloseStorage();
}

void TcsPropertySaver::setAppCompany(const QString& value)
{
    if (value != m_appCompany)
        m_appCompany = value.left(kMaxNameLength);
}

void TcsPropertySaver::setAppFamily(const QString& value)
{
    if (value != m_appFamily)
        m_appFamily = value.left(kMaxNameLength);
}

void TcsPropertySaver::setAppName(const QString& value)
{
    QString name = value.left(kMaxNameLength);
    if (m_storage == stIniFile) {
        for (QChar c : QStringView(u"\"*/:<>?\\|"))
            name.replace(c, u'_');
    }
    m_appName = name;
}

void TcsPropertySaver::setStorage(TcsStorage value)
{
    if (value == m_storage)
        return;
    m_storage = value;
    setAppName(m_appName);
}

void TcsPropertySaver::setItems(const QStringList& value)
{
    QStringList items;
    for (const QString& item : value) {
        if (!items.contains(item, Qt::CaseInsensitive))
            items.append(item);
    }
    std::sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    m_items = items;
}

void TcsPropertySaver::Loaded()
{
    if (m_autoLoad == alOnLoaded)
        LoadForm();
}

void TcsPropertySaver::FormCreated()
{
    if (m_created)
        return;
    m_created = true;
    if (m_autoLoad == alOnCreate)
        LoadForm();
}

void TcsPropertySaver::FormDestroying()
{
    if (m_autoStore != asOnDestroy)
        return;
    try {
        StoreForm();
    } catch (const std::exception& e) {
        qWarning("Form settings not stored: %s", e.what());
    }
}

bool TcsPropertySaver::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != parent())
        return false;
    // Exceptions must not travel through Qt's event delivery; the window
    // shows or closes regardless.
    try {
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            if (m_autoLoad == alOnShow)
                LoadForm();
        } else if (event->type() == QEvent::Close && m_autoStore == asOnClose) {
            StoreForm();
        }
    } catch (const std::exception& e) {
        qWarning("Form settings: %s", e.what());
    }
    return false;
}

void TcsPropertySaver::fillBlankNames()
{
    if (m_appName.trimmed().isEmpty())
        m_appName = executableBaseName();
    if (m_appFamily.trimmed().isEmpty())
        m_appFamily = kDefaultFamily;
    if (m_appCompany.trimmed().isEmpty())
        m_appCompany = kDefaultCompany;
}

QString TcsPropertySaver::RegistryPath() const
{
    const QString company = m_appCompany.trimmed().isEmpty() ? kDefaultCompany : m_appCompany;
    const QString family = m_appFamily.trimmed().isEmpty() ? kDefaultFamily : m_appFamily;
    const QString name = m_appName.trimmed().isEmpty() ? executableBaseName() : m_appName;
    return u"Software\\" + company + u'\\' + family + u'\\' + name;
}

QString TcsPropertySaver::IniFileName() const
{
    const QString name = m_appName.trimmed().isEmpty() ? executableBaseName() : m_appName;
    const QString folder = m_useWinPath ? systemFolder() : QCoreApplication::applicationDirPath();
    return QDir(folder).filePath(name + u".ini");
}

void TcsPropertySaver::OpenStorage()
{
    fillBlankNames();
    CloseStorage();
    if (m_storage == stIniFile) {
        m_open = std::make_unique<PropertyStorage>(IniFileName());
    } else {
        const auto scope = m_rootKey == THKEY_LOCAL_MACHINE ? SettingsStore::Scope::Machine
                                                            : SettingsStore::Scope::User;
        m_open = std::make_unique<PropertyStorage>(RegistryPath(), scope);
    }
}

void TcsPropertySaver::CloseStorage() noexcept
{
    if (!m_open)
        return;
    try {
        m_open->commit();
    } catch (const std::exception& e) {
        qWarning("Form settings: %s", e.what());
    }
    m_open.reset();
}

QString TcsPropertySaver::objectKey(const QObject* instance, const QString& keyName,
                                    bool underFormKey) const
{
    QString key = keyName.trimmed().isEmpty() ? ClassNameOf(instance) : keyName;
    if (underFormKey && parent())
        key = parent()->objectName() + u'\\' + key;
    return key;
}

QString TcsPropertySaver::componentKey(const QObject* form, const QObject* component) const
{
    if (component == form)
        return form->objectName();
    return form->objectName() + u'\\' + component->objectName();
}

bool TcsPropertySaver::IsSelected(const QObject* component, const QString& propertyName) const
{
    const auto listed = [this](const QString& item) {
        return m_items.contains(item, Qt::CaseInsensitive);
    };
    const QString suffix = u'.' + propertyName;
    return listed(propertyName) || listed(ClassNameOf(component) + suffix) ||
           listed(component->objectName() + suffix) ||
           (isForm(component) && listed(u"TForm" + suffix));
}

void TcsPropertySaver::FireComponent(QObject* component)
{
    auto* action = qobject_cast<QAction*>(component);
    auto* button = qobject_cast<QAbstractButton*>(component);
    if (button && !qobject_cast<QToolButton*>(button) && !qobject_cast<QCheckBox*>(button))
        button = nullptr;
    if (!action && !button)
        return;
    for (int i = m_execTwice ? 2 : 1; i > 0; --i) {
        try {
            if (action)
                Q_EMIT action->triggered(action->isChecked());
            else
                Q_EMIT button->clicked(button->isChecked());
        } catch (...) {
            // A handler's failure does not stop the restore.
        }
    }
}

QSize TcsPropertySaver::screenSize() const
{
    if (m_screenSize.isValid())
        return m_screenSize;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return {};
    return QGuiApplication::screens().size() > 1 ? primary->virtualSize() : primary->size();
}

void TcsPropertySaver::moveOntoScreen(QObject* component) const
{
    const QSize screen = screenSize();
    if (!screen.isValid())
        return;
    auto* form = static_cast<QWidget*>(component);
    int left = form->x();
    int top = form->y();
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    // A form larger than the screen ends up with a negative position: its
    // right or bottom edge is what is kept on the screen.
    if (left + form->width() > screen.width())
        left = screen.width() - form->width();
    if (top + form->height() > screen.height())
        top = screen.height() - form->height();
    if (left != form->x() || top != form->y())
        form->move(left, top);
}

void TcsPropertySaver::restoreComponent(QObject* component, const QString& key)
{
    for (const PublishedProperty& property : PublishedProperty::of(component)) {
        if (!IsSelected(component, property.name()))
            continue;
        // Nothing stored leaves the property exactly as it is, rather than set
        // from its own text, which for a float or host text need not give back
        // the same value.
        if (const auto stored = m_open->read(key, property.name()))
            TextToProperty(component, property, *stored);
        if (m_autoExec)
            FireComponent(component);
    }
    if (isForm(component))
        moveOntoScreen(component);
}

void TcsPropertySaver::storeComponent(QObject* component, const QString& key)
{
    for (const PublishedProperty& property : PublishedProperty::of(component)) {
        if (IsSelected(component, property.name()))
            m_open->write(key, property.name(), PropertyToText(component, property));
    }
}

void TcsPropertySaver::LoadForm()
{
    if (QObject* form = parent()) {
        OpenedStorage storage(*this);
        restoreComponent(form, componentKey(form, form));
        for (QObject* component : componentsBelow(form))
            restoreComponent(component, componentKey(form, component));
    }
    Q_EMIT OnLoaded(this);
}

void TcsPropertySaver::StoreForm()
{
    OpenedStorage storage(*this);
    Q_EMIT OnStore(this);
    if (QObject* form = parent()) {
        storeComponent(form, componentKey(form, form));
        for (QObject* component : componentsBelow(form))
            storeComponent(component, componentKey(form, component));
    }
    storage.commit();
}

void TcsPropertySaver::LoadObject(QObject* instance, const QString& keyName, bool underFormKey)
{
    if (!instance)
        return;
    OpenedStorage storage(*this);
    const QString key = objectKey(instance, keyName, underFormKey);
    for (const PublishedProperty& property : PublishedProperty::of(instance)) {
        if (const auto stored = storage->read(key, property.name()))
            TextToProperty(instance, property, *stored);
    }
}

void TcsPropertySaver::StoreObject(QObject* instance, const QString& keyName, bool underFormKey)
{
    if (!instance)
        return;
    OpenedStorage storage(*this);
    const QString key = objectKey(instance, keyName, underFormKey);
    for (const PublishedProperty& property : PublishedProperty::of(instance))
        storage->write(key, property.name(), PropertyToText(instance, property));
    storage.commit();
}

void TcsPropertySaver::DeleteObjectKey(QObject* instance, const QString& keyName, bool underFormKey,
                                       bool onlyWithoutSubKeys)
{
    const QString key = objectKey(instance, keyName, underFormKey);
    // A path of separators alone would name the base key: everything the
    // application keeps. No caller means that.
    if (key.split(u'\\', Qt::SkipEmptyParts).isEmpty())
        return;
    OpenedStorage storage(*this);
    SettingsStore* registry = storage->registry();
    if (!registry || !registry->keyExists(key))
        return;
    if (onlyWithoutSubKeys && !registry->subKeyNames(key).isEmpty())
        return;
    registry->deleteKey(key);
    storage.commit();
}

bool TcsPropertySaver::HasStoredValues(QObject* instance, const QString& keyName, bool underFormKey)
{
    if (!instance)
        return false;
    const QList<PublishedProperty> properties = PublishedProperty::of(instance);
    if (properties.isEmpty())
        return false;
    OpenedStorage storage(*this);
    SettingsStore* registry = storage->registry();
    if (!registry)
        return false;
    const QStringList names = registry->valueNames(objectKey(instance, keyName, underFormKey));
    return std::any_of(properties.cbegin(), properties.cend(), [&names](const auto& property) {
        return names.contains(property.name(), Qt::CaseInsensitive);
    });
}

void TcsPropertySaver::ListSubKeys(QObject* instance, const QString& keyName, bool underFormKey,
                                   QStringList& list)
{
    OpenedStorage storage(*this);
    SettingsStore* registry = storage->registry();
    const QString key = objectKey(instance, keyName, underFormKey);
    if (registry && registry->keyExists(key))
        list = registry->subKeyNames(key);
}

} // namespace lystra
