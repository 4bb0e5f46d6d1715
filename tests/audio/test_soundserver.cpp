#include "Audio.h"
#include "MonitorRecorder.h"
#include "SoundEngine.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The sound server goes away while a test plays, and comes back. Restarts the private server
// of the test run (same runtime folder, so the same address) through the rig that started it.
class TestSoundServer : public QObject {
    Q_OBJECT
private slots:
    void theNextPressAfterTheServerReturnsPlays()
    {
        if (!MonitorRecorder::available())
            QFAIL("no private sound server: run through scripts/test.sh");
        QTemporaryDir dir;
        const QString tone = makeTone(TONEGEN, dir.filePath("tone.mp3"),
                                      {"sine", "--frequency", "100", "--seconds", "5"});
        QVERIFY(!tone.isEmpty());

        SoundEngine engine;
        engine.setVolume(100);
        QTest::qWait(300);
        engine.play(tone);
        QTest::qWait(400);
        QVERIFY(engine.isPlaying());

        QCOMPARE(
            QProcess::execute("sh", {"-c", "$OPT_SOUND_RIG kill \"$XDG_RUNTIME_DIR\"; sleep 0.5"}),
            0);
        QTest::qWait(300);
        QVERIFY(!engine.isPlaying());
        engine.play(tone); // nothing to play on: silence, no crash
        QTest::qWait(300);
        QVERIFY(!engine.isPlaying());

        QCOMPARE(QProcess::execute("sh",
                                   {"-c", "$OPT_SOUND_RIG revive \"$XDG_RUNTIME_DIR\" >/dev/null"}),
                 0);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(tone);
        recorder.wait(1000);
        QVERIFY(engine.isPlaying());
        for (int waited = 0; waited < 3000 && peakDb(recorder.left) < -20; waited += 100)
            recorder.wait(100);
        QVERIFY2(peakDb(recorder.left) > -20, "nothing was heard after the server came back");
    }

    // A server that takes the connection and never answers: the press gives up, and the end
    // of the process is not held up by it.
    void aServerThatNeverAnswersDoesNotHoldTheExit()
    {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("native").toUtf8();
        const int mute = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        QVERIFY(bind(mute, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(listen(mute, 4) == 0);
        const QByteArray real = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + path);
        const QString tone = makeTone(TONEGEN, dir.filePath("tone.mp3"),
                                      {"sine", "--frequency", "100", "--seconds", "1"});
        QVERIFY(!tone.isEmpty());
        SoundEngine engine;
        engine.play(tone);
        // The file is open and the press waits on the connection.
        QTest::qWait(300);
        QVERIFY(engine.isPlaying());
        QElapsedTimer took;
        took.start();
        engine.finish();
        // Not the 2 s the press gives the server: the exit fade's wait at most.
        QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
        // The press gives up at its deadline.
        QTest::qWait(2200);
        QVERIFY(!engine.isPlaying());
        qputenv("PULSE_SERVER", real);
        ::close(mute);
    }
};

QTEST_GUILESS_MAIN(TestSoundServer)
#include "test_soundserver.moc"
