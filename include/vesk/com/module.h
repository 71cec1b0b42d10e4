// The COM server: its class table, class factories, server lock and class
// objects (COMModule), and what self-registration writes for each class.
//
// A server declares its table and one module object of static storage duration,
// and forwards its entry points to the module:
//
//   static const vesk::COMModule::ClassInfo classes[] = {
//       {&CLSID_Counter, vesk::COMModule::inproc_server32 | vesk::COMModule::both, L"Counter",
//        vesk::createAggregatable<Counter>, nullptr, nullptr},
//   };
//   static vesk::COMModule module(classes, 1);
//   extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID c, REFIID i, void** o) {
//       return module.createClassFactory(c, i, o);
//   }
//   ... DllCanUnloadNow: module.canUnloadNow(); DllRegisterServer:
//   module.registerClasses(instance); DllUnregisterServer: module.unregisterClasses().
#pragma once

#include <vesk/com/unknown.h>

#include <boost/noncopyable.hpp>

#include <strmif.h>

#include <vector>

namespace vesk {

class RegistryKey;

// Registration with the DirectShow filter mapper.
struct FilterInfo {
    DWORD merit;
    const REGFILTERPINS2* pins;
    ULONG pinCount;
    const GUID* category;
};

// One file type a shell extension serves.
struct FileTypeInfo {
    const GUID* typeId;            // names the type key; null: typeName names an existing key
    const char* const* extensions; // each with its leading dot
    unsigned extensionCount;
    int iconId;                    // resource identifier of the type's icon in the server, 0: none
    const char* typeName;
};

struct ShellExtensionInfo {
    const GUID* handlerInterface; // the shell interface implemented: picks the handler folder
    const FileTypeInfo* fileTypes;
};

// A class factory over one class's creator.
class VESK_API Factory : public IClassFactory, public IUnknownImpl {
public:
    using Creator = IUnknownImpl* (*)(IUnknown* outer);
    explicit Factory(Creator create);

    VESK_FORWARD_IUNKNOWN
    // With an outer object only IID_IUnknown may be asked for: the outer gets the
    // new object's non-delegating face; any other gives CLASS_E_NOAGGREGATION.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

protected:
    void* queryInterface(const GUID& iid) override;
    ~Factory() override;

private:
    Creator create;
};

class VESK_API COMModule : boost::noncopyable {
public:
    // Server kind in bits 0 to 3, threading model in bits 4 to 7.
    enum server_and_threading : unsigned long {
        inproc_server32 = 0,
        inproc_server = 1,
        inproc_handler32 = 2,
        inproc_handler = 3,
        local_server32 = 4,
        local_server = 5,
        apartment = 0x10,
        both = 0x20,
        free = 0x30,
        neutral = 0x40,
    };

    struct VESK_API ClassInfo {
        const GUID* clsid;
        server_and_threading type;
        const wchar_t* name;       // may be null
        Factory::Creator create;   // null: the class is only registered
        const FilterInfo* filter;
        const ShellExtensionInfo* shellExtension;

        unsigned getServerType() const { return unsigned(type & 0x0F); }
        unsigned getThreadingModel() const { return unsigned(type & 0xF0); }
        // "InprocServer32", "InprocServer", "InprocHandler32", "InprocHandler",
        // "LocalServer32", "LocalServer"; another kind throws std::runtime_error
        // "Invalid value <type> for server_and_threading".
        const char* getServerTypeA() const;
        const char* getServerTypeT() const { return getServerTypeA(); }
        const wchar_t* getServerTypeW() const;
        // "Apartment", "Both", "Free" or "Neutral" for an in-process server whose
        // word is exactly 0x10, 0x20, 0x30 or 0x40; the empty text for any other.
        const char* getThreadingModelA() const;
        const char* getThreadingModelT() const { return getThreadingModelA(); }
        const wchar_t* getThreadingModelW() const;
    };

    struct ShellExtensionFolder {
        const char* name; // the folder under "ShellEx\"
        bool single;      // one handler as the folder's default value, not one subkey per handler
    };

    // Becomes the process's module (getModule) until it is destroyed; a module
    // made while another exists hands the role back to it when destroyed.
    COMModule(const ClassInfo* classes, unsigned count);
    // Revokes the class objects registerClassFactories registered.
    ~COMModule();
    // The process's module; none throws COMError(E_UNEXPECTED).
    static COMModule& getModule();

    // The body of DllGetClassObject.
    long createClassFactory(const GUID& clsid, const GUID& iid, void** object) const;
    // S_FALSE while any IUnknownImpl object lives or the server is locked, else S_OK.
    long canUnloadNow() const;
    // The server lock; an unlock at 0 throws COMError(E_UNEXPECTED).
    void lock(bool lock);
    long getLockCount() const;

    // The bodies of DllRegisterServer and DllUnregisterServer: S_OK or the HRESULT
    // of the first failure; nothing escapes. What was written before a failure stays.
    long registerClasses(HINSTANCE module) const;
    long unregisterClasses() const;
    // The folder of the shell-extension handler keys for a handler interface; an
    // unknown interface throws std::runtime_error.
    static const ShellExtensionFolder& getShellExtensionFolder(const GUID& handlerInterface);

    // A local server's start-up: registers the class objects of its
    // InprocServer32 and LocalServer32 classes with COM, then resumes them.
    void registerClassFactories();

    const ClassInfo* getClasses() const { return classes; }
    unsigned getClassCount() const { return classCount; }

private:
    static void registerShellExtension(const RegistryKey& typeKey, const ClassInfo& info);

    const ClassInfo* classes;
    unsigned classCount;
    long volatile lockCount;
    std::vector<DWORD> registrations;
    COMModule* previous;
    static COMModule* TheModule;
};

constexpr COMModule::server_and_threading operator|(COMModule::server_and_threading a,
                                                    COMModule::server_and_threading b) {
    return COMModule::server_and_threading(static_cast<unsigned long>(a) | static_cast<unsigned long>(b));
}

} // namespace vesk
