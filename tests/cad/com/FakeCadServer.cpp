#include "FakeCadServer.h"

#include <functional>

namespace vx::cad::com::testing {

// {5B0E7C1A-9D2F-4E8B-A6C3-71F04D2B9E55}
const CLSID kFakeCadClsid = {
    0x5b0e7c1a, 0x9d2f, 0x4e8b, {0xa6, 0xc3, 0x71, 0xf0, 0x4d, 0x2b, 0x9e, 0x55}};

namespace {

// A call that the server refuses before it reaches the double.
struct Fault {
    HRESULT result;
    UINT argError = 0;
};

// Dispatch ids: one number per kind and member, so that equal names of different kinds
// get different ids (as AutoCAD's interfaces do).
DISPID IdFor(const std::string& kindMember) {
    static std::map<std::string, DISPID> ids;
    auto [it, added] = ids.emplace(kindMember, static_cast<DISPID>(1000 + ids.size()));
    (void)added;
    return it->second;
}

// The arguments of one call, read by position in the member's parameter list.
class Args {
public:
    explicit Args(DISPPARAMS* p) : p_(p) {}
    bool Has(UINT position) const { return position < p_->cArgs - p_->cNamedArgs; }

    // The system's own reading of a positional argument, converted to `type`.
    Variant As(UINT position, VARTYPE type) const {
        VARIANT v;
        VariantInit(&v);
        UINT error = 0;
        const HRESULT hr = DispGetParam(p_, position, type, &v, &error);
        if (FAILED(hr)) {
            throw Fault{hr, error};
        }
        return Variant::Attach(v);
    }
    std::string Text(UINT position) const { return Utf8Of(As(position, VT_BSTR).Get()->bstrVal); }
    bool Bool(UINT position) const { return As(position, VT_BOOL).Get()->boolVal != VARIANT_FALSE; }
    std::int32_t Int(UINT position) const { return As(position, VT_I4).Get()->lVal; }
    const VARIANT& Raw(UINT position) const { return p_->rgvarg[p_->cArgs - 1 - position]; }

    // The assigned value of a property put, converted to `type`.
    Variant Value(VARTYPE type) const {
        Variant v;
        const HRESULT hr = VariantChangeType(v.Get(), &p_->rgvarg[0], 0, type);
        if (FAILED(hr)) {
            throw Fault{hr, 0};
        }
        return v;
    }
    const VARIANT& RawValue() const { return p_->rgvarg[0]; }

private:
    DISPPARAMS* p_;
};

template <class T>
using Handler = std::function<Variant(T&, const Args&, FakeCadServer&)>;

template <class T>
struct Flavour {
    UINT minArgs = 0;
    UINT maxArgs = 0;
    Handler<T> run;
    explicit operator bool() const { return static_cast<bool>(run); }
};

template <class T>
struct Member {
    DISPID id = DISPID_UNKNOWN;
    Flavour<T> get, put, putRef, method;
};

template <class T>
class Table {
public:
    explicit Table(std::string kind) : kind_(std::move(kind)) {}
    Table& Get(const std::string& name, Handler<T> run) {
        Add(name).get = {0, 0, std::move(run)};
        return *this;
    }
    Table& Put(const std::string& name, Handler<T> run) {
        Add(name).put = {1, 1, std::move(run)};
        return *this;
    }
    Table& PutRef(const std::string& name, Handler<T> run) {
        Add(name).putRef = {1, 1, std::move(run)};
        return *this;
    }
    Table& Method(const std::string& name, UINT minArgs, UINT maxArgs, Handler<T> run) {
        Add(name).method = {minArgs, maxArgs, std::move(run)};
        return *this;
    }
    const std::string& Kind() const { return kind_; }
    const Member<T>* ByName(const std::wstring& name) const {
        for (const auto& [key, m] : members_) {
            if (_wcsicmp(Widen(key).c_str(), name.c_str()) == 0) {
                return &m;
            }
        }
        return nullptr;
    }
    const Member<T>* ById(DISPID id) const {
        for (const auto& [key, m] : members_) {
            if (m.id == id) {
                return &m;
            }
        }
        return nullptr;
    }

private:
    Member<T>& Add(const std::string& name) {
        Member<T>& m = members_[name];
        m.id = IdFor(kind_ + "." + name);
        return m;
    }
    std::string kind_;
    std::map<std::string, Member<T>> members_;
};

}  // namespace

// The COM side of every served object; Served<T> adds the double's object and the table.
class ServedObject : public IDispatch {
public:
    ServedObject(FakeCadServer& server, std::string kind)
        : server_(server), kind_(std::move(kind)) {}
    virtual ~ServedObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs < 0) {
            overReleased = true;
        }
        return static_cast<ULONG>(refs < 0 ? 0 : refs);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    const std::string& Kind() const { return kind_; }
    LONG refs = 0;
    bool overReleased = false;

protected:
    FakeCadServer& server_;
    std::string kind_;
};

namespace {

template <class T>
const Table<T>& TableOf();

template <class T>
class Served final : public ServedObject {
public:
    Served(FakeCadServer& server, Ref<T> target)
        : ServedObject(server, TableOf<T>().Kind()), target_(std::move(target)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (server_.TakeRejection()) {
            return RPC_E_CALL_REJECTED;
        }
        if (count != 1 || !names || !ids) {
            return E_INVALIDARG;
        }
        server_.CountLookup(kind_ + "." + Narrow(names[0]));
        const Member<T>* m = TableOf<T>().ByName(names[0]);
        if (!m) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = m->id;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        if (server_.TakeRejection()) {
            return RPC_E_CALL_REJECTED;
        }
        const Member<T>* m = TableOf<T>().ById(id);
        if (!m) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const Flavour<T>* f = nullptr;
        if ((flags & DISPATCH_PROPERTYPUTREF) && m->putRef) {
            f = &m->putRef;
        } else if ((flags & DISPATCH_PROPERTYPUT) && m->put) {
            f = &m->put;
        } else if ((flags & DISPATCH_METHOD) && m->method) {
            f = &m->method;
        } else if ((flags & DISPATCH_PROPERTYGET) && m->get) {
            f = &m->get;
        }
        if (!f) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (f == &m->put || f == &m->putRef) {
            if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
                return DISP_E_PARAMNOTFOUND;
            }
            if (params->cArgs != 1) {
                return DISP_E_BADPARAMCOUNT;
            }
        } else {
            if (params->cNamedArgs != 0) {
                return DISP_E_NONAMEDARGS;
            }
            if (params->cArgs < f->minArgs || params->cArgs > f->maxArgs) {
                return DISP_E_BADPARAMCOUNT;
            }
        }
        try {
            Variant r = f->run(*target_, Args(params), server_);
            if (result) {
                *result = *r.Get();
                VariantInit(r.Get());
            }
            return S_OK;
        } catch (const Fault& fault) {
            if (argError) {
                *argError = fault.argError;
            }
            return fault.result;
        } catch (const CadError& e) {
            if (exception) {
                *exception = EXCEPINFO{};
                exception->bstrSource = SysAllocString(L"FakeCad");
                exception->bstrDescription = SysAllocString(Widen(e.Description()).c_str());
                exception->scode = E_FAIL;
            }
            return DISP_E_EXCEPTION;
        }
    }

    Ref<T> target_;
};

template <class U>
Variant Serve(FakeCadServer& server, Ref<U> object) {
    auto served = server.Serve(std::make_unique<Served<U>>(server, std::move(object)));
    return Variant::Object(served.Get());
}

Variant Texts(const Strings& texts) {
    Variant v;
    v.Get()->vt = VT_ARRAY | VT_BSTR;
    v.Get()->parray = SafeArray::OfTexts(texts).Detach();
    return v;
}

// The tables: AutoCAD's member names on the double's objects.

// Handlers made from the double's members.
template <class T>
Handler<T> SetText(void (T::*set)(const std::string&)) {
    return [set](T& t, const Args& a, FakeCadServer&) {
        (t.*set)(Utf8Of(a.Value(VT_BSTR).Get()->bstrVal));
        return Variant();
    };
}
template <class T>
Handler<T> SetBool(void (T::*set)(bool)) {
    return [set](T& t, const Args& a, FakeCadServer&) {
        (t.*set)(a.Value(VT_BOOL).Get()->boolVal != VARIANT_FALSE);
        return Variant();
    };
}
template <class T>
Handler<T> SetInt(void (T::*set)(std::int32_t)) {
    return [set](T& t, const Args& a, FakeCadServer&) {
        (t.*set)(a.Value(VT_I4).Get()->lVal);
        return Variant();
    };
}
template <class T>
Handler<T> GetText(std::string (T::*get)()) {
    return [get](T& t, const Args&, FakeCadServer&) { return Variant::Text((t.*get)()); };
}
template <class T>
Handler<T> GetInt(std::int32_t (T::*get)()) {
    return [get](T& t, const Args&, FakeCadServer&) { return Variant::Int32((t.*get)()); };
}
template <class T>
Handler<T> GetTexts(Strings (T::*get)()) {
    return [get](T& t, const Args&, FakeCadServer&) { return Texts((t.*get)()); };
}
template <class T, class U>
Handler<T> GetObject(Ref<U> (T::*get)()) {
    return [get](T& t, const Args&, FakeCadServer& s) { return Serve(s, (t.*get)()); };
}

template <>
const Table<AcadPlot>& TableOf<AcadPlot>() {
    using P = AcadPlot;
    static const auto table =
        Table<P>("Plot").Method("PlotToFile", 1, 2, [](P& p, const Args& a, FakeCadServer&) {
            return Variant::Boolean(p.PlotToFile(a.Text(0), a.Has(1) ? a.Text(1) : std::string()));
        });
    return table;
}

// No ZoomExtents and no Plot: AutoCAD's layout has neither.
template <>
const Table<AcadLayout>& TableOf<AcadLayout>() {
    using L = AcadLayout;
    static const auto table =
        Table<L>("Layout")
            .Get("Name", GetText(&L::Name))
            .Method("GetPlotStyleTableNames", 0, 0, GetTexts(&L::GetPlotStyleTableNames))
            .Put("ConfigName", SetText(&L::SetConfigName))
            .Put("PlotType", SetInt(&L::SetPlotType))
            .Put("CenterPlot", SetBool(&L::SetCenterPlot));
    return table;
}

template <>
const Table<AcadDatabase>& TableOf<AcadDatabase>();

template <>
const Table<AcadBlock>& TableOf<AcadBlock>() {
    using B = AcadBlock;
    static const auto table = Table<B>("Block")
                                  .Get("Name", GetText(&B::Name))
                                  .Get("XRefDatabase", GetObject(&B::XRefDatabase))
                                  .Get("Count", GetInt(&B::Count));
    return table;
}

template <>
const Table<AcadDatabase>& TableOf<AcadDatabase>() {
    static const auto table =
        Table<AcadDatabase>("Database").Get("ModelSpace", GetObject(&AcadDatabase::ModelSpace));
    return table;
}

// Collections take a VARIANT index: a text is a name, anything else a position.
template <class C>
Variant ItemOf(C& c, const Args& a, FakeCadServer& s) {
    if (a.Raw(0).vt == VT_BSTR || a.Raw(0).vt == (VT_BSTR | VT_BYREF)) {
        return Serve(s, c.Item(a.Text(0)));
    }
    return Serve(s, c.Item(a.Int(0)));
}

template <>
const Table<AcadLayouts>& TableOf<AcadLayouts>() {
    static const auto table =
        Table<AcadLayouts>("Layouts").Method("Item", 1, 1, &ItemOf<AcadLayouts>);
    return table;
}

template <>
const Table<AcadBlocks>& TableOf<AcadBlocks>() {
    static const auto table = Table<AcadBlocks>("Blocks").Method("Item", 1, 1, &ItemOf<AcadBlocks>);
    return table;
}

template <>
const Table<AcadDocument>& TableOf<AcadDocument>() {
    using D = AcadDocument;
    using A = const Args&;
    using S = FakeCadServer&;
    static const auto table =
        Table<D>("Document")
            .Method("GetVariable", 1, 1,
                    [](D& d, A a, S) {
                        return Variant::Int16(static_cast<std::int16_t>(d.GetVariable(a.Text(0))));
                    })
            // Integer system variables are 16-bit; AutoCAD refuses a value of another type.
            .Method("SetVariable", 2, 2,
                    [](D& d, A a, S) {
                        if (a.Raw(1).vt != VT_I2) {
                            throw CadError("Invalid argument Value in SetVariable");
                        }
                        d.SetVariable(a.Text(0), a.Raw(1).iVal);
                        return Variant();
                    })
            .Get("Name", GetText(&D::Name))
            .Get("ActiveLayout", GetObject(&D::ActiveLayout))
            .PutRef("ActiveLayout",
                    [](D& d, A a, S s) {
                        const VARIANT& v = a.RawValue();
                        auto* served = v.vt == VT_DISPATCH ? s.Find(v.pdispVal) : nullptr;
                        auto* layout = dynamic_cast<Served<AcadLayout>*>(served);
                        if (!layout) {
                            throw CadError("Invalid layout object");
                        }
                        d.SetActiveLayout(layout->target_);
                        return Variant();
                    })
            .Get("Layouts", GetObject(&D::Layouts))
            .Get("ModelSpace", GetObject(&D::ModelSpace))
            .Get("Plot", GetObject(&D::Plot))
            .Get("Blocks", GetObject(&D::Blocks));
    return table;
}

template <>
const Table<AcadDocuments>& TableOf<AcadDocuments>() {
    using D = AcadDocuments;
    using A = const Args&;
    using S = FakeCadServer&;
    static const auto table = Table<D>("Documents")
                                  .Get("Count", GetInt(&D::Count))
                                  .Method("Open", 1, 3, [](D& d, A a, S s) {
                                      return Serve(s, d.Open(a.Text(0), a.Has(1) && a.Bool(1)));
                                  });
    return table;
}

template <>
const Table<AcadApplication>& TableOf<AcadApplication>() {
    using P = AcadApplication;
    static const auto table = Table<P>("Application")
                                  .Put("Visible", SetBool(&P::SetVisible))
                                  .Get("ActiveDocument", GetObject(&P::ActiveDocument))
                                  .Get("Documents", GetObject(&P::Documents));
    return table;
}

}  // namespace

FakeCadServer::FakeCadServer(fake::FakeCad& cad) : cad_(cad) {}

FakeCadServer::~FakeCadServer() {
    // References that COM's stubs still hold are dropped before the objects go.
    for (const auto& o : objects_) {
        if (o->refs > 0) {
            CoDisconnectObject(o.get(), 0);
        }
    }
}

ComPtr<IDispatch> FakeCadServer::Application() {
    return Serve(std::make_unique<Served<AcadApplication>>(*this, cad_.App()));
}

ComPtr<IDispatch> FakeCadServer::Serve(std::unique_ptr<ServedObject> object) {
    objects_.push_back(std::move(object));
    return ComPtr<IDispatch>::Share(objects_.back().get());
}

bool FakeCadServer::TakeRejection() {
    if (rejectNext_ > 0) {
        --rejectNext_;
        return true;
    }
    return false;
}

int FakeCadServer::IdLookups(const std::string& kindMember) const {
    auto it = lookups_.find(kindMember);
    return it == lookups_.end() ? 0 : it->second;
}

std::vector<std::string> FakeCadServer::Outstanding() const {
    std::vector<std::string> out;
    for (const auto& o : objects_) {
        if (o->refs > 0) {
            out.push_back(o->Kind() + ": " + std::to_string(o->refs) + " references");
        }
    }
    return out;
}

std::vector<std::string> FakeCadServer::OverReleased() const {
    std::vector<std::string> out;
    for (const auto& o : objects_) {
        if (o->overReleased) {
            out.push_back(o->Kind());
        }
    }
    return out;
}

ServedObject* FakeCadServer::Find(IUnknown* object) const {
    for (const auto& o : objects_) {
        if (static_cast<IUnknown*>(static_cast<IDispatch*>(o.get())) == object) {
            return o.get();
        }
    }
    return nullptr;
}

HRESULT STDMETHODCALLTYPE FakeCadFactory::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE FakeCadFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                         void** object) {
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    ++created_;
    return server_.Application()->QueryInterface(iid, object);
}

}  // namespace vx::cad::com::testing
