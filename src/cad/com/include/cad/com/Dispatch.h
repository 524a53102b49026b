// Late-bound calls through IDispatch: property get, put and put-by-reference, and
// method calls with arguments, by member name. Each failure becomes a ComError whose
// description is the callee's own (EXCEPINFO) when it gave one.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cad/com/BusyCalls.h"
#include "cad/com/ComSupport.h"

namespace vx::cad::com {

// Member names to dispatch ids, per kind of object. Every object of one kind (all the
// layouts of an application, say) shares its ids, so each name is asked for only once
// per kind; a name the object does not know is asked again next time.
class DispIdCache {
public:
    // The id of `member`; asks `object` through `lookup` only when the kind has no entry.
    DISPID Find(const std::string& kind, const std::string& member,
                const std::function<DISPID()>& lookup);
    std::size_t Size() const { return ids_.size(); }
    void Clear() { ids_.clear(); }

private:
    std::map<std::string, DISPID, std::less<>> ids_;
};

// What the objects reached through one application share: the id cache and the rule
// for rejected calls. The clock and the wait are replaceable for tests.
struct Session {
    DispIdCache ids;
    RetryPolicy retry;
    std::function<DWORD()> now = [] { return GetTickCount(); };
    std::function<void(DWORD)> wait = [](DWORD ms) { Sleep(ms); };
};

std::shared_ptr<Session> MakeSession(const RetryPolicy& retry = RetryPolicy());

// One automation object of a named kind ("Document", "Layout", ...).
class Dispatch {
public:
    Dispatch(ComPtr<IDispatch> object, std::string kind, std::shared_ptr<Session> session);

    // Arguments are given in the order of the member's parameter list.
    Variant Get(const std::string& member, std::vector<Variant> args = {});
    void Put(const std::string& member, Variant value);
    // Assigns an object reference (DISPATCH_PROPERTYPUTREF).
    void PutRef(const std::string& member, Variant value);
    // A method call; its result is empty for a method without one.
    Variant Call(const std::string& member, std::vector<Variant> args = {});

    // An object of another kind reached through this one, sharing the session.
    Dispatch Child(ComPtr<IDispatch> object, std::string kind) const;

    IDispatch* Object() const { return object_.Get(); }
    const std::string& Kind() const { return kind_; }
    const std::shared_ptr<Session>& SessionOf() const { return session_; }

private:
    DISPID IdOf(const std::string& member);
    Variant Invoke(const std::string& member, WORD flags, std::vector<Variant>& args);
    // Runs `attempt` until it returns something other than a rejection the policy
    // retries; the rejection that stays becomes a ComError.
    HRESULT Retrying(const std::string& call, const std::function<HRESULT()>& attempt);

    ComPtr<IDispatch> object_;
    std::string kind_;
    std::shared_ptr<Session> session_;
};

// True for the results COM gives a call that the callee rejected because it was busy.
bool IsRejection(HRESULT result);

}  // namespace vx::cad::com
