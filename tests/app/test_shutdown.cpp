#include "TestServices.h"
#include "app/FormEvents.h"
#include "player/MediaPlayer.h"
#include "ui/Form1.h"

#include <QTest>
#include <QTimer>

namespace {

// A shown window wired to its handlers, with recorded services.
struct Shown {
    Shown() : form(t.engine, t.folder.programFolder())
    {
        connectFormEvents(form, t.services);
        form.show();
    }
    TestServices t;
    Form1 form;
};

} // namespace

class TestShutdown : public QObject {
    Q_OBJECT
private slots:
    void closingEndsTheProcessOnceAndSavesWhatIsQueued()
    {
        Shown w;
        auto& [t, form] = w;
        // A slider move still waiting in the queue when the close arrives.
        QMetaObject::invokeMethod(
            form.Slider1, [&] { form.Slider1->setValueChecked(80); }, Qt::QueuedConnection);
        form.close();
        QCOMPARE(t.endProcessCalls, 1);
        QCOMPARE(t.stored("Volume"), QString("80"));
        // Nothing is stopped or saved by the close itself.
        QVERIFY(t.engine.calls.isEmpty());
        QCOMPARE(t.stored("Pitch"), QString("(absent)"));
        // Another close request (a logout after the close box) does not run it again.
        form.show();
        form.close();
        QCOMPARE(t.endProcessCalls, 1);
        QVERIFY(t.report.texts.isEmpty());
    }

    void aCloseArrivingDuringTheShutdownIsIgnored()
    {
        Shown w;
        auto& [t, form] = w;
        QMetaObject::invokeMethod(
            &form, [&] { form.close(); }, Qt::QueuedConnection);
        form.close();
        QCOMPARE(t.endProcessCalls, 1);
    }
};

QTEST_MAIN(TestShutdown)
#include "test_shutdown.moc"
