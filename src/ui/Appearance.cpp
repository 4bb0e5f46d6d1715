#include "ui/Appearance.h"

#include "app/RunTimeError.h"
#include "catalogue/BoundedRead.h"
#include "catalogue/FileList.h"
#include "ui/Form1.h"
#include "ui/SkinFramework.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QtEndian>

namespace {

const char* const kBackColor = "BackColor";

// Sets the colour through the property named "BackColor", looked up at run time.
void setBackColorByName(QObject& control, OleColor value)
{
    if (control.metaObject()->indexOfProperty(kBackColor) < 0 ||
        !control.setProperty(kBackColor, QVariant::fromValue<quint32>(value)))
        throw RunTimeError(QStringLiteral("Object doesn't support this property or method"));
}

bool takesFaceColour(const QWidget& control)
{
    return qobject_cast<const QGroupBox*>(&control) || qobject_cast<const QLabel*>(&control) ||
           qobject_cast<const QCheckBox*>(&control) || qobject_cast<const QRadioButton*>(&control);
}

QString skinPath(const Form1& form)
{
    return form.programFolder() + QStringLiteral("/x/o.cjs");
}

void setPointer(Form1& form, qint16 pointer)
{
    if (form.mousePointer() != MousePointer::Busy)
        form.setMousePointer(pointer);
}

} // namespace

void ApplySkin(Form1& form, SkinDispatch& skin)
{
    if (ordinaryFileName(skinPath(form)).isEmpty())
        return;

    setBackColorByName(form, kButtonFace);
    for (QWidget* control : form.findChildren<QWidget*>())
        if (takesFaceColour(*control))
            setBackColorByName(*control, kButtonFace);

    using Kind = SkinDispatch::Kind;
    // Booleans cross the component boundary as 16-bit -1 (true).
    const QVariant vbTrue = QVariant::fromValue<qint16>(-1);
    skin.invoke(2, Kind::Method, {skinPath(form), QString()});
    const qint32 options = dispatchInt32(skin.invoke(1, Kind::PropertyGet, {}));
    skin.invoke(1, Kind::PropertyPut, {qint32(options | 1)});
    skin.invoke(5, Kind::PropertyPut, {vbTrue});
    skin.invoke(10, Kind::PropertyPut, {vbTrue});
    skin.invoke(3, Kind::Method, {windowHandle32(form)});
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).lastModified().isValid();
}

QCursor loadCursorFile(const QString& path)
{
    const QString invalid = QStringLiteral("Invalid picture");
    // A cursor is small: refuse unread anything that is not a small regular file.
    constexpr qint64 kLargestCursor = 1024 * 1024;
    std::optional<QByteArray> content = readRegularFile(path, kLargestCursor);
    if (!content)
        throw RunTimeError(invalid);
    QByteArray& data = *content;

    // Header: reserved 0, type 2 (cursor), image count; then 16-byte entries whose plane and
    // bit-count fields hold the hotspot.
    if (data.size() < 6 + 16)
        throw RunTimeError(invalid);
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (qFromLittleEndian<quint16>(bytes) != 0 || qFromLittleEndian<quint16>(bytes + 2) != 2 ||
        qFromLittleEndian<quint16>(bytes + 4) == 0)
        throw RunTimeError(invalid);
    const int hotX = qFromLittleEndian<quint16>(bytes + 6 + 4);
    const int hotY = qFromLittleEndian<quint16>(bytes + 6 + 6);
    const int count = qFromLittleEndian<quint16>(bytes + 4);

    // The picture data is that of an icon: let the icon reader decode it.
    data[2] = 1;
    data[3] = 0;
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= data.size(); ++i) {
        char* entry = data.data() + 6 + 16 * i;
        qToLittleEndian<quint16>(1, entry + 4);
        qToLittleEndian<quint16>(0, entry + 6);
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        throw RunTimeError(invalid);
    return QCursor(QPixmap::fromImage(image), qMin(hotX, image.width() - 1),
                   qMin(hotY, image.height() - 1));
}

void PushButton1_MouseMove(Form1& form)
{
    setPointer(form, MousePointer::Custom);
}
void Form_MouseMove(Form1& form)
{
    setPointer(form, MousePointer::Default);
}
void Frame2_MouseMove(Form1& form)
{
    setPointer(form, MousePointer::Default);
}
void Frame3_MouseMove(Form1& form)
{
    setPointer(form, MousePointer::Default);
}
