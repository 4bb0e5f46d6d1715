#include "AppTitle.h"
#include "BuildSettings.h"
#include "Form1.h"
#include "FormEvents.h"
#include "FormLoad.h"
#include "PlayerControl.h"
#include "SkinFramework.h"
#include "SpecialFile.h"
#include "TestServices.h"
#include "WiredWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QTest>

namespace {

const QStringList kThreeTests{"Sub Bass.mp3", "Sweep.mp3", "Noise.mp3"};

// Starts a window as the program does, after the given preparation of folder and store.
struct Started : WiredWindow {
    explicit Started(TestServices& t) : WiredWindow(t) { Form_Load(form, t.services); }
};

void store(TestServices& t, const char* key, const QString& value)
{
    saveSetting(t.settings, key, value);
}

} // namespace

class TestFormLoad : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithThreeTests()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        Started s(t);
        QCOMPARE(t.report.texts, QStringList());
        QCOMPARE(s.entries(), QStringList({"Noise", "Sub Bass", "Sweep"}));
        QCOMPARE(s.form.Combo1->listIndex(), 0);
        QCOMPARE(s.form.Combo1->currentText(), QString("Noise"));
        QCOMPARE(s.form.Slider1->value(), 50);
        QCOMPARE(s.form.Slider2->value(), 1);
        QCOMPARE(t.engine.volume, 50);
        QCOMPARE(t.engine.rate, 1.0);
        QCOMPARE(s.form.windowTitle(), QString("Orvo Peln Tandrick"));
        QCOMPARE(applicationTitle(), QString("Orvo Peln"));
        QCOMPARE(s.form.windowIcon().availableSizes().size(), 4);
        // Restoring the selection and the pitch writes them back as changes.
        QCOMPARE(t.stored("Combo1"), QString("0"));
        QCOMPARE(t.stored("Pitch"), QString("1"));
        QVERIFY(t.browser.opened.isEmpty());
        QCOMPARE(t.random.seeds.size(), 1);
        QVERIFY(t.random.seeds[0] < 86400);
    }

    void noTestsGiveOneReportForLine138()
    {
        for (bool folderExists : {true, false}) {
            TestServices t;
            if (folderExists)
                t.folder.addSounds({});
            Started s(t);
            QCOMPARE(t.report.places(), QStringList{"Form_Load 138"});
            QCOMPARE(
                t.report.texts[0],
                QString("Invalid property value\r\nin Thrumbox2021/08/31.Form1.Form_Load at line "
                        "138\r\rPlease email screenshot of this message to " SUPPORT_ADDRESS));
            QCOMPARE(s.form.Combo1->count(), 0);
            QCOMPARE(s.form.Slider2->value(), 1);
            QCOMPARE(t.engine.rate, 1.0);
        }
    }

    void storedSelection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("tests");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("none chosen") << "-1" << 3 << -1 << QStringList();
        QTest::newRow("third") << "2" << 3 << 2 << QStringList();
        QTest::newRow("past the end") << "5" << 3 << -1 << QStringList{"Form_Load 138"};
        QTest::newRow("not a number") << "abc" << 3 << -1 << QStringList{"Form_Load 138"};
        QTest::newRow("none chosen, no tests") << "-1" << 0 << -1 << QStringList();
        QTest::newRow("beyond 16 bits") << "40000" << 3 << -1 << QStringList{"Form_Load 138"};
    }
    void storedSelection()
    {
        QFETCH(QString, stored);
        QFETCH(int, tests);
        QFETCH(int, selected);
        QFETCH(QStringList, reports);
        TestServices t;
        t.folder.addSounds(kThreeTests.mid(0, tests));
        store(t, SettingKeys::Combo1, stored);
        Started s(t);
        QCOMPARE(s.form.Combo1->listIndex(), selected);
        QCOMPARE(t.report.places(), reports);
    }

    // More tests than 16 bits count: the entry the user chooses with the keyboard is the one
    // the next start chooses.
    void aChoicePast32767IsKeptAcrossStarts()
    {
        TestServices t;
        QStringList names;
        for (int i = 0; i <= 70000; ++i)
            names << QString("%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
        t.folder.addSounds(names);
        {
            Started s(t);
            QCOMPARE(s.form.Combo1->count(), 70001);
            QTest::keyClick(s.form.Combo1, Qt::Key_End);
            QCOMPARE(s.form.Combo1->listIndex(), 70000);
        }
        QCOMPARE(t.stored("Combo1"), QString("70000"));
        Started again(t);
        QCOMPARE(again.form.Combo1->currentText(), QString("70000"));
        QCOMPARE(t.report.texts, QStringList());
    }

    void storedSliders_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<int>("slider1");
        QTest::addColumn<int>("slider2");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("half down to even") << "74.5"
                                           << "1" << 74 << 1 << QStringList();
        QTest::newRow("half up to even") << "75.5"
                                         << "2" << 76 << 2 << QStringList();
        QTest::newRow("volume not a number") << "abc"
                                             << "1" << 50 << 1 << QStringList{"Form_Load 140"};
        QTest::newRow("pitch beyond 50") << "80"
                                         << "51" << 80 << 50 << QStringList{"Form_Load 142"};
        QTest::newRow("both refused")
            << "101"
            << "0" << 50 << 50 << QStringList{"Form_Load 140", "Form_Load 142"};
    }
    void storedSliders()
    {
        QFETCH(QString, volume);
        QFETCH(QString, pitch);
        QFETCH(int, slider1);
        QFETCH(int, slider2);
        QFETCH(QStringList, reports);
        TestServices t;
        t.folder.addSounds(kThreeTests);
        store(t, SettingKeys::Volume, volume);
        store(t, SettingKeys::Pitch, pitch);
        Started s(t);
        QCOMPARE(s.form.Slider1->value(), slider1);
        QCOMPARE(s.form.Slider2->value(), slider2);
        // The player gets what the sliders hold, restored or design values.
        QCOMPARE(t.engine.volume, slider1);
        QCOMPARE(t.engine.rate, double(slider2));
        QCOMPARE(t.report.places(), reports);
    }

    void aDrawOfSevenOpensTheHomePageOnce()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        t.random.value = 0.065; // 100 * 0.065 + 1 = 7
        Started s(t);
        QCOMPARE(t.browser.opened, QStringList{HOME_PAGE});
        QVERIFY(t.report.texts.isEmpty());

        TestServices failing;
        failing.folder.addSounds(kThreeTests);
        failing.random.value = 0.069;
        failing.browser.fail = true;
        Started s2(failing);
        QCOMPARE(failing.report.places(), QStringList{"Form_Load 110"});
        QCOMPARE(s2.form.windowTitle(), QString("Orvo Peln Tandrick"));
    }

    void appTitle_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("three words") << "Orvo Peln Tandrick"
                                     << "Orvo Peln";
        QTest::newRow("two words") << "Orvo Peln"
                                   << "Orvo";
        QTest::newRow("long") << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Eeeee Fff"
                              << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc";
        QTest::newRow("41 before the last space")
            << QString(41, 'a').replace(20, 1, " ") + " tail" << QString(20, 'a');
        QTest::newRow("no space") << "Orvo"
                                  << "";
        QTest::newRow("leading space only") << " Orvo"
                                            << "";
    }
    void appTitle()
    {
        QFETCH(QString, product);
        QFETCH(QString, title);
        if (product == "Orvo") {
            SetAppTitle("Before Title");
            QVERIFY_THROWS_EXCEPTION(RunTimeError, SetAppTitle(product));
            QCOMPARE(applicationTitle(), QString("Before"));
            return;
        }
        QCOMPARE(appTitleFrom(product), title);
        QVERIFY(appTitleFrom(product).size() <= 40);
    }

    void cursorAndSkinFilesAreOptional()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        Started s(t);
        QVERIFY(t.report.texts.isEmpty());
        QVERIFY(!s.form.mouseIcon());
        QCOMPARE(s.form.backColor(), 0x00FFFFFFu);
        QVERIFY(!s.form.SkinFramework1->isLoaded());
    }

    void defaultCursorAndSkinAreTaken()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        QVERIFY(QFile::copy(PROGRAM_DIR "/HAND-M.CUR", t.folder.programFolder() + "/.HAND-M.CUR"));
        QVERIFY(QFile::rename(t.folder.programFolder() + "/.HAND-M.CUR",
                              t.folder.programFolder() + "/HAND-M.CUR"));
        t.folder.write("x/o.cjs", [] {
            QFile f(PROGRAM_DIR "/x/o.cjs");
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }());
        Started s(t);
        QVERIFY(t.report.texts.isEmpty());
        QVERIFY(s.form.mouseIcon());
        QCOMPARE(s.form.mouseIcon()->hotSpot(), QPoint(5, 0));
        QCOMPARE(s.form.backColor(), 0x8000000Fu);
        QCOMPARE(s.form.Frame2->backColor(), 0x8000000Fu);
        QCOMPARE(s.form.Frame3->backColor(), 0x8000000Fu);
        QCOMPARE(s.form.Label2->backColor(), 0x8000000Fu);
        QVERIFY(s.form.styleSheet().contains("QPushButton#PushButton1"));
    }

    void badCursorAndSkinAreReportedAndSkipped()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        t.folder.write("HAND-M.CUR", "not a cursor at all");
        t.folder.write("x/o.cjs", "QWidget { color: red; }");
        Started s(t);
        QCOMPARE(t.report.places(), QStringList({"Form_Load 104", "Form_Load 108"}));
        QVERIFY(t.report.texts[1].startsWith("Invalid picture\r\n"));
        // The colours changed before the skin was refused stay.
        QCOMPARE(s.form.backColor(), 0x8000000Fu);
        QVERIFY(!s.form.mouseIcon());
        QCOMPARE(s.form.windowTitle(), QString("Orvo Peln Tandrick"));
        QCOMPARE(s.form.Combo1->listIndex(), 0);
    }

    // What a crashed writer can leave: NULs and a junk line before the sections.
    void junkInTheSettingsFileKeepsEveryReadableValue()
    {
        TestServices t;
        t.folder.addSounds(kThreeTests);
        const QString path = t.settings.locationOf(SettingKeys::Application);
        static const char junk[] = "\0\0\0junk line\n[Other%20Program]\nColour=blue\n"
                                   "[Orvo%20Peln%20Tandrick]\nCombo1=1\nVolume=80\nPitch=3\n"
                                   "Extra=kept\n";
        QFile junkFile(path);
        QVERIFY(junkFile.open(QIODevice::WriteOnly));
        junkFile.write(junk, sizeof junk - 1);
        junkFile.close();
        Started s(t);
        QVERIFY(t.report.texts.isEmpty());
        QCOMPARE(s.form.Combo1->listIndex(), 1);
        QCOMPARE(s.form.Slider1->value(), 80);
        QCOMPARE(s.form.Slider2->value(), 3);
        s.form.Slider1->setValue(90);

        QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.value("Orvo Peln Tandrick/Volume").toString(), QString("90"));
        QCOMPARE(file.value("Orvo Peln Tandrick/Pitch").toString(), QString("3"));
        QCOMPARE(file.value("Orvo Peln Tandrick/Extra").toString(), QString("kept"));
        QCOMPARE(file.value("Other Program/Colour").toString(), QString("blue"));
        QVERIFY(!QFile::exists(path + ".unreadable"));
    }

    // A cursor name that is no regular file is refused at once, unread, as for garbage.
    void aCursorThatIsNoFileIsRefusedAtLine108_data()
    {
        QTest::addColumn<SpecialFile::Kind>("kind");
        QTest::newRow("pipe") << SpecialFile::Kind::Pipe;
        QTest::newRow("link to a device") << SpecialFile::Kind::DeviceLink;
        QTest::newRow("folder") << SpecialFile::Kind::Folder;
        QTest::newRow("socket") << SpecialFile::Kind::Socket;
    }
    void aCursorThatIsNoFileIsRefusedAtLine108()
    {
        QFETCH(SpecialFile::Kind, kind);
        TestServices t;
        t.folder.addSounds(kThreeTests);
        const SpecialFile cursor(kind, t.folder.programFolder() + "/HAND-M.CUR");
        QVERIFY(cursor.made());
        Started s(t);
        QCOMPARE(t.report.places(), QStringList{"Form_Load 108"});
        QVERIFY(t.report.texts[0].startsWith("Invalid picture\r\n"));
        QVERIFY(!s.form.mouseIcon());
        QCOMPARE(s.form.Combo1->count(), 3);
    }
};

QTEST_MAIN(TestFormLoad)
#include "test_formload.moc"
