#include "app/FormEvents.h"

#include "app/HandlerGuard.h"
#include "app/Services.h"
#include "app/Shutdown.h"
#include "player/TestPlayer.h"
#include "ui/Appearance.h"
#include "ui/Form1.h"

#include <QEvent>
#include <functional>
#include <map>

namespace {

// Passes mouse moves over chosen controls to their handlers.
class MouseMoveFilter : public QObject {
public:
    MouseMoveFilter(QObject* parent, std::map<QObject*, std::function<void()>> handlers)
        : QObject(parent), m_handlers(std::move(handlers))
    {
        for (const auto& entry : m_handlers)
            entry.first->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            const auto it = m_handlers.find(watched);
            if (it != m_handlers.end())
                it->second();
        }
        return false;
    }

private:
    std::map<QObject*, std::function<void()>> m_handlers;
};

} // namespace

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

    const auto pointerHandler = [window, with](void (*handler)(Form1&)) {
        return [window, with, handler] {
            runUnguardedHandler(with->report, Location::MouseMove, [&] { handler(*window); });
        };
    };
    form.onMouseMove = pointerHandler(&Form_MouseMove);
    new MouseMoveFilter(window, {{form.PushButton1, pointerHandler(&PushButton1_MouseMove)},
                                 {form.Frame2, pointerHandler(&Frame2_MouseMove)},
                                 {form.Frame3, pointerHandler(&Frame3_MouseMove)}});

    auto closing = std::make_shared<bool>(false);
    form.onCloseRequest = [window, with, closing] {
        if (*closing)
            return;
        *closing = true;
        Form_QueryUnload(*window, *with);
        Form_Unload(*window, *with);
    };
}
