// Excel as the automation server on Windows: IDispatch by the fixed dispatch
// ids, with BSTR, VT_I2 and VT_ERROR arguments. Compile-checked in CI with mingw-w64.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/automation.h"

namespace platform {
namespace {

BSTR ToBstr(const std::string& latin1)
{
    std::wstring wide;
    for (const char c : latin1) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FromBstr(BSTR text)
{
    std::string narrow;
    if (!text) return narrow;
    for (UINT i = 0; i < SysStringLen(text); ++i) narrow.push_back(text[i] < 256 ? static_cast<char>(text[i]) : '?');
    return narrow;
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
