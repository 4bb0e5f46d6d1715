#include "player/TestPlayer.h"

#include "app/ErrorReport.h"
#include "app/Procedure.h"
#include "catalogue/FileList.h"
#include "player/MediaPlayer.h"
#include "settings/SettingsStore.h"
#include "ui/Form1.h"

QString testFilePath(const Form1& form)
{
    return form.programFolder() + QStringLiteral("/sounds/") + form.Combo1->currentText() +
           QStringLiteral(".mp3");
}

void PushButton1_Click(Form1& form, ReportBox& box)
{
    QPushButton& button = *form.PushButton1;
    MediaPlayer& player = *form.WindowsMediaPlayer1;
    const QString play = QString::fromLatin1(kPlayCaption);
    const QString stop = QString::fromLatin1(kStopCaption);

    // clang-format off
    const std::vector<Step> steps{
        {"100", 100, [&] { return button.text() == play; },                         "102", "116", "102"},
        statement("102", 102, [&] { button.setText(stop); },                              "104", "104"),
        {"104", 104, [&] { return form.Combo1->listIndex() != -1; },                "106", kEnd, "106"},
        {"106", 106, [&] { return !ordinaryFileName(testFilePath(form)).isEmpty(); },"112", kEnd, "112"},
        statement("112", 112, [&] { player.settings().setMode(QStringLiteral("loop"), false); }, "114", "114"),
        statement("114", 114, [&] { player.setURL(testFilePath(form)); },                 kEnd, kEnd),
        {"116", 116, [&] { return button.text() == stop; },                         "118", kEnd, "118"},
        statement("118", 118, [&] { button.setText(play); },                              "124", "124"),
        statement("124", 124, [&] { player.controls().stop(); },                          kEnd, kEnd),
    };
    // clang-format on
    runProcedure(steps, QString::fromLatin1(Location::PushButton1Click), box);
}

void Combo1_Click(Form1& form, SettingsStore& store)
{
    const qint16 index = static_cast<qint16>(form.Combo1->listIndex());
    saveSetting(store, SettingKeys::Combo1, QString::number(index));
}

void Slider1_Change(Form1& form, SettingsStore& store)
{
    saveSetting(store, SettingKeys::Volume, QString::number(qint32(form.Slider1->value())));
    MediaPlayer::Settings settings = form.WindowsMediaPlayer1->settings();
    settings.setVolume(qint32(form.Slider1->value()));
}

void Slider2_Change(Form1& form, SettingsStore& store)
{
    saveSetting(store, SettingKeys::Pitch, QString::number(qint32(form.Slider2->value())));
    MediaPlayer::Settings settings = form.WindowsMediaPlayer1->settings();
    settings.setRate(static_cast<double>(qint32(form.Slider2->value())));
}
