#include "TestServices.h"
#include "app/FormEvents.h"
#include "player/MediaPlayer.h"
#include "player/TestPlayer.h"
#include "ui/Form1.h"

#include <QFile>
#include <QTest>

namespace {

// A window with three tests in its list, wired to its handlers.
struct Window {
    explicit Window(TestServices& t) : form(t.engine, t.folder.programFolder())
    {
        t.folder.addSounds({"Sub Bass.mp3", "Sweep.mp3", "Noise.mp3"});
        connectFormEvents(form, t.services);
        for (const char* entry : {"Sub Bass", "Sweep", "Noise"})
            form.Combo1->addEntry(entry);
    }
    void press() { form.PushButton1->click(); }
    QString caption() const { return form.PushButton1->text(); }
    Form1 form;
};

} // namespace

class TestTestPlayer : public QObject {
    Q_OBJECT
private slots:
    void playThenStop()
    {
        TestServices t;
        Window w(t);
        w.form.Combo1->setListIndex(1);
        w.press();
        QCOMPARE(w.caption(), QString("Stop"));
        const QString path = t.folder.programFolder() + "/sounds/Sweep.mp3";
        QCOMPARE(t.engine.calls, QStringList{"play " + path});
        QCOMPARE(w.form.WindowsMediaPlayer1->URL(), path);
        QVERIFY(!t.engine.loop);
        w.press();
        QCOMPARE(w.caption(), QString("Play Test"));
        QCOMPARE(t.engine.calls, QStringList({"play " + path, "stop"}));
        QVERIFY(t.report.texts.isEmpty());
    }

    void nothingToPlayStillShowsStop_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("removed");
        QTest::newRow("no selection") << -1 << "";
        QTest::newRow("file deleted after the start") << 0 << "Sub Bass.mp3";
        QTest::newRow("hidden file") << 3 << "";
    }
    void nothingToPlayStillShowsStop()
    {
        QFETCH(int, index);
        QFETCH(QString, removed);
        TestServices t;
        Window w(t);
        t.folder.addSounds({".Hidden.mp3"});
        w.form.Combo1->addEntry(".Hidden");
        w.form.Combo1->setListIndex(index);
        if (!removed.isEmpty())
            QVERIFY(QFile::remove(t.folder.sounds() + "/" + removed));
        w.press();
        QCOMPARE(w.caption(), QString("Stop"));
        QVERIFY(t.engine.calls.isEmpty());
        w.press();
        QCOMPARE(w.caption(), QString("Play Test"));
        QCOMPARE(t.engine.calls, QStringList{"stop"});
        QVERIFY(t.report.texts.isEmpty());
    }

    void aSoundThatEndedByItselfNeedsTwoPresses()
    {
        TestServices t;
        Window w(t);
        w.form.Combo1->setListIndex(0);
        w.press(); // plays; the sound ends by itself and the caption stays
        w.press(); // only resets
        QCOMPARE(w.caption(), QString("Play Test"));
        w.press();
        QCOMPARE(t.engine.calls.size(), 3);
        QVERIFY(t.engine.calls[2].startsWith("play "));
    }

    void anUnknownCaptionDoesNothing()
    {
        TestServices t;
        Window w(t);
        w.form.Combo1->setListIndex(0);
        w.form.PushButton1->setText("play test");
        w.press();
        QCOMPARE(w.caption(), QString("play test"));
        QVERIFY(t.engine.calls.isEmpty());
    }

    void choosingATestSavesItAndLeavesThePlayingOne()
    {
        TestServices t;
        Window w(t);
        w.form.Combo1->setListIndex(0);
        QCOMPARE(t.stored("Combo1"), QString("0"));
        w.press();
        w.form.Combo1->setListIndex(2);
        QCOMPARE(t.stored("Combo1"), QString("2"));
        QCOMPARE(t.engine.calls.size(), 1);
        w.press();
        w.press();
        QCOMPARE(t.engine.calls.last(), "play " + t.folder.sounds() + "/Noise.mp3");
    }

    void slidersSaveThenDriveThePlayer()
    {
        TestServices t;
        Window w(t);
        w.form.Slider1->setValueChecked(80);
        QCOMPARE(t.stored("Volume"), QString("80"));
        QCOMPARE(t.engine.volume, 80);
        w.form.Slider2->setValueChecked(1);
        w.form.Slider2->setValueChecked(2);
        QCOMPARE(t.stored("Pitch"), QString("2"));
        QCOMPARE(t.engine.rate, 2.0);
        QCOMPARE(w.form.WindowsMediaPlayer1->settings().rate(), 2.0);
        QVERIFY(t.report.texts.isEmpty());
    }

    void aRefusedRateIsSavedAndReported()
    {
        TestServices t;
        Window w(t);
        // Widen the slider beyond what the player takes.
        w.form.Slider2->setMaximum(60);
        w.form.Slider2->setValueChecked(55);
        QCOMPARE(t.stored("Pitch"), QString("55"));
        QCOMPARE(w.form.WindowsMediaPlayer1->settings().rate(), 1.0);
        QCOMPARE(t.report.places(), QStringList{"Slider2_Change 0"});
    }

    void aFailingSaveStopsTheHandlerBeforeThePlayer()
    {
        TestServices t;
        Window w(t);
        // The settings folder turns into a file: no save can succeed.
        QDir(t.folder.settingsFolder()).removeRecursively();
        QFile(t.folder.settingsFolder()).open(QIODevice::WriteOnly);
        w.form.Slider1->setValueChecked(80);
        QCOMPARE(t.engine.volume, 50);
        QCOMPARE(t.report.places(), QStringList{"Slider1_Change 0"});
        QVERIFY(t.report.texts[0].startsWith("Cannot save the setting \"Volume\""));
    }

    void aPlayerThatRefusesIsReportedLineByLine()
    {
        TestServices t;
        Window w(t);
        w.form.Combo1->setListIndex(0);
        // Loop mode refused at line 112: reported, and line 114 still starts the sound.
        t.engine.refuseLooping = true;
        w.press();
        QCOMPARE(t.report.places(), QStringList{"PushButton1_Click 112"});
        QCOMPARE(t.engine.calls.size(), 1);
        QCOMPARE(w.caption(), QString("Stop"));
    }
};

QTEST_MAIN(TestTestPlayer)
#include "test_testplayer.moc"
