#include "Form1.h"

#include "AudioEngine.h"
#include "PlayerControl.h"
#include "SkinFramework.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace {

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setWeight(QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont buttonFont()
{
    QFont font = windowFont();
    font.setPointSizeF(11.25);
    return font;
}

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

// The design icon: one 32 x 32 image, fully transparent.
QIcon blankIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

} // namespace

Form1::Form1(AudioEngine& engine, QString programFolder)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Frame2(new Frame(QStringLiteral("Select Test"), this)),
      Frame3(new Frame(QStringLiteral("Volume"), this)), Combo1(new DropDownList(Frame2)),
      Slider1(new Slider(1, Playback::kMaxVolume, Frame3)),
      WindowsMediaPlayer1(new PlayerControl(engine, this)),
      Slider2(new Slider(Playback::kMinRate, Playback::kMaxRate, this)),
      Label2(new Label(QStringLiteral("Pitch"), this)),
      PushButton1(new QPushButton(QString::fromLatin1(Caption::PlayTest), this)),
      SkinFramework1(new SkinFramework(this)), m_programFolder(std::move(programFolder))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(blankIcon());
    setFont(windowFont());
    paintBackground(*this, m_backColor);
    setFixedSize(twips(8040), twips(2445));

    place(Combo1, 240, 300, 7310, 345);
    place(Slider1, 60, 240, 7680, 495);
    place(WindowsMediaPlayer1, 2640, 7260, 5370, 690);
    place(Slider2, 225, 6840, 5610, 495);
    place(Label2, 0, 6720, 435, 225);
    place(Frame2, 120, 600, 7800, 825);
    place(Frame3, 120, 1500, 7800, 825);
    place(PushButton1, 120, 120, 7800, 405);

    Combo1->setObjectName(QStringLiteral("Combo1"));
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setValue(Playback::kDefaultVolume);
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    Slider2->setObjectName(QStringLiteral("Slider2"));
    Slider2->setAccessibleName(QStringLiteral("Pitch"));
    Slider2->setValue(50);
    Label2->setObjectName(QStringLiteral("Label2"));
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame3->setObjectName(QStringLiteral("Frame3"));

    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setFont(buttonFont());
    PushButton1->setFocusPolicy(Qt::StrongFocus);
    QPalette buttonPalette = PushButton1->palette();
    buttonPalette.setColor(QPalette::Button, resolveOleColor(kWhite, buttonPalette));
    buttonPalette.setColor(QPalette::ButtonText, resolveOleColor(kButtonText, buttonPalette));
    PushButton1->setPalette(buttonPalette);

    // Keyboard order; the frames and the label never take the focus.
    setTabOrder(Combo1, Slider1);
    setTabOrder(Slider1, WindowsMediaPlayer1);
    setTabOrder(WindowsMediaPlayer1, Slider2);
    setTabOrder(Slider2, PushButton1);
    setTabOrder(PushButton1, Combo1);

    // Mouse moves over the bare window, the frames and the button are reported without a
    // button being held.
    for (QWidget* area : {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame2),
                          static_cast<QWidget*>(Frame3), static_cast<QWidget*>(PushButton1)}) {
        area->setMouseTracking(true);
        area->installEventFilter(this);
    }
}

Form1::~Form1() = default;

void Form1::setBackColor(quint32 value)
{
    paintBackground(*this, value);
    m_backColor = value;
}

void Form1::setMousePointer(qint16 value)
{
    m_mousePointer = value;
    applyPointer();
}

void Form1::setMouseIcon(const QCursor& cursor)
{
    m_mouseIcon = cursor;
    applyPointer();
}

void Form1::applyPointer()
{
    switch (m_mousePointer) {
    case MousePointer::Busy:
        setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Custom:
        // Without a loaded image the custom pointer shows as the standard arrow.
        if (m_mouseIcon)
            setCursor(*m_mouseIcon);
        else
            unsetCursor();
        break;
    default:
        unsetCursor();
        break;
    }
}

void Form1::centreOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void Form1::closeEvent(QCloseEvent* event)
{
    // The close handler ends the process itself; the close is never refused.
    event->accept();
    emit closeRequested();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return false;
    // Qt hands a move that a control ignores on to its parents, and a control without mouse
    // tracking passes it straight to them; only the area under the pointer itself counts.
    const auto* move = static_cast<QMouseEvent*>(event);
    QWidget* under = childAt(mapFromGlobal(move->globalPosition().toPoint()));
    if ((under ? under : this) != watched)
        return false;
    if (watched == this)
        emit formMouseMove();
    else if (watched == PushButton1)
        emit pushButton1MouseMove();
    else if (watched == Frame2)
        emit frame2MouseMove();
    else if (watched == Frame3)
        emit frame3MouseMove();
    return false;
}
