#include "cad/com/ComSupport.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vx::cad::com {

namespace {

std::string Hex(HRESULT result) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(result));
    return buf;
}

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        throw ComError("Text too long for an automation call", E_INVALIDARG);
    }
    return static_cast<int>(size);
}

// One level of VT_BYREF followed, so that the readers below see the value itself.
// Arrays by reference stay as they are: TextsOf handles them.
VARIANT Dereferenced(const VARIANT& v) {
    VARIANT r;
    VariantInit(&r);
    if ((v.vt & VT_BYREF) == 0 || (v.vt & VT_ARRAY) != 0) {
        r = v;
        return r;
    }
    const VARTYPE base = static_cast<VARTYPE>(v.vt & ~VT_BYREF);
    r.vt = base;
    switch (base) {
        case VT_I1:
            r.cVal = *v.pcVal;
            break;
        case VT_UI1:
            r.bVal = *v.pbVal;
            break;
        case VT_I2:
            r.iVal = *v.piVal;
            break;
        case VT_UI2:
            r.uiVal = *v.puiVal;
            break;
        case VT_I4:
            r.lVal = *v.plVal;
            break;
        case VT_UI4:
            r.ulVal = *v.pulVal;
            break;
        case VT_INT:
            r.intVal = *v.pintVal;
            break;
        case VT_UINT:
            r.uintVal = *v.puintVal;
            break;
        case VT_I8:
            r.llVal = *v.pllVal;
            break;
        case VT_UI8:
            r.ullVal = *v.pullVal;
            break;
        case VT_R4:
            r.fltVal = *v.pfltVal;
            break;
        case VT_R8:
            r.dblVal = *v.pdblVal;
            break;
        case VT_BOOL:
            r.boolVal = *v.pboolVal;
            break;
        case VT_BSTR:
            r.bstrVal = *v.pbstrVal;
            break;
        case VT_DISPATCH:
            r.pdispVal = *v.ppdispVal;
            break;
        case VT_UNKNOWN:
            r.punkVal = *v.ppunkVal;
            break;
        case VT_VARIANT:
            return Dereferenced(*v.pvarVal);
        default:
            r.vt = v.vt;
            r.byref = v.byref;
            break;
    }
    return r;
}

std::string TypeName(VARTYPE vt) {
    return "variant type " + std::to_string(vt);
}

// The value of a numeric variant, split into a whole part when it is one.
struct Number {
    bool isNumber = false;
    bool whole = false;
    long long value = 0;
    double real = 0;
};

Number NumberOf(const VARIANT& v) {
    Number n;
    n.isNumber = true;
    n.whole = true;
    switch (v.vt) {
        case VT_I1:
            n.value = v.cVal;
            break;
        case VT_UI1:
            n.value = v.bVal;
            break;
        case VT_I2:
            n.value = v.iVal;
            break;
        case VT_UI2:
            n.value = v.uiVal;
            break;
        case VT_I4:
            n.value = v.lVal;
            break;
        case VT_UI4:
            n.value = v.ulVal;
            break;
        case VT_INT:
            n.value = v.intVal;
            break;
        case VT_UINT:
            n.value = v.uintVal;
            break;
        case VT_I8:
            n.value = v.llVal;
            break;
        case VT_UI8:
            if (v.ullVal > static_cast<unsigned long long>(LLONG_MAX)) {
                n.whole = false;
                n.real = static_cast<double>(v.ullVal);
            } else {
                n.value = static_cast<long long>(v.ullVal);
            }
            break;
        case VT_R4:
        case VT_R8: {
            n.real = v.vt == VT_R4 ? static_cast<double>(v.fltVal) : v.dblVal;
            n.whole =
                std::isfinite(n.real) && std::trunc(n.real) == n.real && std::fabs(n.real) < 9.2e18;
            if (n.whole) {
                n.value = static_cast<long long>(n.real);
            }
            break;
        }
        default:
            n.isNumber = false;
            n.whole = false;
            break;
    }
    return n;
}

std::string RealText(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int len = CheckedLength(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, w.data(), n);
    return w;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int len = CheckedLength(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, s.data(), n, nullptr, nullptr);
    return s;
}

std::string DescribeResult(HRESULT result) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message;
    if (n > 0 && text) {
        message.assign(text, n);
    }
    if (text) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    if (message.empty()) {
        return "Automation error " + Hex(result);
    }
    return Narrow(message) + " (" + Hex(result) + ")";
}

// --- Bstr ---

Bstr::Bstr(std::string_view utf8) {
    const std::wstring w = Widen(utf8);
    b_ = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    if (!b_) {
        throw ComError("Out of memory for a text", E_OUTOFMEMORY);
    }
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        SysFreeString(b_);
        b_ = std::exchange(other.b_, nullptr);
    }
    return *this;
}

BSTR* Bstr::Receive() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
}

std::string Bstr::Utf8() const {
    return Utf8Of(b_);
}

std::string Utf8Of(BSTR b) {
    if (!b) {
        return {};
    }
    return Narrow(std::wstring_view(b, SysStringLen(b)));
}

// --- Variant ---

Variant::Variant(const Variant& other) {
    VariantInit(&v_);
    const HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
    if (FAILED(hr)) {
        throw ComError("Could not copy a value: " + DescribeResult(hr), hr);
    }
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant::Variant(Variant&& other) noexcept {
    std::memcpy(&v_, &other.v_, sizeof v_);
    VariantInit(&other.v_);
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        std::memcpy(&v_, &other.v_, sizeof v_);
        VariantInit(&other.v_);
    }
    return *this;
}

Variant Variant::Boolean(bool value) {
    Variant r;
    r.v_.vt = VT_BOOL;
    r.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

Variant Variant::Int16(std::int16_t value) {
    Variant r;
    r.v_.vt = VT_I2;
    r.v_.iVal = value;
    return r;
}

Variant Variant::Int32(std::int32_t value) {
    Variant r;
    r.v_.vt = VT_I4;
    r.v_.lVal = value;
    return r;
}

Variant Variant::Text(std::string_view utf8) {
    Bstr b(utf8);
    Variant r;
    r.v_.vt = VT_BSTR;
    r.v_.bstrVal = b.Detach();
    return r;
}

Variant Variant::Object(IDispatch* object) {
    Variant r;
    r.v_.vt = VT_DISPATCH;
    r.v_.pdispVal = object;
    if (object) {
        object->AddRef();
    }
    return r;
}

Variant Variant::Attach(VARIANT& v) {
    Variant r;
    std::memcpy(&r.v_, &v, sizeof v);
    VariantInit(&v);
    return r;
}

VARIANT* Variant::Receive() {
    VariantClear(&v_);
    return &v_;
}

// --- SafeArray ---

SafeArray& SafeArray::operator=(SafeArray&& other) noexcept {
    if (this != &other) {
        Reset();
        a_ = std::exchange(other.a_, nullptr);
    }
    return *this;
}

void SafeArray::Reset() {
    if (a_) {
        SafeArrayDestroy(std::exchange(a_, nullptr));
    }
}

SafeArray SafeArray::OfTexts(const Strings& texts, LONG lowerBound) {
    SafeArray r =
        Attach(SafeArrayCreateVector(VT_BSTR, lowerBound, static_cast<ULONG>(texts.size())));
    if (!r.a_) {
        throw ComError("Out of memory for an array", E_OUTOFMEMORY);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        Bstr b(texts[i]);
        // SafeArrayPutElement stores a copy of the BSTR.
        const HRESULT hr = SafeArrayPutElement(r.a_, &index, b.Get());
        if (FAILED(hr)) {
            throw ComError("Could not fill an array: " + DescribeResult(hr), hr);
        }
    }
    return r;
}

Strings TextsOf(SAFEARRAY* array, VARTYPE elementType, const std::string& what) {
    if (!array) {
        return {};
    }
    if (SafeArrayGetDim(array) != 1) {
        throw ComError(what + " is not a list: the array has " +
                           std::to_string(SafeArrayGetDim(array)) + " dimensions",
                       DISP_E_TYPEMISMATCH);
    }
    // The element layout must agree with the declared type before elements are copied.
    const bool bstrs = elementType == VT_BSTR && (array->fFeatures & FADF_BSTR) != 0 &&
                       array->cbElements == sizeof(BSTR);
    const bool variants = elementType == VT_VARIANT && (array->fFeatures & FADF_VARIANT) != 0 &&
                          array->cbElements == sizeof(VARIANT);
    if (!bstrs && !variants) {
        throw ComError(what + " is not an array of texts (" + TypeName(elementType) + ")",
                       DISP_E_TYPEMISMATCH);
    }
    LONG lower = 0;
    LONG upper = -1;
    HRESULT hr = SafeArrayGetLBound(array, 1, &lower);
    if (SUCCEEDED(hr)) {
        hr = SafeArrayGetUBound(array, 1, &upper);
    }
    if (FAILED(hr)) {
        throw ComError(what + ": " + DescribeResult(hr), hr);
    }
    Strings texts;
    if (upper >= lower) {
        texts.reserve(static_cast<std::size_t>(upper - lower) + 1);
    }
    for (LONG i = lower; i <= upper; ++i) {
        if (bstrs) {
            Bstr b;
            hr = SafeArrayGetElement(array, &i, b.Receive());
            if (FAILED(hr)) {
                throw ComError(what + ": " + DescribeResult(hr), hr);
            }
            texts.push_back(b.Utf8());
        } else {
            Variant v;
            hr = SafeArrayGetElement(array, &i, v.Receive());
            if (FAILED(hr)) {
                throw ComError(what + ": " + DescribeResult(hr), hr);
            }
            const VARIANT element = Dereferenced(*v.Get());
            if (element.vt != VT_BSTR) {
                throw ComError(what + ": element " + std::to_string(i) + " is not a text (" +
                                   TypeName(element.vt) + ")",
                               DISP_E_TYPEMISMATCH);
            }
            texts.push_back(Utf8Of(element.bstrVal));
        }
    }
    return texts;
}

std::string TextOf(const VARIANT& value, const std::string& what) {
    const VARIANT v = Dereferenced(value);
    if (v.vt == VT_BSTR) {
        return Utf8Of(v.bstrVal);
    }
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) {
        return {};
    }
    Variant converted;
    const HRESULT hr = VariantChangeTypeEx(converted.Get(), const_cast<VARIANT*>(&v),
                                           LOCALE_INVARIANT, 0, VT_BSTR);
    if (FAILED(hr)) {
        throw ComError(what + " is not a text (" + TypeName(v.vt) + ")", hr);
    }
    return Utf8Of(converted.Get()->bstrVal);
}

bool BoolOf(const VARIANT& value, const std::string& what) {
    const VARIANT v = Dereferenced(value);
    if (v.vt == VT_BOOL) {
        return v.boolVal != VARIANT_FALSE;
    }
    const Number n = NumberOf(v);
    if (n.isNumber && n.whole) {
        return n.value != 0;
    }
    throw ComError(what + " is not a truth value (" + TypeName(v.vt) + ")", DISP_E_TYPEMISMATCH);
}

std::int32_t Int32Of(const VARIANT& value, const std::string& what) {
    const VARIANT v = Dereferenced(value);
    const Number n = NumberOf(v);
    if (!n.isNumber) {
        if (v.vt == VT_BSTR) {
            throw ComError(what + " is the text \"" + Utf8Of(v.bstrVal) + "\", not a number",
                           DISP_E_TYPEMISMATCH);
        }
        throw ComError(what + " is not a number (" + TypeName(v.vt) + ")", DISP_E_TYPEMISMATCH);
    }
    if (!n.whole) {
        throw ComError(what + " is " + RealText(n.real) + ", not a whole number",
                       DISP_E_TYPEMISMATCH);
    }
    if (n.value < INT32_MIN || n.value > INT32_MAX) {
        throw ComError(what + " is " + std::to_string(n.value) + ", out of range", DISP_E_OVERFLOW);
    }
    return static_cast<std::int32_t>(n.value);
}

Strings TextsOf(const VARIANT& value, const std::string& what) {
    if ((value.vt & VT_ARRAY) != 0) {
        SAFEARRAY* array = (value.vt & VT_BYREF) != 0 ? *value.pparray : value.parray;
        return TextsOf(array, static_cast<VARTYPE>(value.vt & VT_TYPEMASK), what);
    }
    const VARIANT v = Dereferenced(value);
    if ((v.vt & VT_ARRAY) != 0) {
        return TextsOf(v, what);
    }
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) {
        return {};
    }
    throw ComError(what + " is not an array of texts (" + TypeName(v.vt) + ")",
                   DISP_E_TYPEMISMATCH);
}

ComPtr<IDispatch> ObjectOf(const VARIANT& value, const std::string& what) {
    const VARIANT v = Dereferenced(value);
    if (v.vt == VT_DISPATCH && v.pdispVal) {
        return ComPtr<IDispatch>::Share(v.pdispVal);
    }
    if (v.vt == VT_UNKNOWN && v.punkVal) {
        ComPtr<IDispatch> d;
        const HRESULT hr = v.punkVal->QueryInterface(IID_IDispatch, d.ReceiveVoid());
        if (FAILED(hr)) {
            throw ComError(what + " is an object without automation: " + DescribeResult(hr), hr);
        }
        return d;
    }
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN || v.vt == VT_EMPTY || v.vt == VT_NULL) {
        throw ComError(what + " gave no object", E_POINTER);
    }
    throw ComError(what + " is not an object (" + TypeName(v.vt) + ")", DISP_E_TYPEMISMATCH);
}

}  // namespace vx::cad::com
