#pragma once

#include "Form1.h"
#include "FormEvents.h"
#include "TestServices.h"

#include <QStringList>

// The main window wired to its handlers exactly as the program wires it, with the recorded
// services of `t` and its program folder.
struct WiredWindow {
    explicit WiredWindow(TestServices& t) : form(t.engine, t.folder.programFolder())
    {
        connectFormEvents(form, t.services);
    }
    QStringList entries() const
    {
        QStringList names;
        for (int i = 0; i < form.Combo1->count(); ++i)
            names << form.Combo1->itemText(i);
        return names;
    }
    void press() { form.PushButton1->click(); }
    QString caption() const { return form.PushButton1->text(); }

    Form1 form;
};
