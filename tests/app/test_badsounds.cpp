#include "Audio.h"
#include "Form1.h"
#include "FormEvents.h"
#include "FormLoad.h"
#include "MonitorRecorder.h"
#include "SoundEngine.h"
#include "SpecialFile.h"
#include "TestServices.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

namespace {

QByteArray packSound()
{
    QFile f(PACK_DIR "/03 Sine 50 Hz.mp3");
    f.open(QIODevice::ReadOnly);
    return f.read(400000);
}

} // namespace

class TestBadSounds : public QObject {
    Q_OBJECT
private slots:
    void theStartFinishesAndOnlyPlayableFilesPlay()
    {
        if (!MonitorRecorder::available())
            QFAIL("no private sound server: run through scripts/test.sh");
        TestServices t;
        const QString dir = t.folder.sounds();
        QDir().mkpath(dir);
        const QByteArray good = packSound();
        t.folder.write("sounds/Good.mp3", good);
        t.folder.write("sounds/Empty.mp3", QByteArray());
        t.folder.write("sounds/Truncated.mp3", good.left(4000));
        QByteArray noise(20000, '\0');
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        t.folder.write("sounds/Garbage.mp3", noise);
        QVERIFY(writeSound(dir + "/Wave.mp3", 44100, {sine(100, 1, 0.3, 44100)},
                           SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        const QString odd = "It's \"odd\" 100% \nname";
        t.folder.write("sounds/" + odd + ".mp3", good);
        const QString longest = QString(251, 'L');
        // A Latin-1 name, not valid UTF-8.
        {
            const QByteArray path = QFile::encodeName(dir) + "/Caf\xe9.mp3";
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0 &&
                    ::write(fd, good.constData(), std::size_t(good.size())) == good.size());
            ::close(fd);
        }
        const QString cafe = QString("Caf") + QChar(0xDCE9);
        t.folder.write("sounds/" + longest + ".mp3", good);
        const QByteArray native = QFile::encodeName(dir);
        const SpecialFile pipe(SpecialFile::Kind::Pipe, dir + "/Pipe.mp3");
        const SpecialFile folder(SpecialFile::Kind::Folder, dir + "/Folder.mp3");
        const SpecialFile device(SpecialFile::Kind::DeviceLink, dir + "/Device.mp3");
        QVERIFY(pipe.made() && folder.made() && device.made());
        QCOMPARE(::symlink("/nonexistent", (native + "/Dangling.mp3").constData()), 0);

        SoundEngine engine;
        Form1 form(engine, t.folder.programFolder());
        connectFormEvents(form, t.services);
        Form_Load(form, t.services);
        QCOMPARE(t.report.texts, QStringList());

        QStringList entries;
        for (int i = 0; i < form.Combo1->count(); ++i)
            entries << form.Combo1->itemText(i);
        QCOMPARE(entries, QStringList({cafe, "Empty", "Garbage", "Good", odd, longest, "Truncated",
                                       "Wave"}));

        const QStringList playable{cafe, "Good", odd, longest, "Wave"};
        for (int i = 0; i < entries.size(); ++i) {
            form.Combo1->setListIndex(i);
            form.PushButton1->click();
            QCOMPARE(form.PushButton1->text(), QString("Stop"));
            QTest::qWait(150);
            QVERIFY2(engine.isPlaying() == playable.contains(entries[i]) ||
                         entries[i] == "Truncated",
                     qPrintable(entries[i]));
            form.PushButton1->click();
            QCOMPARE(form.PushButton1->text(), QString("Play Test"));
        }
        QCOMPARE(t.report.texts, QStringList());
    }

    void aHundredThousandTestsAllShowUp()
    {
        TestServices t;
        QDir().mkpath(t.folder.sounds());
        const QByteArray dir = QFile::encodeName(t.folder.sounds());
        for (int i = 0; i < 100000; ++i) {
            const QByteArray name =
                dir + "/Test " + QByteArray::number(i).rightJustified(6, '0') + ".mp3";
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        Form1 form(t.engine, t.folder.programFolder());
        connectFormEvents(form, t.services);
        Form_Load(form, t.services);
        QCOMPARE(t.report.texts, QStringList());
        QCOMPARE(form.Combo1->count(), 100000);
        QCOMPARE(form.Combo1->itemText(99999), QString("Test 099999"));
        QCOMPARE(form.Combo1->listIndex(), 0);
    }
};

QTEST_MAIN(TestBadSounds)
#include "test_badsounds.moc"
