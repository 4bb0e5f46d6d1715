#include "app/Shutdown.h"

#include "app/ErrorReport.h"
#include "app/Procedure.h"
#include "app/Services.h"

#include <QCoreApplication>

void Form_QueryUnload(Form1&, Services& services)
{
    const auto pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    // clang-format off
    const std::vector<Step> steps{
        statement("102", 102, pump, "104", "104"),
        statement("104", 104, pump, kEnd, kEnd),
    };
    // clang-format on
    runProcedure(steps, QString::fromLatin1(Location::FormQueryUnload), services.report);
}

void Form_Unload(Form1&, Services& services)
{
    if (services.endProcess)
        services.endProcess();
}
