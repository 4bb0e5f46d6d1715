#include "FakeEngine.h"
#include "Form1.h"
#include "PlayerControl.h"
#include "RunTimeError.h"

#include <QFontInfo>
#include <QSignalSpy>
#include <QTest>

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void windowIsFixedAndCentred()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        QCOMPARE(form.size(), QSize(536, 163));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.windowTitle(), QString("Form1"));
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        form.centreOnScreen();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.centreOnScreen();
        const QRect screen = form.screen()->availableGeometry();
        QVERIFY(qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1);
    }

    void controlsSitWhereDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Combo1") << "Combo1"
                                << "Frame2" << QRect(16, 20, 487, 23);
        QTest::newRow("Slider1") << "Slider1"
                                 << "Frame3" << QRect(4, 16, 512, 33);
        QTest::newRow("player") << "WindowsMediaPlayer1"
                                << "Form1" << QRect(176, 484, 358, 46);
        QTest::newRow("Slider2") << "Slider2"
                                 << "Form1" << QRect(15, 456, 374, 33);
        QTest::newRow("Label2") << "Label2"
                                << "Form1" << QRect(0, 448, 29, 15);
        QTest::newRow("Frame2") << "Frame2"
                                << "Form1" << QRect(8, 40, 520, 55);
        QTest::newRow("Frame3") << "Frame3"
                                << "Form1" << QRect(8, 100, 520, 55);
        QTest::newRow("PushButton1") << "PushButton1"
                                     << "Form1" << QRect(8, 8, 520, 27);
    }
    void controlsSitWhereDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(control->geometry(), geometry);
        QVERIFY(control->isEnabled());
        // Seen exactly when it lies inside the client area.
        const QRect onWindow(control->mapTo(&form, QPoint(0, 0)), control->size());
        const bool seen = name != "WindowsMediaPlayer1" && name != "Slider2" && name != "Label2";
        QCOMPARE(form.rect().intersects(onWindow), seen);
    }

    void fontsAndColours()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        QCOMPARE(form.font().family(), QString("Arial"));
        QCOMPARE(form.font().pointSizeF(), 9.0);
        QCOMPARE(form.font().weight(), QFont::Bold);
        QVERIFY(!form.font().italic() && !form.font().underline() && !form.font().strikeOut());
        QCOMPARE(form.Combo1->font(), form.font());
        QCOMPARE(form.Frame2->font(), form.font());
        QCOMPARE(form.Label2->font(), form.font());
        QCOMPARE(form.PushButton1->font().pointSizeF(), 11.25);
        QCOMPARE(form.PushButton1->font().weight(), QFont::Bold);
        // Arial is served by a metric-compatible sans-serif.
        QVERIFY(QFontInfo(form.font()).bold());
        for (QWidget* w :
             std::initializer_list<QWidget*>{&form, form.Frame2, form.Frame3, form.Label2})
            QCOMPARE(w->palette().color(w->backgroundRole()), QColor(Qt::white));
        QCOMPARE(form.backColor(), 0x00FFFFFFu);
        QCOMPARE(form.PushButton1->palette().color(QPalette::Button), QColor(Qt::white));
    }

    void tabOrderSkipsFramesAndLabel()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        form.show();
        QStringList order;
        QWidget* w = form.Combo1;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != form.Combo1);
        QCOMPARE(order, QStringList({"Combo1", "Slider1", "WindowsMediaPlayer1", "Slider2",
                                     "PushButton1"}));
        // The hidden pitch slider takes the focus and answers the arrow keys.
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.Slider2->setFocus();
        QVERIFY(form.Slider2->hasFocus());
        QTest::keyClick(form.Slider2, Qt::Key_Left);
        QCOMPARE(form.Slider2->value(), 49);
        QTest::keyClick(form.Slider2, Qt::Key_PageDown);
        QCOMPARE(form.Slider2->value(), 44);
        QTest::keyClick(form.Slider2, Qt::Key_Right);
        QCOMPARE(form.Slider2->value(), 45);
    }

    void slidersRefuseValuesOutsideTheirRange_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("volume") << "Slider1" << 1 << 100;
        QTest::newRow("pitch") << "Slider2" << 1 << 50;
    }
    void slidersRefuseValuesOutsideTheirRange()
    {
        QFETCH(QString, name);
        QFETCH(int, min);
        QFETCH(int, max);
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        auto* slider = form.findChild<Slider*>(name);
        QCOMPARE(slider->value(), 50);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), 5);
        QCOMPARE(slider->tickInterval(), 1);
        QCOMPARE(slider->tickPosition(), QSlider::TicksBelow);
        QSignalSpy changes(slider, &Slider::change);
        for (int refused : {min - 1, max + 1, 0, -50}) {
            QVERIFY_THROWS_EXCEPTION(RunTimeError, slider->setValueChecked(refused));
            QCOMPARE(slider->value(), 50);
        }
        QCOMPARE(changes.count(), 0);
        slider->setValueChecked(min);
        slider->setValueChecked(max);
        QCOMPARE(slider->value(), max);
        QCOMPARE(changes.count(), 2);
    }

    void listFillsWithoutChoosingAndRefusesBadIndexes()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        DropDownList& list = *form.Combo1;
        QVERIFY(!list.isEditable());
        QSignalSpy clicks(&list, &DropDownList::click);
        list.addEntry("Sub Bass");
        list.addEntry("Sweep");
        list.addEntry("Noise");
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.listIndex(), -1);
        QCOMPARE(list.currentText(), QString());
        QCOMPARE(clicks.count(), 0);
        for (int refused : {3, 5, -2}) {
            QVERIFY_THROWS_EXCEPTION(RunTimeError, list.setListIndex(refused));
            QCOMPARE(list.listIndex(), -1);
        }
        list.setListIndex(2);
        QCOMPARE(list.currentText(), QString("Noise"));
        QCOMPARE(clicks.count(), 1);
        list.addEntry("Later");
        QCOMPARE(list.listIndex(), 2);
        list.setListIndex(-1);
        QCOMPARE(list.currentText(), QString());
        QCOMPARE(clicks.count(), 1);
    }

    void playerKeepsItsStoredProperties()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        PlayerControl& player = *form.WindowsMediaPlayer1;
        QCOMPARE(player.URL(), QString());
        QCOMPARE(player.volume(), 50);
        QCOMPARE(player.rate(), 1.0);
        QVERIFY(player.focusPolicy() & Qt::TabFocus);
        QCOMPARE(engine.volume, 50);
        QCOMPARE(engine.rate, 1.0);
        QCOMPARE(form.mousePointer(), MousePointer::Default);
        QVERIFY(!form.mouseIcon());
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
