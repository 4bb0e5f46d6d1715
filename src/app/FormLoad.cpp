#include "app/FormLoad.h"

#include "app/AppTitle.h"
#include "app/ErrorReport.h"
#include "app/HomePage.h"
#include "app/Procedure.h"
#include "app/RunTimeError.h"
#include "app/Services.h"
#include "catalogue/FileList.h"
#include "player/MediaPlayer.h"
#include "settings/Conversions.h"
#include "settings/SettingsStore.h"
#include "ui/Appearance.h"
#include "ui/Form1.h"
#include "ui/SkinFramework.h"

#include <QIcon>
#include <optional>

namespace {

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/orvo-peln-tandrick-%1.png").arg(size));
    return icon;
}

} // namespace

void Form_Load(Form1& form, Services& services)
{
    const QString cursorPath = form.programFolder() + QStringLiteral("/HAND-M.CUR");
    std::optional<NameList> list;
    qint32 counter = 0;
    qint32 bound = 0;
    MediaPlayer& player = *form.WindowsMediaPlayer1;
    const auto read = [&](const char* key, const char* defaultValue) {
        return readSetting(services.settings, key, QString::fromLatin1(defaultValue));
    };

    // clang-format off
    const std::vector<Step> steps{
        statement("104", 104, [&] { ApplySkin(form, *form.SkinFramework1); },             "106", "106"),
        {"106", 106, [&] { return FileExists(cursorPath); },                         "108", "110", "108"},
        statement("108", 108, [&] { form.setMouseIcon(loadCursorFile(cursorPath)); },     "110", "110"),
        statement("110", 110, [&] { MaybeOpenHomePage(services.random, services.browser); },
                                                                                          "128 caption", "128 caption"),
        statement("128 caption", 128, [&] { form.setWindowTitle(QString::fromLatin1(kProductName)); },
                                                                                          "128 icon", "128 icon"),
        statement("128 icon", 128, [&] { form.setWindowIcon(applicationIcon()); },        "128 title", "128 title"),
        statement("128 title", 128, [&] { SetAppTitle(); },                               "130", "130"),
        statement("130", 130, [&] {
            list = GetFileList(form.programFolder() + QStringLiteral("/sounds"), QStringLiteral("*.*"));
        },                                                                                "132", "132"),
        {"132", 132, [&] {
            // Without a list there is no bound to take.
            if (!list)
                throw RunTimeError(QStringLiteral("Subscript out of range"));
            bound = list->upper;
            counter = 1;
            return counter <= bound;
        },                                                                           "134", "138", "138"},
        statement("134", 134, [&] { form.Combo1->addEntry(entryText(list->at(counter))); }, "136", "136"),
        {"136", 136, [&] { return ++counter <= bound; },                             "134", "138", "138"},
        statement("138", 138, [&] {
            form.Combo1->setListIndex(toInt16Strict(read(SettingKeys::Combo1, "0")));
        },                                                                                "140", "140"),
        statement("140", 140, [&] {
            form.Slider1->setValueChecked(toInt32Lenient(read(SettingKeys::Volume, "50")));
        },                                                                                "142", "142"),
        statement("142", 142, [&] {
            form.Slider2->setValueChecked(toInt32Lenient(read(SettingKeys::Pitch, "1")));
        },                                                                                "144", "144"),
        statement("144", 144, [&] { player.settings().setVolume(qint32(form.Slider1->value())); },
                                                                                          "146", "146"),
        statement("146", 146, [&] {
            player.settings().setRate(static_cast<double>(qint32(form.Slider2->value())));
        },                                                                                "148", "148"),
        statement("148", 148, [] {},                                                     kEnd, kEnd),
    };
    // clang-format on
    runProcedure(steps, QString::fromLatin1(Location::FormLoad), services.report);
}
