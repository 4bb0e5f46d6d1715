#include "Controls.h"

#include "RunTimeError.h"

namespace {

const QString kInvalidValue = QStringLiteral("Invalid property value");

} // namespace

void paintBackground(QWidget& widget, OleColor value)
{
    QPalette palette = widget.palette();
    palette.setColor(widget.backgroundRole(), resolveOleColor(value, palette));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent)
{
    setFocusPolicy(Qt::NoFocus);
    paintBackground(*this, m_backColor);
}

void Frame::setBackColor(quint32 value)
{
    paintBackground(*this, value);
    m_backColor = value;
}

Label::Label(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setFocusPolicy(Qt::NoFocus);
    paintBackground(*this, m_backColor);
}

void Label::setBackColor(quint32 value)
{
    paintBackground(*this, value);
    m_backColor = value;
}

Slider::Slider(int min, int max, QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(min, max);
    setSingleStep(1);
    setPageStep(5);
    setTickInterval(1);
    setTickPosition(QSlider::TicksBelow);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, &Slider::change);
}

void Slider::setValueChecked(int value)
{
    if (value < minimum() || value > maximum())
        throw RunTimeError(kInvalidValue);
    setValue(value);
}

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::activated, this, &DropDownList::click);
}

void DropDownList::addEntry(const QString& text)
{
    const int before = currentIndex();
    const QSignalBlocker quiet(this);
    addItem(text);
    setCurrentIndex(before);
}

void DropDownList::setListIndex(int index)
{
    if (index < -1 || index >= count())
        throw RunTimeError(kInvalidValue);
    setCurrentIndex(index);
    if (index >= 0)
        emit click();
}
