ORVO-SKIN 1
/* The default skin: a Qt style sheet. The first line above marks the file as a skin. */

QPushButton#PushButton1 {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fbfbfb, stop: 1 #d9dde2);
    border: 1px solid #7d8590;
    border-radius: 4px;
    color: #101418;
}
QPushButton#PushButton1:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #f4f9ff, stop: 1 #cfe1f3);
    border-color: #2f6ea5;
}
QPushButton#PushButton1:pressed {
    background-color: #bcd3ea;
}
QPushButton#PushButton1:focus {
    border: 2px solid #2f6ea5;
}

QGroupBox {
    border: 1px solid #a3a9b1;
    border-radius: 4px;
    margin-top: 7px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 3px;
}

QSlider::groove:horizontal {
    height: 4px;
    background: #9aa3ad;
    border-radius: 2px;
}
QSlider::sub-page:horizontal {
    background: #2f6ea5;
    border-radius: 2px;
}
QSlider::handle:horizontal {
    width: 11px;
    margin: -7px 0;
    border: 1px solid #4a5562;
    border-radius: 3px;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #d0d5db);
}
QSlider::handle:horizontal:hover {
    border-color: #2f6ea5;
}
