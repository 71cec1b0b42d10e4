// ClassSource: a small COM interface that finds the library's class record for
// a C++ type; SimpleClassSource answers it from a map filled by its owner.
#pragma once

#include <vesk/config.h>
#include <vesk/com/unknown.h>

#include <map>
#include <string>
#include <typeinfo>
#include <utility>

namespace vesk {

// A class record: the class's name and, where the class can be made through
// COM, its creator.
struct Class {
    const char* name;
    IUnknownImpl* (*create)(IUnknown* outer);
};

extern "C" VESK_API const IID IID_ClassSource; // {6E2D4B18-93A7-4C5F-B0E1-2F8A7D3C9E64}

class ClassSource {
public:
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual Class* STDMETHODCALLTYPE getClass(const std::type_info& type) = 0;

protected:
    ~ClassSource() = default;
};

// Not reference counted: it lives as long as its owner keeps it.
class VESK_API SimpleClassSource : public ClassSource {
public:
    SimpleClassSource() = default;
    virtual ~SimpleClassSource();

    // Adds or replaces the record of a type.
    void add(const std::type_info& type, Class* record);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // The record of the type, or null.
    Class* STDMETHODCALLTYPE getClass(const std::type_info& type) override;

private:
    std::map<std::string, Class*> classes;
};

} // namespace vesk
