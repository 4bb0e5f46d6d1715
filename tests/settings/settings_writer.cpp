// Saves "Volume" = 1, 2, 3, ... into the settings folder given, printing each value once its
// save has returned; a test kills it at random moments.
#include "SettingsStore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SettingsStore store(app.arguments().value(1));
    for (int value = 1; value <= 1000; ++value) {
        saveSetting(store, SettingKeys::Volume, QString::number(value));
        std::printf("%d\n", value);
        std::fflush(stdout);
    }
    return 0;
}
