// The startup sequence.
#include "FormLoad.h"
#include "AppTitle.h"
#include "ApplySkin.h"
#include "AudioEngine.h"
#include "Conversions.h"
#include "CursorFile.h"
#include "FileList.h"
#include "FileProbes.h"
#include "Form1.h"
#include "HandlerLocations.h"
#include "HomePage.h"
#include "PlayerControl.h"
#include "Procedure.h"
#include "RunTimeError.h"
#include "Services.h"
#include "SettingsStore.h"
#include "SkinFramework.h"

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
    PlayerControl& player = *form.WindowsMediaPlayer1;
    const auto read = [&](const char* key, const QString& defaultValue) {
        return readSetting(services.settings, key, defaultValue);
    };
    const QString kVolume = QString::number(Playback::kDefaultVolume);
    // Without a list there is no bound to take.
    const auto listOrFail = [&]() -> const NameList& {
        if (!list)
            throw RunTimeError(QStringLiteral("Subscript out of range"));
        return *list;
    };

    const Procedure load(
        QString::fromLatin1(Location::FormLoad),
        {
            Do(104, [&] { ApplySkin(form, *form.SkinFramework1); }),
            If(106, [&] { return FileExists(cursorPath); }).orElse(line(110)),
            Do(108, [&] { form.setMouseIcon(loadCursorFile(cursorPath)); }),
            Do(110, [&] { MaybeOpenHomePage(services.random, services.browser); }),
            Do(128, [&] { form.setWindowTitle(QString::fromLatin1(kProductName)); }),
            Do(128, [&] { form.setWindowIcon(applicationIcon()); }),
            Do(128, [&] { SetAppTitle(); }),
            Do(130, [&] { list = GetFileList(form.programFolder() + "/sounds", "*.*"); }),
            CountedLoop(132, 136, counter, [&] { return qint32(listOrFail().upper); },
                        {
                            Do(134, [&] { form.Combo1->addEntry(entryText(list->at(counter))); }),
                        }),
            Do(138,
               [&] {
                   form.Combo1->setListIndex(
                       toListIndex(read(SettingKeys::Combo1, "0"), form.Combo1->count()));
               }),
            Do(140,
               [&] {
                   form.Slider1->setValueChecked(
                       toInt32Lenient(read(SettingKeys::Volume, kVolume)));
               }),
            Do(142,
               [&] {
                   form.Slider2->setValueChecked(toInt32Lenient(read(SettingKeys::Pitch, "1")));
               }),
            Do(144, [&] { player.setVolume(qint32(form.Slider1->value())); }),
            Do(146, [&] { player.setRate(static_cast<double>(qint32(form.Slider2->value()))); }),
        });
    load.run(services.report);
}
