#include "cad/com/Dispatch.h"

namespace vx::cad::com {

namespace {

// Owns the texts of an EXCEPINFO that a callee filled in.
class ExcepInfo {
public:
    ExcepInfo() = default;
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { Free(); }

    EXCEPINFO* Get() { return &e_; }
    void Reset() {
        Free();
        e_ = EXCEPINFO{};
    }
    // The callee's description, or "" when it gave none.
    std::string Description() {
        if (e_.pfnDeferredFillIn) {
            auto fill = e_.pfnDeferredFillIn;
            e_.pfnDeferredFillIn = nullptr;
            fill(&e_);
        }
        return Utf8Of(e_.bstrDescription);
    }
    HRESULT Code() const {
        if (e_.scode != 0) {
            return e_.scode;
        }
        return e_.wCode != 0 ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, e_.wCode) : S_OK;
    }

private:
    void Free() {
        SysFreeString(e_.bstrSource);
        SysFreeString(e_.bstrDescription);
        SysFreeString(e_.bstrHelpFile);
        e_.bstrSource = e_.bstrDescription = e_.bstrHelpFile = nullptr;
    }
    EXCEPINFO e_{};
};

}  // namespace

bool IsRejection(HRESULT result) {
    return result == RPC_E_CALL_REJECTED || result == RPC_E_SERVERCALL_RETRYLATER;
}

DISPID DispIdCache::Find(const std::string& kind, const std::string& member,
                         const std::function<DISPID()>& lookup) {
    std::string key = kind + '.' + member;
    auto it = ids_.find(key);
    if (it != ids_.end()) {
        return it->second;
    }
    const DISPID id = lookup();
    ids_.emplace(std::move(key), id);
    return id;
}

std::shared_ptr<Session> MakeSession(const RetryPolicy& retry) {
    auto s = std::make_shared<Session>();
    s->retry = retry;
    return s;
}

Dispatch::Dispatch(ComPtr<IDispatch> object, std::string kind, std::shared_ptr<Session> session)
    : object_(std::move(object)), kind_(std::move(kind)), session_(std::move(session)) {
    if (!object_) {
        throw ComError(kind_ + ": no object", E_POINTER);
    }
    if (!session_) {
        session_ = MakeSession();
    }
}

Dispatch Dispatch::Child(ComPtr<IDispatch> object, std::string kind) const {
    return Dispatch(std::move(object), std::move(kind), session_);
}

Variant Dispatch::Get(const std::string& member, std::vector<Variant> args) {
    return Invoke(member, DISPATCH_PROPERTYGET, args);
}

void Dispatch::Put(const std::string& member, Variant value) {
    std::vector<Variant> args;
    args.push_back(std::move(value));
    Invoke(member, DISPATCH_PROPERTYPUT, args);
}

void Dispatch::PutRef(const std::string& member, Variant value) {
    std::vector<Variant> args;
    args.push_back(std::move(value));
    Invoke(member, DISPATCH_PROPERTYPUTREF, args);
}

Variant Dispatch::Call(const std::string& member, std::vector<Variant> args) {
    // As late-bound callers do: a member may be a method or a property with arguments
    // (a collection's Item is either, depending on the server).
    return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

HRESULT Dispatch::Retrying(const std::string& call, const std::function<HRESULT()>& attempt) {
    const DWORD start = session_->now();
    for (;;) {
        const HRESULT hr = attempt();
        if (!IsRejection(hr)) {
            return hr;
        }
        const DWORD elapsed = session_->now() - start;
        const DWORD delay = session_->retry.Decide(elapsed, SERVERCALL_RETRYLATER);
        if (delay == RetryPolicy::kGiveUp) {
            throw ComError(RejectedCallDescription(call, elapsed), hr);
        }
        session_->wait(delay);
    }
}

DISPID Dispatch::IdOf(const std::string& member) {
    return session_->ids.Find(kind_, member, [&] {
        std::wstring name = Widen(member);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        const std::string call = kind_ + "." + member;
        const HRESULT hr = Retrying(call, [&] {
            return object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        });
        if (FAILED(hr)) {
            throw ComError(call + ": " + DescribeResult(hr), hr);
        }
        return id;
    });
}

Variant Dispatch::Invoke(const std::string& member, WORD flags, std::vector<Variant>& args) {
    const std::string call = kind_ + "." + member;
    const DISPID id = IdOf(member);

    // DISPPARAMS holds the arguments last to first; the copies are shallow, `args` keeps
    // ownership and the callee does not free in-arguments.
    std::vector<VARIANT> reversed(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        reversed[args.size() - 1 - i] = *args[i].Get();
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    Variant result;
    ExcepInfo exception;
    UINT argError = 0;
    const HRESULT hr = Retrying(call, [&] {
        exception.Reset();
        argError = 0;
        return object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                               put ? nullptr : result.Receive(), exception.Get(), &argError);
    });
    if (SUCCEEDED(hr)) {
        return result;
    }
    if (hr == DISP_E_EXCEPTION) {
        // The callee's own words, unchanged: callers compare them ("No database").
        std::string description = exception.Description();
        if (!description.empty()) {
            throw ComError(description, exception.Code() != S_OK ? exception.Code() : hr);
        }
        const HRESULT code = exception.Code();
        throw ComError(call + ": " + DescribeResult(code != S_OK ? code : hr),
                       code != S_OK ? code : hr);
    }
    std::string description = call + ": " + DescribeResult(hr);
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && argError < args.size()) {
        description += ", argument " + std::to_string(args.size() - argError);
    }
    throw ComError(description, hr);
}

}  // namespace vx::cad::com
