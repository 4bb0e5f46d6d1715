#include "RunTimeError.h"
#include "SettingsStore.h"
#include "TestFolder.h"

#include <QFile>
#include <QSettings>
#include <QTest>
#include <unistd.h>

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void absentValuesGiveTheDefault()
    {
        TestFolder folder;
        SettingsStore store(folder.settingsFolder());
        QCOMPARE(store.read("Kestrani", "Orvo Peln Tandrick", "Volume", "50"), QString("50"));
        store.save("Kestrani", "Other Section", "Volume", "7");
        QCOMPARE(store.read("Kestrani", "Orvo Peln Tandrick", "Volume", "50"), QString("50"));
        QCOMPARE(store.read("Other", "Orvo Peln Tandrick", "Volume", "1"), QString("1"));
    }

    void savedStringsComeBackExactly()
    {
        TestFolder folder;
        SettingsStore store(folder.settingsFolder());
        for (const QString value : {"0", "-1", "80", " 3 ", "abc", "", "a=b;c\\d[e]"}) {
            saveSetting(store, SettingKeys::Combo1, value);
            QCOMPARE(readSetting(store, SettingKeys::Combo1, "0"), value);
        }
        // The three keys are independent and live in the program's own section.
        saveSetting(store, SettingKeys::Volume, "80");
        saveSetting(store, SettingKeys::Pitch, "2");
        QCOMPARE(store.read("Kestrani", "Orvo Peln Tandrick", "Volume", "50"), QString("80"));
        QCOMPARE(store.read("Kestrani", "Orvo Peln Tandrick", "Pitch", "1"), QString("2"));
    }

    void everySaveIsOnDiskAtOnce()
    {
        TestFolder folder;
        SettingsStore store(folder.settingsFolder());
        saveSetting(store, SettingKeys::Volume, "80");
        const QString file = store.locationOf("Kestrani");
        QVERIFY(file.startsWith(folder.settingsFolder()));
        // Another reader of the file sees the value without any flush from us.
        QSettings other(file, QSettings::IniFormat);
        QCOMPARE(other.value("Orvo Peln Tandrick/Volume").toString(), QString("80"));
        // And so does a second store, as the next start of the program would.
        QCOMPARE(readSetting(SettingsStore(folder.settingsFolder()), SettingKeys::Volume, "50"),
                 QString("80"));
    }

    void aSaveThatCannotBeWrittenRaises()
    {
        TestFolder folder;
        // A settings folder that is really a file cannot hold the settings file, even for root.
        const QString blocked = folder.path() + "/blocked";
        QFile(blocked).open(QIODevice::WriteOnly);
        SettingsStore store(blocked);
        try {
            saveSetting(store, SettingKeys::Volume, "80");
            QFAIL("the save was reported as done");
        } catch (const RunTimeError& e) {
            QVERIFY(e.description().contains("Volume"));
            QVERIFY(e.description().contains(blocked));
        }
    }

    void aReadOnlyFolderRaises()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        TestFolder folder;
        QFile::setPermissions(folder.settingsFolder(), QFile::ReadOwner | QFile::ExeOwner);
        SettingsStore store(folder.settingsFolder());
        QVERIFY_THROWS_EXCEPTION(RunTimeError, saveSetting(store, SettingKeys::Pitch, "2"));
        QFile::setPermissions(folder.settingsFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settingsstore.moc"
