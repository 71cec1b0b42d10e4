// Ready-made halves of the shell's extension interfaces and of file
// persistence: each ...Impl implements the interface's methods (argument
// checks, memory, the COM conventions) and leaves the work to a few pure
// operations of the client class.
//
// The client also derives from IUnknownImpl, answers the interfaces in its
// queryInterface and forwards IUnknown (VESK_FORWARD_IUNKNOWN):
//
//   class Handler : public vesk::IShellExtInitImpl, public vesk::IContextMenuImpl,
//                   public vesk::IUnknownImpl {
//   public:
//       VESK_FORWARD_IUNKNOWN
//   protected:
//       void initialize(const std::list<vesk::BasicString<char>>& files) override;
//       unsigned addMenuItems(HMENU menu, unsigned position, unsigned firstId, unsigned idCount,
//                             unsigned flags) override;
//       ...
//   };
//
// No exception leaves a method: what the client's operations throw comes back
// as the method's HRESULT (E_OUTOFMEMORY for an allocation failure).
#pragma once

#include <vesk/com/unknown.h>
#include <vesk/text/string.h>

#include <shlobj.h>

#include <list>

namespace vesk {

class VESK_API IShellExtInitImpl : public IShellExtInit {
public:
    // Reads the dropped file names (CF_HDROP) of the data object and hands
    // them to initialize.
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY progIdKey) override;

protected:
    virtual void initialize(const std::list<BasicString<char>>& files) = 0;
    virtual ~IShellExtInitImpl();
};

class VESK_API IContextMenuImpl : public IContextMenu {
public:
    IContextMenuImpl() : commandCount(0) {}

    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId,
                                               UINT flags) override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    // Serves help texts only, in either width, within the caller's buffer.
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR command, UINT type, UINT* reserved, LPSTR buffer,
                                               UINT size) override;

    unsigned getCommandCount() const { return commandCount; }

protected:
    virtual BasicString<char> getCommandHelp(unsigned int command) = 0;
    virtual void invokeCommand(unsigned int command, unsigned long mask, HWND window) = 0;
    // Adds at most idCount items with identifiers from firstId on; returns how many.
    virtual unsigned int addMenuItems(HMENU menu, unsigned int position, unsigned int firstId, unsigned int idCount,
                                      unsigned int flags) = 0;
    virtual ~IContextMenuImpl();

    unsigned int commandCount;
};

class VESK_API IQueryInfoImpl : public IQueryInfo {
public:
    HRESULT STDMETHODCALLTYPE GetInfoTip(DWORD flags, LPWSTR* tip) override;
    HRESULT STDMETHODCALLTYPE GetInfoFlags(DWORD* flags) override;

protected:
    virtual BasicString<wchar_t> getInfoTip() = 0;
    virtual ~IQueryInfoImpl();
};

class VESK_API ISpecifyPropertyPagesImpl : public ISpecifyPropertyPages {
public:
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

protected:
    virtual unsigned int getPageCount() = 0;
    virtual const GUID& getPage(unsigned int index) = 0;
    virtual ~ISpecifyPropertyPagesImpl();
};

class VESK_API IPersistImpl : public IPersist {
public:
    // The identifier is kept by reference: it must outlive the object.
    explicit IPersistImpl(const GUID& classId) : classId(classId) {}
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override;

protected:
    virtual const GUID& getClassID();
    virtual ~IPersistImpl();

    const GUID& classId;
};

// IPersistFile's own IPersist and the IPersistImpl base answer alike.
class VESK_API IPersistFileImpl : public IPersistFile, public IPersistImpl {
public:
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) override;
    // The current file, or the default file name with S_FALSE.
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name) override;

protected:
    explicit IPersistFileImpl(const GUID& classId) : IPersistImpl(classId) {}
    virtual bool isDirty() = 0;
    virtual BasicString<wchar_t> getCurrentFile() = 0;
    virtual BasicString<wchar_t> getDefaultFile() = 0;
    virtual void load(const wchar_t* fileName, unsigned long mode) = 0;
    ~IPersistFileImpl() override;
};

} // namespace vesk
