// The one place where the window's signals meet their handlers.
#include "FormEvents.h"

#include "Form1.h"
#include "FormHandlers.h"
#include "HandlerGuard.h"
#include "Services.h"

#include <memory>

void connectFormEvents(Form1& form, Services& services)
{
    Form1* const window = &form;
    Services* const with = &services;

    QObject::connect(form.PushButton1, &QPushButton::clicked, window,
                     [window, with] { PushButton1_Click(*window, with->report); });
    QObject::connect(form.Combo1, &DropDownList::click, window, [window, with] {
        runUnguardedHandler(with->report, Location::Combo1Click,
                            [&] { Combo1_Click(*window, with->settings); });
    });
    QObject::connect(form.Slider1, &Slider::change, window, [window, with] {
        runUnguardedHandler(with->report, Location::Slider1Change,
                            [&] { Slider1_Change(*window, with->settings); });
    });
    QObject::connect(form.Slider2, &Slider::change, window, [window, with] {
        runUnguardedHandler(with->report, Location::Slider2Change,
                            [&] { Slider2_Change(*window, with->settings); });
    });

    const auto pointer = [window, with](auto signal, const char* location,
                                        void (*handler)(Form1&)) {
        QObject::connect(window, signal, window, [window, with, location, handler] {
            runUnguardedHandler(with->report, location, [&] { handler(*window); });
        });
    };
    pointer(&Form1::pushButton1MouseMove, Location::PushButton1MouseMove, &PushButton1_MouseMove);
    pointer(&Form1::formMouseMove, Location::FormMouseMove, &Form_MouseMove);
    pointer(&Form1::frame2MouseMove, Location::Frame2MouseMove, &Frame2_MouseMove);
    pointer(&Form1::frame3MouseMove, Location::Frame3MouseMove, &Frame3_MouseMove);

    auto closing = std::make_shared<bool>(false);
    QObject::connect(window, &Form1::closeRequested, window, [window, with, closing] {
        if (*closing)
            return;
        *closing = true;
        Form_QueryUnload(*window, *with);
        Form_Unload(*window, *with);
    });
}
