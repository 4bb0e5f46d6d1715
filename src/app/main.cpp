#include "BrowserLauncher.h"
#include "BuildSettings.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "FormEvents.h"
#include "FormLoad.h"
#include "RandomDraw.h"
#include "Services.h"
#include "SettingsStore.h"
#include "SoundEngine.h"
#include "TerminationSignal.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Wayland compositors and the desktops match the window to its desktop entry by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral(APP_ID));

    SoundEngine engine;
    MessageReportBox reportBox;
    SettingsStore settings;
    StandardRandomDraw random;
    DesktopBrowserLauncher browser;
    Services services{reportBox, settings, random, browser, [&engine] {
                          // Ends at once; only the sound is let down softly first, as the
                          // process going away would cut it mid-wave.
                          engine.finish();
                          std::fflush(nullptr);
                          std::_Exit(EXIT_SUCCESS);
                      }};

    Form1 form(engine, QCoreApplication::applicationDirPath());
    connectFormEvents(form, services);
    onTerminationSignal(&form, [&form] { form.close(); });

    Form_Load(form, services);
    form.centreOnScreen();
    form.show();
    // The window frame is known only once shown; centre the whole window again with it.
    form.centreOnScreen();
    return app.exec();
}
