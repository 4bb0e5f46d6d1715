#include "FileList.h"
#include "FileProbes.h"
#include "NativeName.h"
#include "SpecialFile.h"
#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList namesOf(const NameList& list)
{
    QStringList names;
    for (int i = 1; i <= list.upper; ++i)
        names << list.at(i);
    return names;
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT
private slots:
    void entryText_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("entry");
        QTest::newRow("plain") << "Deep Bass.mp3"
                               << "Deep Bass";
        QTest::newRow("other case") << "Kick.MP3"
                                    << "Kick.MP3";
        QTest::newRow("twice") << "a.mp3.mp3"
                               << "a";
        QTest::newRow("inside") << "intro.mp3 loop.mp3"
                                << "intro loop";
        QTest::newRow("one pass only") << "x.mp.mp33"
                                       << "x.mp3";
        QTest::newRow("other type") << "readme.txt"
                                    << "readme.txt";
        QTest::newRow("nothing left") << ".mp3"
                                      << "";
    }
    void entryText()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, entry);
        QCOMPARE(::entryText(fileName), entry);
    }

    void listsFilesOnlyInAStableOrder()
    {
        TestFolder folder;
        folder.addSounds(
            {"Sweep.mp3", "sub Bass.mp3", "Sub Bass.mp3", "alpha", ".hidden.mp3", "B.txt"});
        QDir(folder.sounds()).mkdir("Subfolder");
        QDir(folder.sounds()).mkdir("folder.mp3");
        const NameList list = GetFileList(folder.sounds(), "*.*");
        QCOMPARE(list.lower, 1);
        // Case-insensitive by name, ties by exact bytes; hidden files too; never a folder.
        QCOMPARE(namesOf(list), QStringList({".hidden.mp3", "alpha", "B.txt", "Sub Bass.mp3",
                                             "sub Bass.mp3", "Sweep.mp3"}));
        // A trailing separator is not doubled.
        QCOMPARE(namesOf(GetFileList(folder.sounds() + "/", "*.*")), namesOf(list));
    }

    void skipsWhatCannotBeOpenedWithoutHanging()
    {
        TestFolder folder;
        folder.addSounds({"Tone.mp3"});
        const QByteArray dir = QFile::encodeName(folder.sounds());
        const SpecialFile pipe(SpecialFile::Kind::Pipe, folder.sounds() + "/pipe.mp3");
        const SpecialFile socket(SpecialFile::Kind::Socket, folder.sounds() + "/socket.mp3");
        QVERIFY(pipe.made() && socket.made());
        QCOMPARE(::symlink("/nonexistent/target", (dir + "/dangling.mp3").constData()), 0);
        QCOMPARE(::symlink((dir + "/Tone.mp3").constData(), (dir + "/Link.mp3").constData()), 0);
        QCOMPARE(namesOf(GetFileList(folder.sounds(), "*.*")),
                 QStringList({"Link.mp3", "Tone.mp3"}));

        QVERIFY(FileIsPresent(folder.sounds() + "/Tone.mp3"));
        QVERIFY(!FileIsPresent(folder.sounds() + "/pipe.mp3"));
        QVERIFY(!FileIsPresent(folder.sounds()));
        QVERIFY(!FileIsPresent(folder.sounds() + "/missing.mp3"));
        QVERIFY(!FileIsPresent("/dev/null"));
    }

    void noFilesGiveTheEmptyList()
    {
        TestFolder folder;
        QDir().mkpath(folder.sounds());
        for (const QString& path : {folder.sounds(), folder.programFolder() + "/missing"}) {
            const NameList list = GetFileList(path, "*.*");
            QCOMPARE(list.lower, 0);
            QCOMPARE(list.upper, 0);
            QCOMPARE(list.names, QStringList{QString()});
        }
    }

    void growsPastItsFirstCapacity_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("exactly 100") << 100;
        QTest::newRow("101") << 101;
        QTest::newRow("151") << 151;
    }
    void growsPastItsFirstCapacity()
    {
        QFETCH(int, count);
        TestFolder folder;
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QString("Test %1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        folder.addSounds(names);
        const NameList list = GetFileList(folder.sounds(), "*.*");
        QCOMPARE(list.upper, count);
        QCOMPARE(namesOf(list), names);
    }

    void namesThatAreNotUtf8KeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("Sub Bass.mp3") << "Sub Bass.mp3";
        QTest::newRow("utf-8") << QByteArray("Caf\xc3\xa9 \xf0\x9f\x94\x8a.mp3")
                               << QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x94\x8a.mp3");
        QTest::newRow("latin-1") << QByteArray("Caf\xe9.mp3")
                                 << QString("Caf") + QChar(0xDCE9) + ".mp3";
        QTest::newRow("overlong") << QByteArray("\xc0\xaf")
                                  << QString(QChar(0xDCC0)) + QChar(0xDCAF);
        QTest::newRow("cut short")
            << QByteArray("a\xe2\x82") << QString("a") + QChar(0xDCE2) + QChar(0xDC82);
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xa0\x80") << QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80);
    }
    void namesThatAreNotUtf8KeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(decodeFileName(bytes), shown);
        QCOMPARE(encodeFileName(shown), bytes);

        TestFolder folder;
        QDir().mkpath(folder.sounds());
        const QByteArray path = QFile::encodeName(folder.sounds()) + '/' + bytes;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const NameList list = GetFileList(folder.sounds(), "*.*");
        QCOMPARE(namesOf(list), QStringList{shown});
        QVERIFY(FileIsPresent(folder.sounds() + '/' + shown));
        QCOMPARE(visibleRegularFileName(folder.sounds() + '/' + shown), shown);
    }

    void anyBytesSurviveTheRoundTrip()
    {
        QRandomGenerator random(11);
        for (int i = 0; i < 2000; ++i) {
            QByteArray bytes(int(random.bounded(1, 40)), '\0');
            for (char& b : bytes)
                b = char(random.bounded(1, 256));
            QCOMPARE(encodeFileName(decodeFileName(bytes)), bytes);
        }
    }

    void ordinaryFileMeansRegularAndNotHidden()
    {
        TestFolder folder;
        folder.addSounds({"Tone.mp3", ".Hidden.mp3"});
        QCOMPARE(visibleRegularFileName(folder.sounds() + "/Tone.mp3"), QString("Tone.mp3"));
        QCOMPARE(visibleRegularFileName(folder.sounds() + "/.Hidden.mp3"), QString());
        QCOMPARE(visibleRegularFileName(folder.sounds()), QString());
        QCOMPARE(visibleRegularFileName(folder.sounds() + "/missing.mp3"), QString());
    }
};

QTEST_GUILESS_MAIN(TestFileList)
#include "test_filelist.moc"
