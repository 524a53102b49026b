#include "cad/ClassRegistry.h"

namespace vx::cad {

ClassRegistry& ClassRegistry::Default() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::Register(const std::string& className, std::shared_ptr<AutomationClass> cls) {
    std::lock_guard lock(mutex_);
    classes_[className] = std::move(cls);
}

void ClassRegistry::Unregister(const std::string& className) {
    std::lock_guard lock(mutex_);
    classes_.erase(className);
}

bool ClassRegistry::IsRegistered(const std::string& className) const {
    return Find(className) != nullptr;
}

std::shared_ptr<AutomationClass> ClassRegistry::Find(const std::string& className) const {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(className);
    return it == classes_.end() ? nullptr : it->second;
}

Ref<AcadApplication> ClassRegistry::GetObject(const std::string& className) const {
    auto cls = Find(className);
    if (!cls) {
        throw CadError("ActiveX component can't create object: " + className);
    }
    return cls->GetActiveObject();
}

Ref<AcadApplication> ClassRegistry::CreateObject(const std::string& className) const {
    auto cls = Find(className);
    if (!cls) {
        throw CadError("ActiveX component can't create object: " + className);
    }
    return cls->CreateObject();
}

}  // namespace vx::cad
