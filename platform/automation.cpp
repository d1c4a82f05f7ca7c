#include "platform/automation.h"

namespace platform {

Variant Variant::Optional()
{
    Variant v;
    v.type = Type::Error;
    v.error = kParamNotFound;
    return v;
}

Variant Variant::Short(std::int16_t value)
{
    Variant v;
    v.type = Type::I2;
    v.i2 = value;
    return v;
}

Variant Variant::Text(std::string text)
{
    Variant v;
    v.type = Type::Bstr;
    v.bstr = std::move(text);
    return v;
}

Variant Variant::Object(std::shared_ptr<DispatchObject> object)
{
    Variant v;
    v.type = Type::Dispatch;
    v.dispatch = std::move(object);
    return v;
}

}  // namespace platform
