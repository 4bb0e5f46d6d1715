#include "Form1.h"
#include "FormEvents.h"
#include "PlayerControl.h"
#include "TestServices.h"
#include "WiredWindow.h"

#include <QTest>
#include <QTimer>

namespace {

// A shown window wired to its handlers, with recorded services.
struct Shown {
    Shown() { window.form.show(); }
    TestServices t;
    WiredWindow window{t};
    Form1& form = window.form;
};

} // namespace

class TestShutdown : public QObject {
    Q_OBJECT
private slots:
    void closingEndsTheProcessOnceAndSavesWhatIsQueued()
    {
        Shown w;
        TestServices& t = w.t;
        Form1& form = w.form;
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
        TestServices& t = w.t;
        Form1& form = w.form;
        QMetaObject::invokeMethod(
            &form, [&] { form.close(); }, Qt::QueuedConnection);
        form.close();
        QCOMPARE(t.endProcessCalls, 1);
    }
};

QTEST_MAIN(TestShutdown)
#include "test_shutdown.moc"
