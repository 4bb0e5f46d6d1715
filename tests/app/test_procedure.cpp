#include "BuildSettings.h"
#include "ControlHandlers.h"
#include "ErrorReport.h"
#include "HandlerLocations.h"
#include "Procedure.h"
#include "RecordingReportBox.h"
#include "RunTimeError.h"
#include "UnguardedHandler.h"

#include <QTest>

namespace {

const QString kLocation = QStringLiteral("in Thrumbox2021/08/31.Form1.Test ");

void fail(const char* description)
{
    throw RunTimeError(QString::fromLatin1(description));
}

} // namespace

class TestProcedure : public QObject {
    Q_OBJECT
private slots:
    void reportTextByteForByte_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("expected");
        const QString tail = QStringLiteral("\r\nin Thrumbox2021/08/31.Form1.Form_Load at line 138"
                                            "\r\rPlease email screenshot of this message to ") +
                             SUPPORT_ADDRESS;
        QTest::newRow("plain") << "Invalid property value"
                               << "Invalid property value" + tail;
        QTest::newRow("empty description") << "" << tail;
        QTest::newRow("own line break kept") << "Overflow\r\n"
                                             << "Overflow\r\n" + tail;
        QTest::newRow("untrimmed") << "  x "
                                   << "  x " + tail;
    }
    void reportTextByteForByte()
    {
        QFETCH(QString, description);
        QFETCH(QString, expected);
        RecordingReportBox box;
        ErrorReport(box, description, Location::FormLoad, 138);
        QCOMPARE(box.titles, QStringList{"Application Error"});
        QCOMPARE(box.texts.value(0).toUtf8(), expected.toUtf8());
    }

    void statementsRunInOrderAndBranch()
    {
        RecordingReportBox box;
        QStringList ran;
        bool answer = false;
        const Procedure procedure(kLocation, {
                                                 Do(100, [&] { ran << "100"; }),
                                                 If(102,
                                                    [&] {
                                                        ran << "102";
                                                        return answer;
                                                    })
                                                     .orElse(line(106)),
                                                 Do(104, [&] { ran << "104"; }).endsBranch(),
                                                 Do(106, [&] { ran << "106"; }),
                                             });
        procedure.run(box);
        QCOMPARE(ran, QStringList({"100", "102", "106"}));
        answer = true;
        ran.clear();
        procedure.run(box);
        QCOMPARE(ran, QStringList({"100", "102", "104"}));
        QVERIFY(box.texts.isEmpty());
    }

    void aFailingTestGoesOnWithTheStatementItGuards()
    {
        RecordingReportBox box;
        QStringList ran;
        const Procedure procedure(
            kLocation, {
                           If(100, []() -> bool { throw RunTimeError("Caption unreadable"); })
                               .orElse(line(116)),
                           Do(102, [&] { ran << "102"; }).endsBranch(),
                           Do(116, [&] { ran << "116"; }),
                       });
        procedure.run(box);
        QCOMPARE(ran, QStringList{"102"});
        QCOMPARE(box.texts.size(), 1);
        QVERIFY(box.texts[0].startsWith("Caption unreadable\r\n" + kLocation + "at line 100\r\r"));
    }

    void aFailureAtTheLastStatementOfABranchEnds()
    {
        RecordingReportBox box;
        QStringList ran;
        const Procedure procedure(kLocation, {
                                                 Do(114,
                                                    [&] {
                                                        ran << "114";
                                                        fail("refused");
                                                    })
                                                     .endsBranch(),
                                                 Do(116, [&] { ran << "116"; }),
                                             });
        procedure.run(box);
        QCOMPARE(ran, QStringList{"114"});
        QCOMPARE(box.texts.size(), 1);
    }

    void aLoopRunsItsBodyPerPassAndAFailingPassGoesOn_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("a failing pass") << QStringList{"a", "bad", "c"}
                                        << QStringList{"a", "c", "end"} << QStringList{"Test 134"};
        QTest::newRow("no pass") << QStringList{} << QStringList{"end"} << QStringList{};
        QTest::newRow("no bound") << QStringList{"unbounded"} << QStringList{"end"}
                                  << QStringList{"Test 132"};
    }
    void aLoopRunsItsBodyPerPassAndAFailingPassGoesOn()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, added);
        QFETCH(QStringList, reports);
        RecordingReportBox box;
        QStringList done;
        qint32 i = 0;
        const auto bound = [&] {
            if (names.value(0) == "unbounded")
                fail("Subscript out of range");
            return qint32(names.size());
        };
        const auto body = [&] {
            if (names[i - 1] == "bad")
                fail("refused");
            done << names[i - 1];
        };
        const Procedure procedure(kLocation, {
                                                 CountedLoop(132, 136, i, bound, {Do(134, body)}),
                                                 Do(138, [&] { done << "end"; }),
                                             });
        procedure.run(box);
        QCOMPARE(done, added);
        QCOMPARE(box.places(), reports);
    }

    void everyFailureIsReportedInOrderWithTheLineInForce()
    {
        RecordingReportBox box;
        // Three statements share one line number; a failure in a called routine reports the
        // calling line.
        const auto routine = [] { fail("inner"); };
        const Procedure procedure(kLocation, {
                                                 Do(128, [] {}),
                                                 Do(128, routine),
                                                 Do(128, [] { fail("second"); }),
                                                 Do(130, [] { throw std::runtime_error("std"); }),
                                             });
        procedure.run(box);
        QCOMPARE(box.places(), QStringList({"Test 128", "Test 128", "Test 130"}));
        QVERIFY(box.texts[0].startsWith("inner\r\n"));
        QVERIFY(box.texts[1].startsWith("second\r\n"));
        QVERIFY(box.texts[2].startsWith("std\r\n"));
    }

    // A target that names no statement is refused when the table is built, before anything
    // runs; every guarded procedure of the window builds its table each time it runs.
    void aWrongTargetIsRefusedWhenTheTableIsBuilt()
    {
        bool ran = false;
        const auto build = [&] {
            Procedure(kLocation, {
                                     If(100, [&] { return ran = true; }).orElse(line(118)),
                                     Do(116, [] {}),
                                 });
        };
        QVERIFY_THROWS_EXCEPTION(std::logic_error, build());
        QVERIFY(!ran);
    }

    void anUnguardedHandlerStopsAndReportsLineZero()
    {
        RecordingReportBox box;
        QStringList done;
        runUnguardedHandler(box, Location::Slider2Change, [&] {
            done << "saved";
            fail("The parameter is incorrect.");
            done << "applied";
        });
        QCOMPARE(done, QStringList{"saved"});
        QCOMPARE(
            box.texts.value(0).section("\r\r", 0, 0),
            QString("The parameter is incorrect.\r\nin Thrumbox2021/08/31.Form1.Slider2_Change "
                    "at line 0"));
    }
};

QTEST_APPLESS_MAIN(TestProcedure)
#include "test_procedure.moc"
