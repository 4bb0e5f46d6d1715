#include "ApplySkin.h"

#include "FileProbes.h"
#include "Form1.h"
#include "RunTimeError.h"
#include "SkinFramework.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

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

} // namespace

void ApplySkin(Form1& form, SkinDispatch& skin)
{
    if (visibleRegularFileName(skinPath(form)).isEmpty())
        return;

    setBackColorByName(form, kButtonFace);
    for (QWidget* control : form.findChildren<QWidget*>())
        if (takesFaceColour(*control))
            setBackColorByName(*control, kButtonFace);

    using Kind = SkinDispatch::Kind;
    // Booleans cross the component boundary as 16-bit -1 (true).
    const QVariant vbTrue = QVariant::fromValue<qint16>(-1);
    skin.invoke(SkinDispatch::LoadSkin, Kind::Method, {skinPath(form), QString()});
    const qint32 options = dispatchInt32(skin.invoke(SkinDispatch::Options, Kind::PropertyGet, {}));
    skin.invoke(SkinDispatch::Options, Kind::PropertyPut, {qint32(options | 1)});
    skin.invoke(SkinDispatch::Enabled, Kind::PropertyPut, {vbTrue});
    skin.invoke(SkinDispatch::AutoApply, Kind::PropertyPut, {vbTrue});
    skin.invoke(SkinDispatch::ApplyWindow, Kind::Method, {windowHandle32(form)});
}
