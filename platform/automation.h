// The automation interface that the spreadsheet export talks to: objects
// reached through members with fixed dispatch ids, invoked as methods or
// property gets and puts, with variant arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Invoke kinds, as IDispatch numbers them: method 1, property get 2, property put 4.
constexpr int kDispatchMethod = 1;
constexpr int kDispatchPropertyGet = 2;
constexpr int kDispatchPropertyPut = 4;
// DISP_E_PARAMNOTFOUND: the value of an optional argument that is not given.
constexpr std::int32_t kParamNotFound = static_cast<std::int32_t>(0x80020004u);

class DispatchObject;

struct Variant {
    enum class Type { Empty, Error, I2, Bstr, Dispatch };
    Type type = Type::Empty;
    std::int32_t error = 0;   // Error
    std::int16_t i2 = 0;      // I2
    std::string bstr;         // Bstr: its characters as UTF-8
    std::shared_ptr<DispatchObject> dispatch;

    // An optional argument that is not given: VT_ERROR holding DISP_E_PARAMNOTFOUND.
    static Variant Optional();
    static Variant Short(std::int16_t value);
    static Variant Text(std::string text);
    static Variant Object(std::shared_ptr<DispatchObject> object);
};

class DispatchObject {
public:
    virtual ~DispatchObject() = default;
    // Invokes member `dispId` as `kind` with `args` in their declared order.
    // False on failure, with the server's own text in `error` (possibly empty).
    virtual bool Invoke(int dispId, int kind, const std::vector<Variant>& args, Variant& result,
                        std::string& error) = 0;
};

// The server the system offers under `progId` (Excel through IDispatch on
// Windows when it is installed), or nullptr.
std::shared_ptr<DispatchObject> CreateSystemDispatch(const std::string& progId);

}  // namespace platform
