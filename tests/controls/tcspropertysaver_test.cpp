#include "controls/tcspropertysaver.h"
#include "platform/exception.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace lystra;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kApp = SettingsStore::applicationPath();

// A window as the program's forms are built: its own creation code sets a
// size and position, then tells the saver; its destructor tells the saver
// first. Below it: an edit field inside an unnamed panel, a check box, an
// action and one of Qt's internal objects.
class TestForm : public QWidget {
    Q_OBJECT
public:
    using Setup = std::function<void(TcsPropertySaver&)>;

    explicit TestForm(const QString& name, const Setup& setup = {})
    {
        setObjectName(name);
        saver = new TcsPropertySaver(this);
        saver->setAppCompany(u"QUORVIK"_s);
        saver->setAppFamily(u"GUI"_s);
        saver->setAppName(u"Lystra"_s);
        saver->setScreenSize(QSize(1024, 768));
        auto* panel = new QWidget(this);
        edtTop = new QLineEdit(panel);
        edtTop->setObjectName(u"edtTop"_s);
        chkOCR = new QCheckBox(this);
        chkOCR->setObjectName(u"chkOCR"_s);
        acPrint = new QAction(this);
        acPrint->setObjectName(u"acPrint"_s);
        (new QLineEdit(this))->setObjectName(u"qt_internal"_s);
        if (setup)
            setup(*saver);
        saver->Loaded();
        setGeometry(10, 20, 400, 300); // the form's own creation code
        saver->FormCreated();
    }
    ~TestForm() override { saver->FormDestroying(); }

    TcsPropertySaver* saver;
    QLineEdit* edtTop;
    QCheckBox* chkOCR;
    QAction* acPrint;
};

QStringList boundsItems(const QString& form)
{
    return {form + u".Height", form + u".Left", form + u".Top", form + u".Width"};
}

TestForm::Setup withItems(QStringList items, TcsPropertySaver::TcsAutoLoad load,
                          TcsPropertySaver::TcsAutoSave store)
{
    return [=](TcsPropertySaver& s) {
        s.setItems(items);
        s.setAutoLoad(load);
        s.setAutoStore(store);
    };
}

void storeBounds(const QString& form, int left, int top, int width, int height)
{
    SettingsStore store(kApp);
    store.writeString(form, u"Left"_s, QString::number(left));
    store.writeString(form, u"Top"_s, QString::number(top));
    store.writeString(form, u"Width"_s, QString::number(width));
    store.writeString(form, u"Height"_s, QString::number(height));
}

class TcsPropertySaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(TcsPropertySaverTest, ItemsSelectProperties)
{
    struct Case {
        const char* what;
        QStringList items;
        bool formHeight;
        bool editHeight;
        bool formLeft;
    };
    const Case cases[] = {
        {"form's own item", {u"PrintFilesForm.Height"_s}, true, false, false},
        {"any case", {u"printfilesform.HEIGHT"_s}, true, false, false},
        {"property alone", {u"Height"_s}, true, true, false},
        {"class name", {u"QLineEdit.Height"_s}, false, true, false},
        {"component name", {u"edtTop.Height"_s}, false, true, false},
        {"every form", {u"TForm.Left"_s}, false, false, true},
        {"TForm is no component's class", {u"TForm.Height"_s}, true, false, false},
    };
    TestForm form(u"PrintFilesForm"_s);
    for (const Case& c : cases) {
        form.saver->setItems(c.items);
        EXPECT_EQ(form.saver->IsSelected(&form, u"Height"_s), c.formHeight) << c.what;
        EXPECT_EQ(form.saver->IsSelected(form.edtTop, u"Height"_s), c.editHeight) << c.what;
        EXPECT_EQ(form.saver->IsSelected(&form, u"Left"_s), c.formLeft) << c.what;
    }
}

TEST_F(TcsPropertySaverTest, StoresSelectedPropertiesAndRestoresThemInTheNextRun)
{
    const QStringList items =
        boundsItems(u"PrintFilesForm"_s) + QStringList{u"edtTop.Text"_s, u"chkOCR.Checked"_s};
    {
        TestForm form(u"PrintFilesForm"_s, withItems(items, TcsPropertySaver::alOnCreate,
                                                     TcsPropertySaver::asOnDestroy));
        form.setGeometry(50, 60, 640, 480);
        form.edtTop->setText(u"2,5"_s);
        form.chkOCR->setChecked(true);
    }
    SettingsStore store(kApp);
    EXPECT_EQ(store.valueNames(u"PrintFilesForm"_s),
              (QStringList{u"Height"_s, u"Left"_s, u"Top"_s, u"Width"_s}));
    EXPECT_EQ(store.readString(u"PrintFilesForm"_s, u"Width"_s), u"640"_s);
    // Below an unnamed panel, the key is still form\component.
    EXPECT_EQ(store.valueNames(u"PrintFilesForm\\edtTop"_s), QStringList{u"text"_s}); // Qt's name
    EXPECT_EQ(store.readString(u"PrintFilesForm\\chkOCR"_s, u"Checked"_s), u"TRUE"_s);
    EXPECT_FALSE(store.keyExists(u"PrintFilesForm\\qt_internal"_s));

    TestForm next(u"PrintFilesForm"_s,
                  withItems(items, TcsPropertySaver::alOnCreate, TcsPropertySaver::asNone));
    EXPECT_EQ(next.geometry(), QRect(50, 60, 640, 480));
    EXPECT_EQ(next.edtTop->text(), u"2,5"_s);
    EXPECT_TRUE(next.chkOCR->isChecked());
}

// The job properties dialog keeps a folder path in the caption of a hidden
// label; the text of a label or button is its Caption.
TEST_F(TcsPropertySaverTest, LabelCaptions)
{
    const auto withLabel = [](TestForm& form) {
        auto* label = new QLabel(&form);
        label->setObjectName(u"FormLibraryPath"_s);
        label->hide();
        return label;
    };
    const auto setup = withItems({u"FormLibraryPath.Caption"_s}, TcsPropertySaver::alNone,
                                 TcsPropertySaver::asNone);
    {
        TestForm form(u"JobPropertiesForm"_s, setup);
        withLabel(form)->setText(u"C:\\Blanketter"_s);
        form.saver->StoreForm();
    }
    EXPECT_EQ(SettingsStore(kApp).valueNames(u"JobPropertiesForm\\FormLibraryPath"_s),
              QStringList{u"Caption"_s});
    TestForm form(u"JobPropertiesForm"_s, setup);
    QLabel* label = withLabel(form);
    form.saver->LoadForm();
    EXPECT_EQ(label->text(), u"C:\\Blanketter"_s);
}

TEST_F(TcsPropertySaverTest, RestoredFormsAreMovedOntoTheScreen)
{
    // Screen 1024 x 768. Each row: stored bounds, then the expected ones.
    struct Case {
        const char* what;
        QRect stored;
        QRect expected;
    };
    const Case cases[] = {
        {"on the screen stays", {100, 50, 640, 480}, {100, 50, 640, 480}},
        {"negative left", {-50, 10, 640, 480}, {0, 10, 640, 480}},
        {"negative top", {10, -5, 640, 480}, {10, 0, 640, 480}},
        {"past the right edge", {600, 10, 640, 480}, {384, 10, 640, 480}},
        {"past the bottom edge", {10, 400, 640, 480}, {10, 288, 640, 480}},
        {"wider than the screen", {0, 0, 1200, 480}, {-176, 0, 1200, 480}},
    };
    const QStringList items = boundsItems(u"PrintFilePreviewForm"_s);
    for (const Case& c : cases) {
        const QRect& s = c.stored;
        storeBounds(u"PrintFilePreviewForm"_s, s.x(), s.y(), s.width(), s.height());
        TestForm form(u"PrintFilePreviewForm"_s,
                      withItems(items, TcsPropertySaver::alOnCreate, TcsPropertySaver::asNone));
        EXPECT_EQ(form.geometry(), c.expected) << c.what;
    }

    // The first run, nothing stored: the form stays where its own code put it,
    // and moving applies although nothing was restored.
    SettingsStore(kApp).deleteKey(u"PrintFilePreviewForm"_s);
    TestForm first(u"PrintFilePreviewForm"_s,
                   withItems(items, TcsPropertySaver::alOnCreate, TcsPropertySaver::asNone));
    EXPECT_EQ(first.geometry(), QRect(10, 20, 400, 300));
    first.saver->setScreenSize(QSize(300, 200));
    first.saver->LoadForm();
    EXPECT_EQ(first.geometry(), QRect(-100, -100, 400, 300));
}

TEST_F(TcsPropertySaverTest, WhenFormsAreRestored)
{
    const QStringList items = boundsItems(u"F"_s);
    struct Case {
        const char* what;
        TcsPropertySaver::TcsAutoLoad load;
        int widthAfterCreation;
        int widthAfterShow;
    };
    // The form's own code sets 400; 555 is stored. alOnLoaded restores before
    // the form's own code, which then wins.
    const Case cases[] = {
        {"alNone", TcsPropertySaver::alNone, 400, 400},
        {"alOnCreate", TcsPropertySaver::alOnCreate, 555, 555},
        {"alOnShow", TcsPropertySaver::alOnShow, 400, 555},
        {"alOnLoaded", TcsPropertySaver::alOnLoaded, 400, 400},
    };
    storeBounds(u"F"_s, 0, 0, 555, 300);
    for (const Case& c : cases) {
        TestForm form(u"F"_s, withItems(items, c.load, TcsPropertySaver::asNone));
        EXPECT_EQ(form.width(), c.widthAfterCreation) << c.what;
        form.show();
        EXPECT_EQ(form.width(), c.widthAfterShow) << c.what;
        // Only the first show restores.
        form.hide();
        form.resize(444, 300);
        form.show();
        EXPECT_EQ(form.width(), 444) << c.what;
    }
}

TEST_F(TcsPropertySaverTest, WhenFormsAreStored)
{
    const QStringList items = boundsItems(u"F"_s);
    struct Case {
        const char* what;
        TcsPropertySaver::TcsAutoSave store;
        QString afterFirstClose;
        QString afterSecondClose;
        QString afterDestruction;
    };
    const Case cases[] = {
        {"asNone", TcsPropertySaver::asNone, u"-"_s, u"-"_s, u"-"_s},
        {"asOnClose", TcsPropertySaver::asOnClose, u"601"_s, u"602"_s, u"602"_s},
        {"asOnDestroy", TcsPropertySaver::asOnDestroy, u"-"_s, u"-"_s, u"603"_s},
    };
    for (const Case& c : cases) {
        SettingsStore(kApp).deleteKey(u"F"_s);
        const auto stored = [] {
            return SettingsStore(kApp).readString(u"F"_s, u"Width"_s, u"-"_s);
        };
        {
            TestForm form(u"F"_s, withItems(items, TcsPropertySaver::alNone, c.store));
            form.show();
            form.resize(601, 300);
            form.close();
            EXPECT_EQ(stored(), c.afterFirstClose) << c.what;
            form.show();
            form.resize(602, 300);
            form.close();
            EXPECT_EQ(stored(), c.afterSecondClose) << c.what;
            form.resize(603, 300);
        }
        EXPECT_EQ(stored(), c.afterDestruction) << c.what;
    }
}

TEST_F(TcsPropertySaverTest, OnStoreComesBeforeWritingAndOnLoadedAfterReading)
{
    TestForm form(
        u"F"_s, withItems(boundsItems(u"F"_s), TcsPropertySaver::alNone, TcsPropertySaver::asNone));
    QObject::connect(form.saver, &TcsPropertySaver::OnStore, &form,
                     [&form](TcsPropertySaver* sender) {
                         EXPECT_EQ(sender, form.saver);
                         form.resize(777, 300);
                     });
    form.saver->StoreForm();
    EXPECT_EQ(SettingsStore(kApp).readString(u"F"_s, u"Width"_s), u"777"_s);

    int widthSeen = 0;
    QObject::connect(form.saver, &TcsPropertySaver::OnLoaded, &form,
                     [&](TcsPropertySaver*) { widthSeen = form.width(); });
    form.resize(100, 300);
    form.saver->LoadForm();
    EXPECT_EQ(widthSeen, 777);
}

TEST_F(TcsPropertySaverTest, RestoringFiresActionsToolButtonsAndCheckBoxes)
{
    SettingsStore(kApp).writeString(u"F\\chkOCR"_s, u"Checked"_s, u"TRUE"_s);
    struct Case {
        const char* what;
        bool autoExec;
        bool execTwice;
        int firings; // per restored property
    };
    const Case cases[] = {
        {"twice by default", true, true, 2},
        {"once", true, false, 1},
        {"off", false, true, 0},
    };
    for (const Case& c : cases) {
        TestForm form(u"F"_s, [&c](TcsPropertySaver& s) {
            s.setItems(
                {u"chkOCR.Checked"_s, u"chkOCR.Enabled"_s, u"acPrint.Text"_s, u"btnSave.Text"_s});
            s.setAutoLoad(TcsPropertySaver::alNone);
            s.setAutoStore(TcsPropertySaver::asNone);
            s.setAutoExec(c.autoExec);
            s.setExecTwice(c.execTwice);
        });
        auto* button = new QPushButton(&form);
        button->setObjectName(u"btnSave"_s);
        int checkClicks = 0;
        int actionRuns = 0;
        int buttonClicks = 0;
        QObject::connect(form.chkOCR, &QCheckBox::clicked, [&](bool checked) {
            EXPECT_TRUE(checked);
            ++checkClicks;
            throw Exception(u"a handler's failure"_s); // swallowed
        });
        QObject::connect(form.acPrint, &QAction::triggered, [&] { ++actionRuns; });
        QObject::connect(button, &QPushButton::clicked, [&] { ++buttonClicks; });
        form.saver->LoadForm();
        EXPECT_TRUE(form.chkOCR->isChecked()) << c.what;
        EXPECT_EQ(checkClicks, 2 * c.firings) << c.what; // two selected properties
        EXPECT_EQ(actionRuns, c.firings) << c.what;
        EXPECT_EQ(buttonClicks, 0) << c.what; // push buttons are not fired
    }
}

namespace {

class Parameters : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FontName MEMBER fontName)
    Q_PROPERTY(int Size MEMBER size)
public:
    QString fontName = u"Courier"_s;
    int size = 10;
};

} // namespace

TEST_F(TcsPropertySaverTest, ObjectOperations)
{
    TcsPropertySaver saver;
    saver.setAppCompany(u"QUORVIK"_s);
    saver.setAppFamily(u"GUI"_s);
    saver.setAppName(u"Lystra"_s);
    Parameters params;
    params.fontName = u"Liberation Mono"_s;
    params.size = 12;

    saver.StoreObject(&params, u"   "_s); // blank key: the class name
    SettingsStore store(kApp);
    EXPECT_EQ(store.valueNames(u"Parameters"_s), (QStringList{u"FontName"_s, u"Size"_s}));

    Parameters loaded;
    saver.LoadObject(&loaded, QString());
    EXPECT_EQ(loaded.fontName, u"Liberation Mono"_s);
    EXPECT_EQ(loaded.size, 12);
    saver.LoadObject(nullptr, u"Parameters"_s); // nothing happens

    // Values of other names do not count as stored values of the object.
    store.writeString(u"Other"_s, u"Colour"_s, u"clRed"_s);
    store.sync();
    EXPECT_TRUE(saver.HasStoredValues(&params, u"Parameters"_s));
    EXPECT_FALSE(saver.HasStoredValues(&params, u"Other"_s));
    EXPECT_FALSE(saver.HasStoredValues(&params, u"Missing"_s));
    EXPECT_FALSE(saver.HasStoredValues(nullptr, u"Parameters"_s));

    // Subkeys: listed; they keep a key from deletion only when asked to.
    saver.StoreObject(&params, u"Parameters\\Sub"_s);
    QStringList list{u"unchanged"_s};
    saver.ListSubKeys(&params, u"Missing"_s, false, list);
    EXPECT_EQ(list, QStringList{u"unchanged"_s});
    saver.ListSubKeys(&params, u"parameters"_s, false, list);
    EXPECT_EQ(list, QStringList{u"Sub"_s});
    saver.DeleteObjectKey(&params, u"Parameters"_s, false, true);
    EXPECT_TRUE(SettingsStore(kApp).keyExists(u"Parameters"_s));
    saver.DeleteObjectKey(&params, u"Parameters"_s, false, false);
    EXPECT_FALSE(SettingsStore(kApp).keyExists(u"Parameters"_s));
    // A key of separators alone would be everything; nothing is deleted.
    saver.DeleteObjectKey(&params, u"\\"_s, false, false);
    EXPECT_TRUE(SettingsStore(kApp).keyExists(u"Other"_s));

    // Text that does not convert reaches the caller; the storage is closed
    // again, so the next operation works.
    SettingsStore(kApp).writeString(u"Bad"_s, u"Size"_s, u"twelve"_s);
    EXPECT_THROW(saver.LoadObject(&loaded, u"Bad"_s), EConvertError);
    saver.StoreObject(&params, u"Bad"_s);
    EXPECT_EQ(SettingsStore(kApp).readString(u"Bad"_s, u"Size"_s), u"12"_s);
}

namespace {

// Values whose text form does not give them back exactly.
class Inexact : public QObject {
    Q_OBJECT
    Q_PROPERTY(double Offset MEMBER offset)
    Q_PROPERTY(QByteArray HostText MEMBER hostText)
public:
    double offset = 0.1 + 0.2;
    QByteArray hostText = QByteArrayLiteral("\x81\x8d");
};

} // namespace

TEST_F(TcsPropertySaverTest, NothingStoredLeavesValuesExactlyAsTheyAre)
{
    for (const auto storage : {TcsPropertySaver::stRegistry, TcsPropertySaver::stIniFile}) {
        TcsPropertySaver saver;
        saver.setAppName(u"Inexact"_s);
        saver.setStorage(storage);
        Inexact object;
        saver.LoadObject(&object, u"Missing"_s);
        EXPECT_EQ(object.offset, 0.1 + 0.2) << storage;
        EXPECT_EQ(object.hostText, QByteArrayLiteral("\x81\x8d")) << storage;
        EXPECT_FALSE(QFile::exists(saver.IniFileName())); // reading writes nothing
    }
}

TEST_F(TcsPropertySaverTest, ObjectKeysBelowTheFormKey)
{
    TestForm form(u"PrintFilePreviewForm"_s);
    Parameters params;
    form.saver->StoreObject(&params, u"UserProperties"_s, true);
    EXPECT_TRUE(
        SettingsStore(kApp).valueExists(u"PrintFilePreviewForm\\UserProperties"_s, u"FontName"_s));
    EXPECT_TRUE(form.saver->HasStoredValues(&params, u"UserProperties"_s, true));
    EXPECT_FALSE(form.saver->HasStoredValues(&params, u"UserProperties"_s, false));
}

TEST_F(TcsPropertySaverTest, IniFileStorage)
{
    TcsPropertySaver saver;
    saver.setAppName(u"a:b"_s);
    EXPECT_EQ(saver.AppName(), u"a:b"_s); // registry storage keeps the name
    saver.setStorage(TcsPropertySaver::stIniFile);
    EXPECT_EQ(saver.AppName(), u"a_b"_s);
    saver.setAppName(u"x\"*/:<>?\\|y"_s);
    EXPECT_EQ(saver.AppName(), u"x_________y"_s);
    saver.setAppName(u"a:b"_s);
    saver.setStorage(TcsPropertySaver::stRegistry);
    EXPECT_EQ(saver.AppName(), u"a_b"_s); // not restored
    saver.setStorage(TcsPropertySaver::stIniFile);

    const QString file = QDir(QCoreApplication::applicationDirPath()).filePath(u"a_b.ini"_s);
    EXPECT_EQ(saver.IniFileName(), file);
    QFile::remove(file);
    struct Cleanup {
        QString file;
        ~Cleanup() { QFile::remove(file); }
    } cleanup{file};

    Parameters params;
    params.size = 14;
    saver.StoreObject(&params, u"Params"_s);
    ASSERT_TRUE(QFile::exists(file));
    Parameters loaded;
    saver.LoadObject(&loaded, u"params"_s);
    EXPECT_EQ(loaded.size, 14);
    // The INI file knows no keys of keys.
    EXPECT_FALSE(saver.HasStoredValues(&params, u"Params"_s));
    QStringList list{u"unchanged"_s};
    saver.ListSubKeys(&params, u"Params"_s, false, list);
    EXPECT_EQ(list, QStringList{u"unchanged"_s});
    saver.DeleteObjectKey(&params, u"Params"_s, false, false);
    Parameters again;
    saver.LoadObject(&again, u"Params"_s);
    EXPECT_EQ(again.size, 14);
}

TEST_F(TcsPropertySaverTest, BlankNamesAreFilledInWhenStorageOpens)
{
    TcsPropertySaver saver;
    EXPECT_EQ(saver.AppCompany(), u"Company Name"_s);
    saver.setAppFamily(QString(300, u'x')); // names are short strings
    EXPECT_EQ(saver.AppFamily(), QString(255, u'x'));
    saver.setAppCompany(u" "_s);
    saver.setAppFamily(QString());
    saver.setAppName(u"  "_s);
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    EXPECT_EQ(saver.RegistryPath(), u"Software\\Company Name\\Product Family\\"_s + program);

    Parameters params;
    saver.StoreObject(&params, u"P"_s);
    EXPECT_EQ(saver.AppName(), program);
    EXPECT_EQ(saver.AppCompany(), u"Company Name"_s);
    EXPECT_TRUE(SettingsStore(saver.RegistryPath()).keyExists(u"P"_s));
}

#include "tcspropertysaver_test.moc"
