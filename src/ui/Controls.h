#pragma once

#include "OleColor.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

// Our layer over Qt's widgets: the controls refuse what the window's code may not do (Qt
// would clamp or silently ignore) by throwing RunTimeError, and carry the colour property
// "BackColor" that appearance code sets by name.

// Applies a background colour value to a widget that paints its own background.
void paintBackground(QWidget& widget, OleColor value);

// A frame with a caption that holds other controls.
class Frame : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
public:
    Frame(const QString& caption, QWidget* parent);
    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 value);

private:
    OleColor m_backColor = kWhite;
};

// A plain text label.
class Label : public QLabel {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
public:
    Label(const QString& caption, QWidget* parent);
    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 value);

private:
    OleColor m_backColor = kWhite;
};

// A horizontal slider whose value may only be set within Min..Max.
class Slider : public QSlider {
    Q_OBJECT
public:
    Slider(int min, int max, QWidget* parent);
    // Throws RunTimeError ("Invalid property value") outside Min..Max and keeps the value.
    void setValueChecked(int value);
signals:
    // Every change of the value, by the user or by code.
    void change();
};

// A drop-down list that cannot be typed into and never selects an entry by itself.
class DropDownList : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownList(QWidget* parent);
    // Appends an entry without changing the selection.
    void addEntry(const QString& text);
    int listIndex() const { return currentIndex(); }
    // Throws RunTimeError ("Invalid property value") for anything but -1..count-1.
    void setListIndex(int index);
signals:
    // An entry was chosen, by the user or by setting the selection index.
    void click();
};
