#include "dispatch.h"

namespace tessivar {

namespace {

HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result)
{
    if (object == nullptr)
        return E_POINTER;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, &argumentError);
    // The exception record is not used, but its strings are ours to free.
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT InvokeForObject(IDispatch* object, DISPID id, WORD flags, std::span<VARIANT> arguments,
                        Microsoft::WRL::ComPtr<IDispatch>& result)
{
    result.Reset();
    DISPPARAMS params{arguments.empty() ? nullptr : arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    UniqueVariant value;
    HRESULT hr = Invoke(object, id, flags, params, value.Get());
    if (FAILED(hr))
        return hr;
    if (V_VT(&value.Value()) != VT_DISPATCH && FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_DISPATCH)))
        return kNoObject;
    if (V_DISPATCH(value.Get()) == nullptr)
        return kNoObject;
    // The caller's reference; the VARIANT's own is released when it is cleared.
    // (mingw-w64's ComPtr::Attach adds a reference, so it cannot take one over.)
    result = V_DISPATCH(value.Get());
    return S_OK;
}

}  // namespace

VARIANT BoolVariant(bool value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT I4Variant(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT MissingVariant()
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

HRESULT PropertyPut(IDispatch* object, DISPID id, const VARIANT& value)
{
    VARIANT argument = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    return Invoke(object, id, DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT PropertyGetObject(IDispatch* object, DISPID id, std::span<VARIANT> argumentsLastFirst,
                          Microsoft::WRL::ComPtr<IDispatch>& result)
{
    return InvokeForObject(object, id, DISPATCH_PROPERTYGET, argumentsLastFirst, result);
}

HRESULT CallMethodForObject(IDispatch* object, DISPID id, std::span<VARIANT> argumentsLastFirst,
                            Microsoft::WRL::ComPtr<IDispatch>& result)
{
    return InvokeForObject(object, id, DISPATCH_METHOD, argumentsLastFirst, result);
}

}  // namespace tessivar
