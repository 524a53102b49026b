// Owning wrappers for the COM types that the automation calls pass around, the text
// conversions between the interface's UTF-8 and COM's UTF-16, and the error type.
// Windows only, no Qt.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "cad/Automation.h"

namespace vx::cad::com {

// A failed COM call: the description the interface promises, and the HRESULT behind it.
class ComError : public CadError {
public:
    ComError(const std::string& description, HRESULT result)
        : CadError(description), result_(result) {}
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's text for an HRESULT followed by its number, e.g.
// "Class not registered (0x80040154)"; only the number when the system has no text.
std::string DescribeResult(HRESULT result);

// An interface pointer that owns one reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}  // NOLINT: implicit like a raw null pointer
    ComPtr(const ComPtr& other) : p_(other.p_) { AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference that the caller owns (an out-parameter's result).
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own to a borrowed pointer.
    static ComPtr Share(T* p) {
        ComPtr r;
        r.p_ = p;
        r.AddRef();
        return r;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out-parameter: gives back the reference held so far.
    T** Receive() {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (p_) {
            std::exchange(p_, nullptr)->Release();
        }
    }

private:
    void AddRef() {
        if (p_) {
            p_->AddRef();
        }
    }
    T* p_ = nullptr;
};

// A BSTR that is freed with its owner.
class Bstr {
public:
    Bstr() = default;
    // A new BSTR with the text; throws ComError when memory runs out.
    explicit Bstr(std::string_view utf8);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept;
    ~Bstr() { SysFreeString(b_); }

    static Bstr Attach(BSTR b) {
        Bstr r;
        r.b_ = b;
        return r;
    }
    BSTR Get() const { return b_; }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    BSTR* Receive();
    std::string Utf8() const;

private:
    BSTR b_ = nullptr;
};

// The text of a BSTR, which may be null (an empty text) and may hold zero characters.
std::string Utf8Of(BSTR b);

// A VARIANT that is cleared with its owner.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&v_); }

    static Variant Boolean(bool value);
    static Variant Int16(std::int16_t value);
    static Variant Int32(std::int32_t value);
    static Variant Text(std::string_view utf8);
    // Holds a reference of its own to the object.
    static Variant Object(IDispatch* object);
    // Takes over a VARIANT that the caller owns.
    static Variant Attach(VARIANT& v);

    VARIANT* Get() { return &v_; }
    const VARIANT* Get() const { return &v_; }
    // For an out-parameter: clears the value held so far.
    VARIANT* Receive();
    VARTYPE Type() const { return v_.vt; }

private:
    VARIANT v_;
};

// A SAFEARRAY that is destroyed with its owner.
class SafeArray {
public:
    SafeArray() = default;
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept;
    ~SafeArray() { Reset(); }

    static SafeArray Attach(SAFEARRAY* a) {
        SafeArray r;
        r.a_ = a;
        return r;
    }
    // A one-dimensional array of BSTRs with the texts, indexed from `lowerBound`.
    static SafeArray OfTexts(const Strings& texts, LONG lowerBound = 0);
    SAFEARRAY* Get() const { return a_; }
    SAFEARRAY* Detach() { return std::exchange(a_, nullptr); }
    void Reset();

private:
    SAFEARRAY* a_ = nullptr;
};

// The texts of a one-dimensional array of BSTRs or of VARIANTs holding BSTRs, in index
// order. `what` names the value in the error's description.
Strings TextsOf(SAFEARRAY* array, VARTYPE elementType, const std::string& what);

// Conversions of results. Each follows one level of VT_BYREF and throws ComError with a
// description naming `what` when the value has no sensible reading as the type asked for.
std::string TextOf(const VARIANT& v, const std::string& what);
bool BoolOf(const VARIANT& v, const std::string& what);
// Whole numbers of any width that fit, and floating-point values that are whole.
std::int32_t Int32Of(const VARIANT& v, const std::string& what);
// An array of texts; VT_EMPTY and VT_NULL are an empty list.
Strings TextsOf(const VARIANT& v, const std::string& what);
// An object reference; a null reference is an error.
ComPtr<IDispatch> ObjectOf(const VARIANT& v, const std::string& what);

}  // namespace vx::cad::com
