// Typed IDispatch::Invoke helpers: one Invoke per call, fixed dispatch ids, no name look-ups.
// They return the HRESULT and never show anything.
#pragma once

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <span>

namespace tessivar {

// Owns a VARIANT: always initialised, always cleared.
class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&m_value); }
    ~UniqueVariant() { VariantClear(&m_value); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* Get() { return &m_value; }
    const VARIANT& Value() const { return m_value; }

private:
    VARIANT m_value{};
};

VARIANT BoolVariant(bool value);
VARIANT I4Variant(LONG value);
// An omitted optional argument.
VARIANT MissingVariant();

// Succeeded, but no object came back where one was expected.
inline constexpr HRESULT kNoObject = S_FALSE;

HRESULT PropertyPut(IDispatch* object, DISPID id, const VARIANT& value);

// A property get whose value is an object. S_OK only with an object in `result`.
HRESULT PropertyGetObject(IDispatch* object, DISPID id, std::span<VARIANT> argumentsLastFirst,
                          Microsoft::WRL::ComPtr<IDispatch>& result);

// A method call whose result is an object. S_OK only with an object in `result`.
HRESULT CallMethodForObject(IDispatch* object, DISPID id, std::span<VARIANT> argumentsLastFirst,
                            Microsoft::WRL::ComPtr<IDispatch>& result);

}  // namespace tessivar
