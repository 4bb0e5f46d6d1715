// The one place where the window's signals meet their handlers.
#include "FormEvents.h"

#include "ControlHandlers.h"
#include "Form1.h"
#include "HandlerLocations.h"
#include "Services.h"
#include "Shutdown.h"
#include "UnguardedHandler.h"

#include <memory>

void connectFormEvents(Form1& form, Services& services)
{
    Form1* const window = &form;
    Services* const with = &services;

    QObject::connect(form.PushButton1, &QPushButton::clicked, window,
                     [window, with] { PushButton1_Click(*window, with->report); });
    // The handlers that trap nothing: a failure ends them and is reported with their name.
    const auto unguarded = [window, with](auto* sender, auto signal, const char* location,
                                          auto handler) {
        QObject::connect(sender, signal, window, [window, with, location, handler] {
            runUnguardedHandler(with->report, location, [&] { handler(*window, *with); });
        });
    };
    const auto saving = [](void (*handler)(Form1&, SettingsStore&)) {
        return [handler](Form1& f, Services& s) { handler(f, s.settings); };
    };
    const auto pointer = [](void (*handler)(Form1&)) {
        return [handler](Form1& f, Services&) { handler(f); };
    };
    unguarded(form.Combo1, &DropDownList::click, Location::Combo1Click, saving(Combo1_Click));
    unguarded(form.Slider1, &Slider::change, Location::Slider1Change, saving(Slider1_Change));
    unguarded(form.Slider2, &Slider::change, Location::Slider2Change, saving(Slider2_Change));
    unguarded(window, &Form1::pushButton1MouseMove, Location::PushButton1MouseMove,
              pointer(PushButton1_MouseMove));
    unguarded(window, &Form1::formMouseMove, Location::FormMouseMove, pointer(Form_MouseMove));
    unguarded(window, &Form1::frame2MouseMove, Location::Frame2MouseMove,
              pointer(Frame2_MouseMove));
    unguarded(window, &Form1::frame3MouseMove, Location::Frame3MouseMove,
              pointer(Frame3_MouseMove));

    auto closing = std::make_shared<bool>(false);
    QObject::connect(window, &Form1::closeRequested, window, [window, with, closing] {
        if (*closing)
            return;
        *closing = true;
        Form_QueryUnload(*window, *with);
        Form_Unload(*window, *with);
    });
}
