#include "ApplySkin.h"
#include "CursorFile.h"
#include "FakeEngine.h"
#include "FileProbes.h"
#include "Form1.h"
#include "RunTimeError.h"
#include "SkinFramework.h"
#include "TestFolder.h"

#include <QFile>
#include <QTest>

namespace {

// Records the skin steps; refuses the one named by `failAt`.
class RecordingSkin : public SkinDispatch {
public:
    QVariant invoke(int id, Kind kind, const QVariantList& arguments) override
    {
        const char* kinds[] = {"call", "get", "put"};
        QStringList args;
        for (const QVariant& a : arguments)
            args << QString("%1:%2").arg(a.metaType().name(), a.toString());
        steps << QString("%1 %2(%3)").arg(kinds[int(kind)]).arg(id).arg(args.join(", "));
        if (steps.size() == failAt)
            throw RunTimeError("refused");
        return kind == Kind::PropertyGet ? QVariant(qint32(4)) : QVariant();
    }
    QStringList steps;
    int failAt = 0;
};

QByteArray defaultSkin()
{
    QFile f(PROGRAM_DIR "/x/o.cjs");
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT
private slots:
    void skinStepsRunInOrderWithTheirArguments()
    {
        TestFolder folder;
        const QString skin = folder.write("x/o.cjs", defaultSkin());
        FakeEngine engine;
        Form1 form(engine, folder.programFolder());
        RecordingSkin recorder;
        ApplySkin(form, recorder);
        const QString handle = QString::number(windowHandle32(form));
        QCOMPARE(recorder.steps, QStringList({"call 2(QString:" + skin + ", QString:)", "get 1()",
                                              "put 1(int:5)", "put 5(short:-1)", "put 10(short:-1)",
                                              "call 3(int:" + handle + ")"}));
        for (quint32 colour : {form.backColor(), form.Frame2->backColor(), form.Frame3->backColor(),
                               form.Label2->backColor()})
            QCOMPARE(colour, 0x8000000Fu);
        // The face colour is the platform's button colour.
        QCOMPARE(form.Frame2->palette().color(form.Frame2->backgroundRole()),
                 form.palette().color(QPalette::Button));
    }

    void aRefusedStepEndsTheSkinButKeepsTheColours()
    {
        TestFolder folder;
        folder.write("x/o.cjs", defaultSkin());
        FakeEngine engine;
        Form1 form(engine, folder.programFolder());
        RecordingSkin recorder;
        recorder.failAt = 1;
        QVERIFY_THROWS_EXCEPTION(RunTimeError, ApplySkin(form, recorder));
        QCOMPARE(recorder.steps.size(), 1);
        QCOMPARE(form.Label2->backColor(), 0x8000000Fu);
    }

    void noOrdinarySkinFileChangesNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("absent") << "";
        QTest::newRow("hidden") << "x/.o.cjs";
        QTest::newRow("a folder") << "x/o.cjs/inside";
    }
    void noOrdinarySkinFileChangesNothing()
    {
        QFETCH(QString, path);
        TestFolder folder;
        if (!path.isEmpty())
            folder.write(path, defaultSkin());
        FakeEngine engine;
        Form1 form(engine, folder.programFolder());
        RecordingSkin recorder;
        ApplySkin(form, recorder);
        QVERIFY(recorder.steps.isEmpty());
        QCOMPARE(form.backColor(), 0x00FFFFFFu);
        QCOMPARE(form.Frame2->backColor(), 0x00FFFFFFu);
    }

    void theSkinComponentRefusesWhatIsNoSkin_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("style sheet without header") << QByteArray("QWidget { color: red; }");
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
        QTest::newRow("truncated header") << QByteArray("ORVO-SK");
        QTest::newRow("huge") << QByteArray("ORVO-SKIN 1\n") + QByteArray(5 * 1024 * 1024, ' ');
    }
    void theSkinComponentRefusesWhatIsNoSkin()
    {
        QFETCH(QByteArray, content);
        TestFolder folder;
        const QString path = folder.write("x/o.cjs", content);
        SkinFramework skin(nullptr);
        QVERIFY_THROWS_EXCEPTION(RunTimeError,
                                 skin.invoke(2, SkinDispatch::Kind::Method, {path, QString()}));
        QVERIFY(!skin.isLoaded());
        QVERIFY_THROWS_EXCEPTION(RunTimeError, skin.invoke(7, SkinDispatch::Kind::Method, {}));
    }

    void cursorFiles()
    {
        TestFolder folder;
        QVERIFY(QFile::copy(PROGRAM_DIR "/HAND-M.CUR", folder.programFolder() + "/.hidden.cur"));
        const QString hidden = folder.programFolder() + "/.hidden.cur";
        QVERIFY(FileExists(hidden));
        const QCursor cursor = loadCursorFile(hidden);
        QCOMPARE(cursor.hotSpot(), QPoint(5, 0));
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));

        QVERIFY(!FileExists(folder.programFolder() + "/missing.cur"));
        QVERIFY(!FileExists(""));
        QVERIFY(!FileExists(folder.programFolder() + "/no/such/folder/x"));
        for (const QByteArray& bad :
             {QByteArray(), QByteArray("text"), QByteArray("\0\0\1\0\1\0", 6),
              QByteArray("\0\0\2\0\1\0", 6) + QByteArray(16, '\xff'),
              QByteArray("\0\0\2\0\1\0", 6) + QByteArray(2 * 1024 * 1024, '\0')}) {
            const QString path = folder.write("bad.cur", bad);
            QVERIFY(FileExists(path));
            QVERIFY_THROWS_EXCEPTION(RunTimeError, loadCursorFile(path));
        }
    }

    void theCustomPointerShowsTheLoadedPicture()
    {
        FakeEngine engine;
        Form1 form(engine, "/nowhere");
        form.setMousePointer(MousePointer::Custom);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        form.setMouseIcon(loadCursorFile(PROGRAM_DIR "/HAND-M.CUR"));
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.PushButton1->cursor().shape(), Qt::BitmapCursor);
        form.setMousePointer(MousePointer::Default);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(TestAppearance)
#include "test_appearance.moc"
