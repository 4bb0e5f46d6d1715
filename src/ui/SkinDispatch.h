#pragma once

#include <QVariant>

#include "app/RunTimeError.h"

// The numeric-dispatch surface of the skin component: methods and properties are reached by
// id only, as late-bound calls.
class SkinDispatch {
public:
    enum class Kind { Method, PropertyGet, PropertyPut };
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
