#include "Conversions.h"
#include "RunTimeError.h"

#include <QTest>
#include <functional>

class TestConversions : public QObject {
    Q_OBJECT
private slots:
    void strict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("none selected") << "-1" << true << -1;
        QTest::newRow("blanks around") << " 3 " << true << 3;
        QTest::newRow("tab and newline") << "\t2\n" << true << 2;
        QTest::newRow("half to even down") << "2.5" << true << 2;
        QTest::newRow("half to even up") << "3.5" << true << 4;
        QTest::newRow("74.5") << "74.5" << true << 74;
        QTest::newRow("75.5") << "75.5" << true << 76;
        QTest::newRow("exponent") << "1e3" << true << 1000;
        QTest::newRow("plus sign") << "+7" << true << 7;
        QTest::newRow("largest") << "32767" << true << 32767;
        QTest::newRow("smallest") << "-32768" << true << -32768;
        QTest::newRow("rounds into range") << "32767.4" << true << 32767;
        QTest::newRow("just beyond") << "32768" << false << 0;
        QTest::newRow("rounds out of range") << "32767.5" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "   " << false << 0;
        QTest::newRow("trailing letters") << "2x" << false << 0;
        QTest::newRow("inner blank") << "1 2" << false << 0;
        QTest::newRow("huge exponent") << "1e999" << false << 0;
    }
    void strict()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        // A stored list index reads exactly so in a list of fewer than 32 768 entries.
        for (const auto& convert : {std::function<int(const QString&)>(toInt16Strict),
                                    std::function<int(const QString&)>(
                                        [](const QString& t) { return toListIndex(t, 3); })}) {
            try {
                const int got = convert(text);
                QVERIFY2(ok, qPrintable(QStringLiteral("accepted as %1").arg(got)));
                QCOMPARE(got, value);
            } catch (const RunTimeError& e) {
                QVERIFY2(!ok, qPrintable(e.description()));
                QVERIFY(!e.description().isEmpty());
            }
        }
    }

    // Past 16 bits, an index that names one of the list's entries is taken; any other stays an
    // overflow.
    void listIndexPast16Bits()
    {
        QCOMPARE(toListIndex("70000", 70001), 70000);
        QCOMPARE(toListIndex(" 40000.4 ", 70001), 40000);
        QCOMPARE(toListIndex("32768", 70001), 32768);
        for (const char* beyond : {"70001", "-40000", "1e999", "4e9"})
            QVERIFY_THROWS_EXCEPTION(RunTimeError, toListIndex(beyond, 70001));
    }

    void lenient_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "50" << true << 50;
        QTest::newRow("74.5") << "74.5" << true << 74;
        QTest::newRow("75.5") << "75.5" << true << 76;
        QTest::newRow("letters give 0") << "abc" << true << 0;
        QTest::newRow("empty gives 0") << "" << true << 0;
        QTest::newRow("blanks skipped") << " 3 " << true << 3;
        QTest::newRow("numeric prefix") << "80dB" << true << 80;
        QTest::newRow("blank inside a number") << "1 2" << true << 12;
        QTest::newRow("exponent") << "1e3" << true << 1000;
        QTest::newRow("dangling exponent") << "7e" << true << 7;
        QTest::newRow("negative") << "-1" << true << -1;
        QTest::newRow("second point stops") << "2.5.5" << true << 2;
        QTest::newRow("lone sign") << "-" << true << 0;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("beyond 32 bits") << "2147483648" << false << 0;
        QTest::newRow("infinite") << "1e999" << false << 0;
    }
    void lenient()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        try {
            const int got = toInt32Lenient(text);
            QVERIFY2(ok, qPrintable(QStringLiteral("accepted as %1").arg(got)));
            QCOMPARE(got, value);
        } catch (const RunTimeError& e) {
            QVERIFY2(!ok, qPrintable(e.description()));
        }
    }
};

QTEST_APPLESS_MAIN(TestConversions)
#include "test_conversions.moc"
