// The close request and the unload.
#include "Shutdown.h"
#include "HandlerLocations.h"
#include "Procedure.h"
#include "Services.h"

#include <QCoreApplication>

void Form_QueryUnload(Form1&, Services& services)
{
    const auto pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    const QString location = QString::fromLatin1(Location::FormQueryUnload);
    const Procedure queryUnload(location, {
                                              Do(102, pump),
                                              Do(104, pump),
                                          });
    queryUnload.run(services.report);
}

void Form_Unload(Form1&, Services& services)
{
    if (services.endProcess)
        services.endProcess();
}
