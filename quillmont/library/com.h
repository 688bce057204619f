#pragma once

// The binary interface between Quillmont and a host that loads it at run
// time (dlopen) instead of linking it. Everything here is header-only: a
// host includes this file and needs no symbol of the library; it reaches the
// library only through the C entry points (quillmont/library/entry_points.h)
// and the interface tables below.
//
// Rules of the boundary
// - Every operation returns an HResult; no exception ever crosses it. When an
//   operation fails, QuillmontGetLastErrorText() tells why (per thread).
// - Lifetime is by reference count: an interface pointer handed out has been
//   AddRef'd, and its receiver calls Release when done. Arguments are borrowed:
//   the callee AddRefs what it keeps.
// - Booleans are ComBool: true is -1, false is 0.
// - Text is UTF-8. A null const char* reads as the empty string.
// - Objects of the library's C++ interfaces (quillmont/framework/*.h) travel
//   as an IUnknown that answers IObjectReference; a host's tab container may
//   instead answer ITabHost.

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/com_bool.h"
#include "quillmont/platform/guid.h"
#include "quillmont/platform/object.h"

namespace quillmont::com {

// Result codes, with the values hosts know from COM.
using HResult = std::int32_t;
inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOTIMPL = static_cast<HResult>(0x80004001);
inline constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002);
inline constexpr HResult E_POINTER = static_cast<HResult>(0x80004003);
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005);
inline constexpr HResult E_UNEXPECTED = static_cast<HResult>(0x8000FFFF);
inline constexpr HResult E_OUTOFMEMORY = static_cast<HResult>(0x8007000E);
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057);
inline constexpr HResult E_ACCESSDENIED = static_cast<HResult>(0x80070005);
inline constexpr HResult CLASS_E_NOAGGREGATION = static_cast<HResult>(0x80040110);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = static_cast<HResult>(0x80040111);
inline constexpr HResult SELFREG_E_TYPELIB = static_cast<HResult>(0x80040200);
inline constexpr HResult SELFREG_E_CLASS = static_cast<HResult>(0x80040201);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003);
inline constexpr HResult DISP_E_PARAMNOTFOUND = static_cast<HResult>(0x80020004);
inline constexpr HResult DISP_E_TYPEMISMATCH = static_cast<HResult>(0x80020005);
inline constexpr HResult DISP_E_UNKNOWNNAME = static_cast<HResult>(0x80020006);
inline constexpr HResult DISP_E_BADVARTYPE = static_cast<HResult>(0x80020008);
// The called operation failed; the error text names the error number and
// message the panel raised.
inline constexpr HResult DISP_E_EXCEPTION = static_cast<HResult>(0x80020009);
inline constexpr HResult DISP_E_BADPARAMCOUNT = static_cast<HResult>(0x8002000E);

constexpr bool Succeeded(HResult hr) noexcept { return hr >= 0; }
constexpr bool Failed(HResult hr) noexcept { return hr < 0; }

using DispId = std::int32_t;

struct IUnknown;

// A variant as it crosses the boundary. Arguments are borrowed from the
// caller. Results carry no text; an object result is AddRef'd for the
// caller (see Clear).
struct VariantArg {
  enum Type : std::uint16_t {
    Empty = 0,
    Null = 1,
    Int16 = 2,
    Int32 = 3,
    Double = 5,
    String = 8,
    Dispatch = 9,
    Error = 10,  // with DISP_E_PARAMNOTFOUND: an omitted optional argument
    Boolean = 11,
    Variant = 12,  // only with ByRef
    Unknown = 13,
  };
  static constexpr std::uint16_t ByRef = 0x4000;

  std::uint16_t type = Empty;
  union {
    std::int16_t int16;
    std::int32_t int32;
    double real;
    ComBool boolean;
    const char* string;
    IUnknown* object;
    VariantArg* ref;
    HResult error;
  };

  VariantArg() : int32(0) {}
  static VariantArg FromBool(bool value) {
    VariantArg v;
    v.type = Boolean;
    v.boolean = ToComBool(value);
    return v;
  }
  static VariantArg FromInt32(std::int32_t value) {
    VariantArg v;
    v.type = Int32;
    v.int32 = value;
    return v;
  }
  static VariantArg FromString(const char* value) {
    VariantArg v;
    v.type = String;
    v.string = value;
    return v;
  }
  // Borrowed: the variant does not hold a reference of its own.
  static VariantArg FromObject(IUnknown* value) {
    VariantArg v;
    v.type = Unknown;
    v.object = value;
    return v;
  }
  static VariantArg Missing() {
    VariantArg v;
    v.type = Error;
    v.error = DISP_E_PARAMNOTFOUND;
    return v;
  }
  static VariantArg Reference(VariantArg* target) {
    VariantArg v;
    v.type = static_cast<std::uint16_t>(Variant | ByRef);
    v.ref = target;
    return v;
  }
};

struct IUnknown {
  static constexpr Guid kIid{{0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  // Lifetime is by Release, never by delete.
  ~IUnknown() = default;
};

// Releases an object result and leaves the variant empty.
inline void Clear(VariantArg& v) {
  if ((v.type == VariantArg::Unknown || v.type == VariantArg::Dispatch) && v.object) v.object->Release();
  v = VariantArg();
}

struct IClassFactory : IUnknown {
  static constexpr Guid kIid{{0, 0, 0, 1, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // outer must be null (no aggregation).
  virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
  // A lock keeps the library loaded (DllCanUnloadNow answers S_FALSE).
  virtual HResult LockServer(ComBool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Late-bound calls: by name or dispatch id, with variants in and out.
// Arguments are in declaration order (first argument first).
struct IDispatch : IUnknown {
  static constexpr Guid kIid{{0, 2, 4, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // Names compare without regard to case.
  virtual HResult GetIDsOfNames(const char* name, DispId* dispId) = 0;
  // result may be null when the caller does not want it.
  virtual HResult Invoke(DispId dispId, VariantArg* args, std::uint32_t argCount, VariantArg* result) = 0;

 protected:
  ~IDispatch() = default;
};

// The host's tab container, for hosts that implement it at this boundary.
struct ITabHost : IUnknown {
  static constexpr Guid kIid = TabHost::kInterfaceId;
  virtual HResult MarkChanged() = 0;
  virtual HResult SelectTab(const char* tabKey) = 0;

 protected:
  ~ITabHost() = default;
};

// Carries an object of the library's C++ interfaces across the boundary.
struct IObjectReference : IUnknown {
  static constexpr Guid kIid{
      {0x85, 0xF2, 0x17, 0x6E, 0x4E, 0xEE, 0x46, 0x52, 0xA9, 0xEA, 0x28, 0x2B, 0x2C, 0xD1, 0xE5, 0x88}};
  // The object; for a panel, holding it keeps the panel's object alive.
  virtual HResult Get(std::shared_ptr<Object>* object) = 0;

 protected:
  ~IObjectReference() = default;
};

// The tab contract at this boundary: the operations of
// quillmont::IFolioControl, in the same order.
struct IFolioControl : IDispatch {
  static constexpr Guid kIid = quillmont::IFolioControl::kInterfaceId;
  virtual HResult HandleTabProcess(const char* sProcess, ComBool* result) = 0;
  virtual HResult IsTabValid(const char* sMsgBoxTitle, ComBool* result) = 0;
  virtual HResult LoadState() = 0;
  virtual HResult SaveData() = 0;
  // v holds the definition (an object answering IObjectReference); dtN may
  // be null.
  virtual HResult LoadData(const VariantArg* v, const char* sName, IUnknown* dtN) = 0;
  virtual HResult SaveState() = 0;

 protected:
  ~IFolioControl() = default;
};

// The panels' default interfaces.
struct IXEventSNMPTab : IDispatch {
  static constexpr Guid kIid{
      {0xB8, 0x92, 0xC4, 0xC5, 0x36, 0xA6, 0x49, 0xFA, 0x84, 0xFB, 0xFA, 0x74, 0x27, 0x9B, 0x25, 0x06}};
  // selectedManager may be null (omitted) or hold an SnmpManager.
  virtual HResult HostPortExists(VariantArg* selectedManager, ComBool* result) = 0;

 protected:
  ~IXEventSNMPTab() = default;
};

struct IXEventsTab : IDispatch {
  static constexpr Guid kIid{
      {0xD7, 0x44, 0xF3, 0x71, 0x48, 0x1E, 0x4C, 0xFA, 0x9B, 0x60, 0x62, 0x3D, 0x6E, 0xC7, 0x3D, 0xD4}};

 protected:
  ~IXEventsTab() = default;
};

struct IXEventEmailTab : IDispatch {
  static constexpr Guid kIid{
      {0xA0, 0x0B, 0x72, 0x87, 0x0B, 0x27, 0x4F, 0x0E, 0xA8, 0x7B, 0x06, 0x9C, 0x3C, 0x90, 0xD7, 0x7D}};
  // addrNew may be null (omitted) or hold an EmailRecipient.
  virtual HResult AddressExists(VariantArg* addrNew, ComBool* result) = 0;

 protected:
  ~IXEventEmailTab() = default;
};

// An owning interface pointer: Release on destruction.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For out-parameters: drops what is held and gives the slot.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  // Asks the object for another of its interfaces.
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> other;
    if (p_) p_->QueryInterface(U::kIid, other.Out());
    return other;
  }

 private:
  T* p_ = nullptr;
};

// Wraps an object of the library's C++ interfaces so that it can travel in a
// VariantArg. Header-only: a host makes these without linking the library.
class ObjectReference final : public IObjectReference {
 public:
  static ComPtr<IObjectReference> Make(std::shared_ptr<Object> object) {
    return ComPtr<IObjectReference>::Attach(new ObjectReference(std::move(object)));
  }

  HResult QueryInterface(const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IUnknown::kIid && iid != IObjectReference::kIid) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IObjectReference*>(this);
    return S_OK;
  }
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HResult Get(std::shared_ptr<Object>* object) override {
    if (!object) return E_POINTER;
    *object = object_;
    return S_OK;
  }

 private:
  explicit ObjectReference(std::shared_ptr<Object> object) : object_(std::move(object)) {}
  ~ObjectReference() = default;

  std::atomic<std::uint32_t> count_{1};
  std::shared_ptr<Object> object_;
};

}  // namespace quillmont::com
