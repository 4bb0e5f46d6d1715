#include "OleColor.h"

#include "RunTimeError.h"

QColor resolveOleColor(OleColor value, const QPalette& palette)
{
    if ((value & 0x80000000u) == 0)
        return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
    switch (value & 0x7FFFFFFFu) {
    case 4: // menu
    case 5: // window
        return palette.color(QPalette::Base);
    case 7: // menu text
    case 8: // window text
        return palette.color(QPalette::WindowText);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 16: // button shadow
        return palette.color(QPalette::Dark);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    default:
        throw RunTimeError(QStringLiteral("Invalid property value"));
    }
}
