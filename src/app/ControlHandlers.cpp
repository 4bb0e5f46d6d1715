// The handlers of the window's controls: play button, list, sliders and pointer.
#include "ControlHandlers.h"
#include "FileProbes.h"
#include "Form1.h"
#include "HandlerLocations.h"
#include "PlayerControl.h"
#include "Procedure.h"
#include "SettingsStore.h"

QString testFilePath(const Form1& form)
{
    return form.programFolder() + QStringLiteral("/sounds/") + form.Combo1->currentText() +
           QStringLiteral(".mp3");
}

void PushButton1_Click(Form1& form, ReportBox& box)
{
    QPushButton& button = *form.PushButton1;
    PlayerControl& player = *form.WindowsMediaPlayer1;
    const QString play = QString::fromLatin1(Caption::PlayTest);
    const QString stop = QString::fromLatin1(Caption::Stop);

    const Procedure click(
        QString::fromLatin1(Location::PushButton1Click),
        {
            If(100, [&] { return button.text() == play; }).orElse(line(116)),
            Do(102, [&] { button.setText(stop); }),
            If(104, [&] { return form.Combo1->listIndex() != -1; }).orElse(kEnd),
            If(106, [&] { return !visibleRegularFileName(testFilePath(form)).isEmpty(); })
                .orElse(kEnd),
            Do(112, [&] { player.setLoop(false); }),
            Do(114, [&] { player.setURL(testFilePath(form)); }).endsBranch(),
            If(116, [&] { return button.text() == stop; }).orElse(kEnd),
            Do(118, [&] { button.setText(play); }),
            Do(124, [&] { player.stop(); }),
        });
    click.run(box);
}

void Combo1_Click(Form1& form, SettingsStore& store)
{
    // The whole index: folders may hold more tests than 16 bits count.
    saveSetting(store, SettingKeys::Combo1, QString::number(form.Combo1->listIndex()));
}

void Slider1_Change(Form1& form, SettingsStore& store)
{
    saveSetting(store, SettingKeys::Volume, QString::number(qint32(form.Slider1->value())));
    form.WindowsMediaPlayer1->setVolume(qint32(form.Slider1->value()));
}

void Slider2_Change(Form1& form, SettingsStore& store)
{
    saveSetting(store, SettingKeys::Pitch, QString::number(qint32(form.Slider2->value())));
    form.WindowsMediaPlayer1->setRate(static_cast<double>(qint32(form.Slider2->value())));
}

namespace {

void setPointer(Form1& form, qint16 pointer)
{
    if (form.mousePointer() != MousePointer::Busy)
        form.setMousePointer(pointer);
}

} // namespace

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
