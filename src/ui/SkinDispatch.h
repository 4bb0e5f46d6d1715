#pragma once

#include <QVariant>

// The numeric-dispatch surface of the skin component: methods and properties are reached by
// id only, as late-bound calls.
class SkinDispatch {
public:
    enum class Kind { Method, PropertyGet, PropertyPut };
    virtual ~SkinDispatch() = default;
    virtual QVariant invoke(int dispatchId, Kind kind, const QVariantList& arguments) = 0;
};
