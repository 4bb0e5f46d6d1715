#pragma once

#include <QVariant>

#include "RunTimeError.h"

// The numeric-dispatch surface of the skin component: methods and properties are reached by
// id only, as late-bound calls.
class SkinDispatch {
public:
    enum class Kind { Method, PropertyGet, PropertyPut };
    // The ids the skin component answers to.
    enum Id : int {
        Options = 1,     // property, 32-bit flags; bit 0: skin the given window
        LoadSkin = 2,    // method (skin file path, ini section)
        ApplyWindow = 3, // method (native window handle)
        Enabled = 5,     // property, boolean
        AutoApply = 10,  // property, boolean: restyle on every change
    };
    virtual ~SkinDispatch() = default;
    virtual QVariant invoke(int dispatchId, Kind kind, const QVariantList& arguments) = 0;
};

// A value that crossed the dispatch boundary, as a 32-bit integer; "Type mismatch" otherwise.
inline qint32 dispatchInt32(const QVariant& value)
{
    bool ok = false;
    const qint32 number = value.toInt(&ok);
    if (!ok)
        throw RunTimeError(QStringLiteral("Type mismatch"));
    return number;
}
