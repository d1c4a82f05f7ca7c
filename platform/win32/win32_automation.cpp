// Excel as the automation server on Windows: IDispatch by the fixed dispatch
// ids, with BSTR, VT_I2 and VT_ERROR arguments. Compile-checked in CI with mingw-w64.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/automation.h"

namespace platform {
namespace {

// Automation strings are UTF-8 on our side and UTF-16 in a BSTR.
BSTR ToBstr(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FromBstr(BSTR text)
{
    if (!text) return {};
    const int units = static_cast<int>(SysStringLen(text));
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, text, units, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

class ComDispatch : public DispatchObject {
public:
    explicit ComDispatch(IDispatch* dispatch) : dispatch_(dispatch) {}
    ~ComDispatch() override { dispatch_->Release(); }

    bool Invoke(int dispId, int kind, const std::vector<Variant>& args, Variant& result, std::string& error) override
    {
        // IDispatch takes the arguments last first.
        std::vector<VARIANT> values(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            VARIANT& value = values[args.size() - 1 - i];
            VariantInit(&value);
            switch (args[i].type) {
            case Variant::Type::Error:
                value.vt = VT_ERROR;
                value.scode = args[i].error;
                break;
            case Variant::Type::I2:
                value.vt = VT_I2;
                value.iVal = args[i].i2;
                break;
            case Variant::Type::Bstr:
                value.vt = VT_BSTR;
                value.bstrVal = ToBstr(args[i].bstr);
                break;
            default:
                break;
            }
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
        if (kind == kDispatchPropertyPut) {
            parameters.rgdispidNamedArgs = &named;
            parameters.cNamedArgs = 1;
        }
        VARIANT out;
        VariantInit(&out);
        EXCEPINFO exception{};
        const HRESULT hr = dispatch_->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, static_cast<WORD>(kind),
                                             &parameters, &out, &exception, nullptr);
        for (VARIANT& value : values) VariantClear(&value);
        if (FAILED(hr)) {
            error = FromBstr(exception.bstrDescription);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrHelpFile);
            VariantClear(&out);
            return false;
        }
        if (out.vt == VT_DISPATCH && out.pdispVal) {
            result = Variant::Object(std::make_shared<ComDispatch>(out.pdispVal));  // takes the reference
            out.vt = VT_EMPTY;
        }
        VariantClear(&out);
        return true;
    }

private:
    IDispatch* dispatch_;
};

}  // namespace

std::shared_ptr<DispatchObject> CreateSystemDispatch(const std::string& progId)
{
    const std::wstring name(progId.begin(), progId.end());
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) return nullptr;
    IDispatch* dispatch = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch))) ||
        !dispatch)
        return nullptr;
    return std::make_shared<ComDispatch>(dispatch);
}

}  // namespace platform
