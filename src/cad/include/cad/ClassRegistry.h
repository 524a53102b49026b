// Automation classes by name: the two platform operations that reach a CAD
// application, "get the running instance" and "create a new instance".
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "cad/Automation.h"

namespace vx::cad {

// The class identifier the program connects to.
inline constexpr char kCadClassName[] = "AutoCAD.Application";

// A back end that serves an automation class.
class AutomationClass {
public:
    virtual ~AutomationClass() = default;
    // The instance that is running already; throws CadError when there is none.
    virtual Ref<AcadApplication> GetActiveObject() = 0;
    // A newly started instance; throws CadError when none can be started.
    virtual Ref<AcadApplication> CreateObject() = 0;
};

class ClassRegistry {
public:
    // The registry the program uses.
    static ClassRegistry& Default();

    // Makes `cls` serve `className`, replacing an earlier registration.
    void Register(const std::string& className, std::shared_ptr<AutomationClass> cls);
    void Unregister(const std::string& className);
    bool IsRegistered(const std::string& className) const;

    // Both throw CadError when the class is not registered or the back end fails.
    Ref<AcadApplication> GetObject(const std::string& className) const;
    Ref<AcadApplication> CreateObject(const std::string& className) const;

private:
    std::shared_ptr<AutomationClass> Find(const std::string& className) const;

    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<AutomationClass>> classes_;
};

}  // namespace vx::cad
