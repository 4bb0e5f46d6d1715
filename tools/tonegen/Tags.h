#pragma once

#include <QString>

// What a sound file says about itself.
struct Tags {
    QString title;
    QString description; // one line: signal, frequency range, level
};
