#include "SkinFramework.h"

#include "BoundedRead.h"
#include "RunTimeError.h"

#include <QApplication>

namespace {

const QString kBadCall = QStringLiteral("Object doesn't support this property or method");
const QString kBadArgument = QStringLiteral("Invalid procedure call or argument");

void expectArguments(const QVariantList& arguments, int count)
{
    if (arguments.size() != count)
        throw RunTimeError(QStringLiteral("Wrong number of arguments or invalid property "
                                          "assignment"));
}

bool toBoolean(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok)
        throw RunTimeError(QStringLiteral("Type mismatch"));
    return number != 0;
}

} // namespace

qint32 windowHandle32(QWidget& window)
{
    return static_cast<qint32>(window.winId());
}

SkinFramework::SkinFramework(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SkinFramework1"));
}

QVariant SkinFramework::invoke(int dispatchId, Kind kind, const QVariantList& arguments)
{
    switch (dispatchId) {
    case Options:
        if (kind == Kind::PropertyGet) {
            expectArguments(arguments, 0);
            return m_options;
        }
        if (kind == Kind::PropertyPut) {
            expectArguments(arguments, 1);
            m_options = dispatchInt32(arguments[0]);
            restyle();
            return {};
        }
        break;
    case LoadSkin:
    case ApplyWindow:
        if (kind == Kind::Method) {
            dispatchId == LoadSkin ? loadSkin(arguments) : applyWindow(arguments);
            return {};
        }
        break;
    case Enabled:
    case AutoApply:
        if (kind == Kind::PropertyPut) {
            expectArguments(arguments, 1);
            (dispatchId == Enabled ? m_enabled : m_autoApply) = toBoolean(arguments[0]);
            restyle();
            return {};
        }
        break;
    default:
        break;
    }
    throw RunTimeError(kBadCall);
}

void SkinFramework::loadSkin(const QVariantList& arguments)
{
    expectArguments(arguments, 2);
    if (arguments[0].typeId() != QMetaType::QString || arguments[1].typeId() != QMetaType::QString)
        throw RunTimeError(QStringLiteral("Type mismatch"));
    const QString path = arguments[0].toString();
    // A skin is small; anything that is not a small regular file is refused unread.
    constexpr qint64 kLargestSkin = 4 * 1024 * 1024;
    const std::optional<QByteArray> content = readRegularFile(path, kLargestSkin);
    if (!content)
        throw RunTimeError(
            QStringLiteral("Cannot load the skin %1: not a regular file of at most 4 MiB")
                .arg(path));
    const qsizetype endOfHeader = content->indexOf('\n');
    if (content->left(endOfHeader).trimmed() != kSkinHeader)
        throw RunTimeError(
            QStringLiteral("Cannot load the skin %1: the file is not a skin").arg(path));
    m_styleSheet = endOfHeader < 0 ? QString() : QString::fromUtf8(content->mid(endOfHeader + 1));
    m_loaded = true;
    restyle();
}

void SkinFramework::applyWindow(const QVariantList& arguments)
{
    expectArguments(arguments, 1);
    const qint32 handle = dispatchInt32(arguments[0]);
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->internalWinId() && windowHandle32(*candidate) == handle) {
            m_window = candidate;
            restyle();
            return;
        }
    }
    throw RunTimeError(kBadArgument);
}

void SkinFramework::restyle()
{
    if (!m_loaded || !m_autoApply)
        return;
    const QString sheet = m_enabled ? m_styleSheet : QString();
    if (m_options & 2)
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            app->setStyleSheet(sheet);
    if (m_window)
        m_window->setStyleSheet((m_options & 1) ? sheet : QString());
}
