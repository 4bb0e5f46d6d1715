#include "ControlHandlers.h"
#include "CursorFile.h"
#include "Form1.h"
#include "FormEvents.h"
#include "FormLoad.h"
#include "PlayerControl.h"
#include "Shutdown.h"
#include "TestServices.h"
#include "WiredWindow.h"

#include <QFile>
#include <QTest>

namespace {

// A window with three tests in its list, wired to its handlers.
struct Window : WiredWindow {
    explicit Window(TestServices& t) : WiredWindow(t)
    {
        t.folder.addSounds({"Sub Bass.mp3", "Sweep.mp3", "Noise.mp3"});
        for (const char* entry : {"Sub Bass", "Sweep", "Noise"})
            form.Combo1->addEntry(entry);
    }
};

} // namespace

class TestHandlers : public QObject {
    Q_OBJECT
private slots:
    // The guarded procedures build their tables as they run, and a target that names no
    // statement is refused there: running each once walks every table.
    void everyGuardedProcedureHasAWellFormedTable()
    {
        TestServices t;
        Window w(t);
        Form_Load(w.form, t.services);
        PushButton1_Click(w.form, t.report);
        Form_QueryUnload(w.form, t.services);
        QVERIFY(t.report.texts.isEmpty());
    }

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
        QCOMPARE(w.form.WindowsMediaPlayer1->rate(), 2.0);
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
        QCOMPARE(w.form.WindowsMediaPlayer1->rate(), 1.0);
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
    // Real moves through Qt's own delivery, on the window wired as the program wires it: Qt
    // hands a move that a control ignores on to its parents, which must not count as a move
    // over them.
    void pointerFollowsTheMouseOverEachArea()
    {
        TestServices t;
        WiredWindow window(t);
        Form1& form = window.form;
        const QCursor hand = loadCursorFile(PROGRAM_DIR "/HAND-M.CUR");
        form.setMouseIcon(hand);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        // Moves to a point over `area` (the form itself: the bare area) and tells whether the
        // pointer shown there is the hand.
        const auto handAfterMoveOver = [&](QWidget* area) {
            QPoint point(-1, -1);
            // From 1: QTest takes the point 0,0 for "the middle of the window".
            for (int y = 1; y < form.height() && point.x() < 0; ++y)
                for (int x = 1; x < form.width() && point.x() < 0; ++x)
                    if ((form.childAt(x, y) ? form.childAt(x, y) : &form) == area)
                        point = QPoint(x, y);
            if (point.x() < 0)
                qFatal("no point over %s", qPrintable(area->objectName()));
            QTest::mouseMove(form.windowHandle(), point);
            const QWidget* under = form.childAt(point);
            const QCursor shown = (under ? under : &form)->cursor();
            return shown.shape() == Qt::BitmapCursor && shown.hotSpot() == hand.hotSpot();
        };

        QVERIFY(!handAfterMoveOver(&form));
        QVERIFY(handAfterMoveOver(form.PushButton1));
        // Controls without a handler of their own keep the hand.
        QVERIFY(handAfterMoveOver(form.Combo1));
        QVERIFY(handAfterMoveOver(form.Slider1));
        QVERIFY(!handAfterMoveOver(form.Frame3));
        QVERIFY(handAfterMoveOver(form.PushButton1));
        QVERIFY(!handAfterMoveOver(form.Frame2));
        QVERIFY(handAfterMoveOver(form.PushButton1));
        QVERIFY(!handAfterMoveOver(&form));
        QCOMPARE(form.mousePointer(), MousePointer::Default);

        form.setMousePointer(MousePointer::Busy);
        for (QWidget* area :
             std::initializer_list<QWidget*>{form.PushButton1, form.Frame2, form.Frame3, &form}) {
            handAfterMoveOver(area);
            QCOMPARE(form.mousePointer(), MousePointer::Busy);
        }
        QVERIFY(t.report.texts.isEmpty());
    }
};

QTEST_MAIN(TestHandlers)
#include "test_handlers.moc"
