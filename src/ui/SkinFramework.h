#pragma once

#include "SkinDispatch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

// The skin component. Callers reach it only through numeric dispatch ids:
//
//   id 2, method   LoadSkin(path, section): reads a skin file. A skin file is a Qt style sheet
//                  whose first line is exactly kSkinHeader; a file that cannot be read or lacks
//                  the header is refused. The section argument is kept for compatibility and
//                  must be a string (an empty one selects the whole file).
//   id 1, property Options (32-bit flags). Bit 0: draw the window handed to id 3 with the skin.
//                  Bit 1: draw every window of the program with it, message boxes included.
//   id 5, property Enabled (boolean): the loaded skin is drawn; false keeps it loaded only.
//   id 10, property AutoApply (boolean): a window handed to id 3 is styled at once, and again
//                  whenever a skin is loaded later; false only records the window.
//   id 3, method   ApplyWindow(handle): the native handle (32-bit) of a top-level window of
//                  this program, which is drawn with the skin from then on.
//
// Booleans cross this boundary as -1 (true) and 0 (false). Failures are RunTimeError.
class SkinFramework : public QObject, public SkinDispatch {
    Q_OBJECT
public:
    static constexpr const char* kSkinHeader = "ORVO-SKIN 1";

    explicit SkinFramework(QObject* parent);

    QVariant invoke(int dispatchId, Kind kind, const QVariantList& arguments) override;

    bool isLoaded() const { return m_loaded; }

private:
    void loadSkin(const QVariantList& arguments);
    void applyWindow(const QVariantList& arguments);
    void restyle();

    QString m_styleSheet;
    bool m_loaded = false;
    qint32 m_options = 0;
    bool m_enabled = false;
    bool m_autoApply = false;
    QPointer<QWidget> m_window;
};

// Native window handle as the 32-bit value the skin component takes.
qint32 windowHandle32(QWidget& window);
