#include "BuildSettings.h"
#include "RecordingReportBox.h"
#include "app/ErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/Procedure.h"
#include "app/RunTimeError.h"

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

    void stepsRunInTableOrderAndBranch()
    {
        RecordingReportBox box;
        QStringList ran;
        bool answer = false;
        const std::vector<Step> steps{
            statement(
                "100", 100, [&] { ran << "100"; }, "102", "102"),
            {"102", 102,
             [&] {
                 ran << "102";
                 return answer;
             },
             "104", "106", "104"},
            statement(
                "104", 104, [&] { ran << "104"; }, kEnd, kEnd),
            statement(
                "106", 106, [&] { ran << "106"; }, kEnd, kEnd),
        };
        runProcedure(steps, kLocation, box);
        QCOMPARE(ran, QStringList({"100", "102", "106"}));
        answer = true;
        ran.clear();
        runProcedure(steps, kLocation, box);
        QCOMPARE(ran, QStringList({"100", "102", "104"}));
        QVERIFY(box.texts.isEmpty());
    }

    void aFailingTestRunsItsBranch()
    {
        RecordingReportBox box;
        QStringList ran;
        const std::vector<Step> steps{
            {"100", 100, []() -> bool { throw RunTimeError("Caption unreadable"); }, "116", "116",
             "102"},
            statement(
                "102", 102, [&] { ran << "102"; }, kEnd, kEnd),
            statement(
                "116", 116, [&] { ran << "116"; }, kEnd, kEnd),
        };
        runProcedure(steps, kLocation, box);
        QCOMPARE(ran, QStringList{"102"});
        QCOMPARE(box.texts.size(), 1);
        QVERIFY(box.texts[0].startsWith("Caption unreadable\r\n" + kLocation + "at line 100\r\r"));
    }

    void aFailureAtTheLastStatementOfABranchEnds()
    {
        RecordingReportBox box;
        QStringList ran;
        const std::vector<Step> steps{
            statement(
                "114", 114,
                [&] {
                    ran << "114";
                    fail("refused");
                },
                kEnd, kEnd),
            statement(
                "116", 116, [&] { ran << "116"; }, kEnd, kEnd),
        };
        runProcedure(steps, kLocation, box);
        QCOMPARE(ran, QStringList{"114"});
        QCOMPARE(box.texts.size(), 1);
    }

    void aFailureInALoopBodyGoesOnWithTheNextPass()
    {
        RecordingReportBox box;
        QStringList added;
        int i = 0;
        const QStringList names{"a", "bad", "c"};
        const std::vector<Step> steps{
            {"132", 132,
             [&] {
                 i = 0;
                 return i < names.size();
             },
             "134", "138", "138"},
            statement(
                "134", 134,
                [&] {
                    if (names[i] == "bad")
                        fail("refused");
                    added << names[i];
                },
                "136", "136"),
            {"136", 136, [&] { return ++i < names.size(); }, "134", "138", "138"},
            statement(
                "138", 138, [&] { added << "end"; }, kEnd, kEnd),
        };
        runProcedure(steps, kLocation, box);
        QCOMPARE(added, QStringList({"a", "c", "end"}));
        QCOMPARE(box.places(), QStringList{"Test 134"});
    }

    void everyFailureIsReportedInOrderWithTheLineInForce()
    {
        RecordingReportBox box;
        // Three statements share one line number; a failure in a called routine reports the
        // calling line.
        const auto routine = [] { fail("inner"); };
        const std::vector<Step> steps{
            statement(
                "128 a", 128, [] {}, "128 b", "128 b"),
            statement("128 b", 128, routine, "128 c", "128 c"),
            statement(
                "128 c", 128, [] { fail("second"); }, "130", "130"),
            statement(
                "130", 130, [] { throw std::runtime_error("std"); }, kEnd, kEnd),
        };
        runProcedure(steps, kLocation, box);
        QCOMPARE(box.places(), QStringList({"Test 128", "Test 128", "Test 130"}));
        QVERIFY(box.texts[0].startsWith("inner\r\n"));
        QVERIFY(box.texts[1].startsWith("second\r\n"));
        QVERIFY(box.texts[2].startsWith("std\r\n"));
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
